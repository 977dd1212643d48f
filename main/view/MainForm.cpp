// The main window's handlers: each reads as the user's story (check, ask, call the core,
// show). The layout is in MainFormLayout.cpp, the project and export buttons in
// MainFormFiles.cpp.
#include "main/view/MainForm.h"

#include <QApplication>
#include <QBrush>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFont>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <optional>
#include <utility>

#include "base/CodePage.h"
#include "base/KeywordLines.h"
#include "deep/view/DeepAnalysisForm.h"
#include "grid/view/TResultGrid.h"
#include "ideas/view/KeywordIdeasForm.h"
#include "main/KeywordGrid.h"
#include "main/KeywordWorker.h"
#include "settings/SettingsStore.h"
#include "settings/view/uSettings.h"
#include "ui/Chime.h"
#include "ui/FormParts.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/RunTexts.h"
#include "ui/TextConvert.h"
#include "web/ServiceQuery.h"
#include "web/VolumeService.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

// The worker appends rows while it runs, so the grid is sorted only after a run.
constexpr char kNoSortDuringRunText[] = "Sorting is possible when the search has finished.";

}  // namespace

namespace MainForm {

// Defined here, where the worker is a complete type.
TAnalyzeThread::~TAnalyzeThread() = default;

}  // namespace MainForm

Tfrm::Tfrm(const MainFormEnvironment& environment, RunServices& services, QWidget* parent)
    : QMainWindow(parent), services_(services), store_(environment.store) {
  setObjectName(QStringLiteral("frm"));
  setWindowTitle(environment.caption);
  setFont(WindowFont());
  BuildLayout();
  run_ = std::make_unique<KeywordRun>(services, RunParts());
  Memo1->setPlainText(ToQString(environment.initial_keywords));
  RunFileDialog = ExecFileDialog;
}

Tfrm::~Tfrm() = default;

KeywordRunParts Tfrm::RunParts() {
  KeywordRunParts parts = WindowRunParts(this);
  parts.shape = RunShape::kKeywords;
  parts.reset_grid = [this] { MainForm::ResetKeywordGrid(gRes->Model()); };
  parts.make_worker = [this](std::vector<std::string> keywords, WorkerHost& host,
                             SearchSetup search) {
    MainForm::ShowVolumeColumns(gRes->Model(), VolumesWanted());
    const int delay_ms = MainForm::SearchDelayFromText(FromQString(Edit1->text()));
    MainForm::KeywordWorkerSink sink;
    sink.ShowProgress = [this](int progress) { barProgress->setValue(progress); };
    sink.MarkStoredCell = [this](int col, int row, int64_t arrived) {
      gRes->Model().SetCellHint(col, row, StoredAnswerHint(arrived));
    };
    sink.KeepIdeas = [this](const std::string& phrase, const std::vector<KeywordIdea>& ideas) {
      ideas_.KeepAnswerIdeas(phrase, ideas);
    };
    auto worker = std::make_unique<MainForm::KeywordWorker>(
        std::move(keywords), host, std::move(search), gRes->Model(), sink, delay_ms);
    if (services_.timings.phrase_pause_ms) {
      worker->SetPauseBetweenKeywordsMs(*services_.timings.phrase_pause_ms);
    }
    return std::make_unique<MainForm::TAnalyzeThread>(std::move(worker));
  };
  // A header click refused during the run said why; that holds no longer.
  parts.running_changed = [this](bool running) {
    if (!running && barStatus->currentMessage() == QString::fromLatin1(kNoSortDuringRunText)) {
      barStatus->clearMessage();
    }
  };
  return parts;
}

void Tfrm::FormCreate() {
  try {
    WriteChimeFile(services_.ChimeFile());
  } catch (const std::exception& e) {
    // Without a chime file the settings are not loaded: the dialog asks for them.
    ShowErrorBox(e.what(), this);
    return;
  }
  if (store_ == nullptr) return;
  LoadRunSettings();
  // The settings go straight into the credentials the runs read; on a failed load the dialog
  // asks for what is missing or wrong.
  std::string error;
  save_volume_ = store_->LoadInto(Credentials(), error);
  if (!error.empty()) {
    ShowErrorBox(error, this);
    return;
  }
  VolumeSettingsChanged();
}

bool Tfrm::VolumesWanted() { return !Trim(Credentials().Get().volume_key).empty(); }

void Tfrm::VolumeSettingsChanged() {
  if (VolumesWanted()) save_volume_ = true;
  if (!run_->IsRunning()) MainForm::ShowVolumeColumns(gRes->Model(), VolumesWanted());
  run_->Memo1Change();
}

// An odd or unreadable value means no reuse and one search at a time, as always.
void Tfrm::LoadRunSettings() {
  if (store_ == nullptr) return;
  try {
    services_.reuse_days = store_->LoadReuseDays();
    services_.searches_at_once = store_->LoadSearchesAtOnce();
  } catch (const std::exception&) {
    services_.reuse_days = 0;
    services_.searches_at_once = 1;
  }
}

void Tfrm::SaveRunSetting(const std::function<void(SettingsStore&)>& save) {
  if (store_ == nullptr) return;
  try {
    save(*store_);
  } catch (const std::exception& e) {
    ShowErrorBox(e.what(), this);
  }
}

void Tfrm::FormShow() {
  if (fSettings_ == nullptr) return;  // nothing to ask with
  for (;;) {
    if (TfSettings::HasNeededValues(Credentials().Get()) || TerminateRequested) break;
    btSettingsClick();
  }
}

void Tfrm::FormActivate() {
  if (!TerminateRequested) return;
  closing_for_good_ = true;
  ShutdownWorker();
  QCoreApplication::quit();
}

void Tfrm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    RunHandler([this] { FormActivate(); });
  }
}

void Tfrm::btSettingsClick() {
  if (fSettings_ == nullptr) return;
  fSettings_->SetReuseDays(services_.reuse_days);
  fSettings_->SetSearchesAtOnce(services_.searches_at_once);
  const int result = fSettings_->Execute();
  if (result == kResultOk) {
    Credentials().Set(fSettings_->AcceptedValues());
    if (const std::optional<int> days = fSettings_->AcceptedReuseDays()) {
      services_.reuse_days = *days;
      SaveRunSetting([days = *days](SettingsStore& store) { store.SaveReuseDays(days); });
    }
    if (const std::optional<int> searches = fSettings_->AcceptedSearchesAtOnce()) {
      services_.searches_at_once = *searches;
      SaveRunSetting(
          [searches = *searches](SettingsStore& store) { store.SaveSearchesAtOnce(searches); });
    }
    VolumeSettingsChanged();  // the cost line too
  } else if (result == TfSettings::kResultTerminate) {
    TerminateRequested = true;
    // From the Settings button the window is active again right away.
    if (isVisible()) FormActivate();
  }
}

bool Tfrm::IsSearching(bool show) {
  const bool searching = run_->IsRunning();
  if (searching && show) ShowInformation(kSearchingText, this);
  return searching;
}

bool Tfrm::ShutdownWorker() {
  if (run_->IsRunning()) closing_for_good_ = true;
  return run_->Shutdown();
}

void Tfrm::bClearClick() {
  if (IsSearching(true)) return;
  if (AskConfirmation("Clear all rows?", kButtonYes | kButtonNo, this) != kResultYes) return;
  MainForm::ResetKeywordGrid(gRes->Model());
  Memo1->clear();
}

void Tfrm::bClearAllClick() {
  if (IsSearching(true)) return;
  ResultGridModel& grid = gRes->Model();
  grid.BeginUpdate();
  bool remove = false;
  try {
    remove = AskConfirmation("Delete checked row(s)?", kButtonYes | kButtonNo, this) == kResultYes;
    // Only the removal here: the numbering below runs once, after it.
    if (remove) grid.RemoveCheckedRows(0);
  } catch (...) {
    grid.EndUpdate();
    throw;
  }
  grid.EndUpdate();
  // The numbering runs whatever the answer was.
  MainForm::ClearCheckedRows(grid, false);
}

std::optional<std::string> Tfrm::TickedForWindow() {
  if (IsSearching(false)) {
    ShowInformation(kAnalyzingText, this);
    return std::nullopt;
  }
  std::string keywords = MainForm::CheckedKeywords(gRes->Model());
  if (Trim(keywords).empty()) {
    ShowInformation("Please check some of the keywords first.", this);
    return std::nullopt;
  }
  return keywords;
}

void Tfrm::TBXButton1Click() {
  const std::optional<std::string> keywords = TickedForWindow();
  if (keywords && frmDeepAnalysis_ != nullptr) frmDeepAnalysis_->OpenWith(*keywords);
}

void Tfrm::TBXButton3Click() {
  const std::optional<std::string> keywords = TickedForWindow();
  if (!keywords) return;
  TfrmKeywordIdeas window(services_, ideas_, this);
  const std::optional<std::string> memo =
      window.OpenWith(KeywordLines(*keywords), FromQString(Memo1->toPlainText()));
  if (memo) Memo1->setPlainText(ToQString(*memo));
}

bool Tfrm::gResSortRequest(int /*col*/) {
  if (!run_->IsRunning()) return true;
  barStatus->showMessage(QString::fromLatin1(kNoSortDuringRunText));
  return false;
}

void Tfrm::gResGetCellColor(TResultGrid& Sender, int ARow, int ACol,
                            const GridDrawState& /*AState*/, QBrush& ABrush, QFont& /*AFont*/) {
  const auto color = MainForm::KeywordCellColor(Sender.Model(), ACol, ARow);
  if (color) ABrush.setColor(QColor::fromRgb(*color));
}

void Tfrm::closeEvent(QCloseEvent* event) {
  bool accept = true;
  RunHandler([&] { accept = closing_for_good_ || (FormCloseQuery() && FormClose()); });
  if (!accept) {
    event->ignore();
    return;
  }
  event->accept();
  closing_for_good_ = true;
  QCoreApplication::quit();
}

bool Tfrm::FormClose() {
  if (store_ == nullptr) return true;
  try {
    store_->SaveSettings(Credentials().Get(), save_volume_);
  } catch (const std::exception& e) {
    ShowErrorBox(e.what(), this);
    return false;
  }
  return true;
}

void Tfrm::TBXButton2Click() { close(); }

}  // namespace kelvaro
