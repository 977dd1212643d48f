#include "main/MainForm.h"

#include <QApplication>
#include <QBrush>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <iterator>
#include <utility>

#include "base/KeywordLines.h"
#include "deep/DeepAnalysisForm.h"
#include "grid/view/TResultGrid.h"
#include "main/KeywordWorker.h"
#include "main/MainGrid.h"
#include "main/ProjectFiles.h"
#include "settings/SettingsStore.h"
#include "settings/uSettings.h"
#include "ui/Chime.h"
#include "ui/FormParts.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/TextConvert.h"
#include "web/ServiceQuery.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

constexpr char kSearchingText[] =
    "Searching in progress. Stop the search first or wait for it to finish.";
constexpr char kOverwriteText[] = "The file you specified exists. Do you want to overwrite it?";
// The worker appends rows while it runs, so the grid is sorted only after a run.
constexpr char kNoSortDuringRunText[] = "Sorting is possible when the search has finished.";

QFileDialog* FileDialog(QWidget* parent, const QString& name, bool save, const QString& suffix,
                        const QStringList& filters) {
  auto* dialog = new QFileDialog(parent);
  dialog->setObjectName(name);
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog->setDefaultSuffix(suffix);
  dialog->setNameFilters(filters);
  // The window asks its own overwrite question.
  dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
  return dialog;
}

// The keyword grid: the tick box, the phrase and its three counts.
GridCreationValues MainGridColumns() {
  GridCreationValues values;
  values.col_count = MainForm::kMainGridColumns;
  values.row_count = 2;
  values.column_headers.assign(std::begin(MainForm::kMainGridTitles),
                               std::end(MainForm::kMainGridTitles));
  values.col_widths.assign(std::begin(MainForm::kMainGridWidths),
                           std::end(MainForm::kMainGridWidths));
  return values;
}

}  // namespace

namespace MainForm {

// Defined here, where the worker is a complete type.
TAnalyzeThread::~TAnalyzeThread() = default;

}  // namespace MainForm

Tfrm::Tfrm(MainFormEnvironment environment, RunServices& services, QWidget* parent)
    : QMainWindow(parent), services_(services), store_(environment.store), run_(services, this) {
  setObjectName(QStringLiteral("frm"));
  setWindowTitle(environment.caption);
  setFont(WindowFont());
  BuildLayout();
  Memo1->setPlainText(ToQString(environment.initial_keywords));
  RunFileDialog = [](QFileDialog* dialog) {
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return QString();
    return dialog->selectedFiles().constFirst();
  };
}

Tfrm::~Tfrm() = default;

void Tfrm::BuildLayout() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Top panel: keywords, Start/Stop, the delay, Settings and Deep Analysis.
  const KeywordPanel top =
      BuildKeywordPanel(central, QStringLiteral("Count the results of every phrase"),
                        QStringLiteral("Stop after the phrase under way"));
  pnlSettings = top.panel;
  pnlSettingsTitle = top.title;
  Memo1 = top.memo;
  bStart = top.start;
  bStop = top.stop;
  Label1 = new QLabel(QStringLiteral("Delay between searches (seconds)"), pnlSettings);
  top.keywords_column->addWidget(Label1);
  Edit1 = new QLineEdit(QStringLiteral("0"), pnlSettings);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setFixedWidth(60);
  Edit1->setStatusTip(QStringLiteral("Seconds to wait between two searches"));
  // The 110-pixel panel has no room for another line, so the cost of the next run stands
  // beside the delay field, under the delay's label.
  auto* delay_row = new QHBoxLayout;
  delay_row->addWidget(Edit1);
  lblCost = new QLabel(pnlSettings);
  lblCost->setObjectName(QStringLiteral("lblCost"));
  lblCost->setStatusTip(QStringLiteral("What Start will send to the search service"));
  delay_row->addWidget(lblCost, 1);
  top.keywords_column->addLayout(delay_row);
  top.keywords_column->addStretch();
  top.controls->addStretch();
  auto* wide = new QVBoxLayout;
  btSettings = HintedButton(QStringLiteral("Settings"), QStringLiteral("btSettings"),
                            QStringLiteral("API key and search engine code"), pnlSettings);
  TBXButton1 =
      HintedButton(QStringLiteral("Deep Analysis"), QStringLiteral("TBXButton1"),
                   QStringLiteral("Top results and backlinks of the ticked phrases"), pnlSettings);
  for (auto* b : {btSettings, TBXButton1}) {
    b->setFixedSize(150, 34);
    wide->addWidget(b);
  }
  wide->addStretch();
  top.controls->addLayout(wide);
  column->addWidget(pnlSettings);

  Panel1 = TitleStrip(QStringLiteral("Results"), central);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  column->addWidget(Panel1);

  // Results: the grid and the progress bar along its bottom.
  gRes = new TResultGrid(MainGridColumns(), central);
  gRes->setObjectName(QStringLiteral("gRes"));
  gRes->SetOnGetCellColor(
      [this](TResultGrid& sender, int row, int col, const GridDrawState& state, QBrush& brush,
             QFont& font) { gResGetCellColor(sender, row, col, state, brush, font); });
  gRes->SetSortable(true);
  gRes->SetTickAllOnHeaderClick(true);
  gRes->SetOnSortRequest([this](int /*col*/) {
    if (!run_.IsRunning()) return true;
    barStatus->showMessage(QString::fromLatin1(kNoSortDuringRunText));
    return false;
  });
  column->addWidget(gRes, 1);
  barProgress = ResultsProgressBar(central);
  column->addWidget(barProgress);

  // Bottom panel: projects, clearing, exports, Close.
  auto* bottom = new QWidget(central);
  bottom->setObjectName(QStringLiteral("Panel3"));
  bottom->setFixedHeight(33);
  auto* row = new QHBoxLayout(bottom);
  row->setContentsMargins(6, 4, 6, 4);
  bSave = HintedButton(QStringLiteral("Save Project"), QStringLiteral("bSave"),
                       QStringLiteral("Save the grid as a project file"), bottom);
  bOpen = HintedButton(QStringLiteral("Open Project"), QStringLiteral("bOpen"),
                       QStringLiteral("Open a project file"), bottom);
  bClear = HintedButton(QStringLiteral("Clear All"), QStringLiteral("bClear"),
                        QStringLiteral("Remove every row and the keywords"), bottom);
  bClearAll = HintedButton(QStringLiteral("Clear Checked"), QStringLiteral("bClearAll"),
                           QStringLiteral("Remove the ticked rows"), bottom);
  bExport = HintedButton(QStringLiteral("Export to CSV"), QStringLiteral("bExport"),
                         QStringLiteral("Export the counts as a CSV file"), bottom);
  Button3 = HintedButton(QStringLiteral("Export to HTML"), QStringLiteral("Button3"),
                         QStringLiteral("Export the grid as an HTML table"), bottom);
  TBXButton2 = HintedButton(QStringLiteral("Close"), QStringLiteral("TBXButton2"),
                            QStringLiteral("Close Kelvaro"), bottom);
  for (auto* b : {bSave, bOpen, bClear, bClearAll, bExport, Button3}) row->addWidget(b);
  row->addStretch();
  row->addWidget(TBXButton2);
  column->addWidget(bottom);
  setCentralWidget(central);

  barStatus = new QStatusBar(this);
  barStatus->setObjectName(QStringLiteral("barStatus"));
  setStatusBar(barStatus);
  connect(gRes, &TResultGrid::StatusMessage, barStatus,
          [this](const QString& text) { barStatus->showMessage(text); });

  CheckBox1 = new QCheckBox(QStringLiteral("Don't erase old results (append the new)"), this);
  CheckBox1->setVisible(false);

  const QStringList csv{QStringLiteral("CSV Files (*.CSV *.csv)"), QStringLiteral("* (*)")};
  dlgS = FileDialog(this, QStringLiteral("dlgS"), true, QStringLiteral("csv"), csv);
  dlgO = FileDialog(this, QStringLiteral("dlgO"), false, QStringLiteral("csv"), csv);
  dlgS2 = FileDialog(
      this, QStringLiteral("dlgS2"), true, QStringLiteral("html"),
      {QStringLiteral("HTML Files (*.HTML *.HTM *.html *.htm)"), QStringLiteral("* (*)")});

  ConnectHandler(bStart, this, &Tfrm::btnStartClick);
  ConnectHandler(bStop, this, &Tfrm::bStopClick);
  ConnectHandler(btSettings, this, &Tfrm::btSettingsClick);
  ConnectHandler(TBXButton1, this, &Tfrm::TBXButton1Click);
  ConnectHandler(bSave, this, &Tfrm::bSaveClick);
  ConnectHandler(bOpen, this, &Tfrm::bOpenClick);
  ConnectHandler(bClear, this, &Tfrm::bClearClick);
  ConnectHandler(bClearAll, this, &Tfrm::bClearAllClick);
  ConnectHandler(bExport, this, &Tfrm::bExportClick);
  ConnectHandler(Button3, this, &Tfrm::Button3Click);
  ConnectHandler(TBXButton2, this, &Tfrm::TBXButton2Click);
  connect(Memo1, &QPlainTextEdit::textChanged, this,
          [this] { RunHandler([this] { Memo1Change(); }); });
  Memo1Change();

  resize(889, 491);
  CentreOnScreen(this);
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
  LoadReuseDays();
  // What was read stays in memory even when loading fails, an unknown service name
  // included: the settings dialog then asks for what is missing or wrong.
  SearchSettings values;
  try {
    store_->LoadSearchSettings(values);
  } catch (const std::exception& e) {
    Credentials().Set(ToCredentials(values));
    ShowErrorBox(e.what(), this);
    return;
  }
  Credentials().Set(ToCredentials(values));
}

// An odd or unreadable value means no reuse: the runs then ask the service, as always.
void Tfrm::LoadReuseDays() {
  if (store_ == nullptr) return;
  try {
    services_.reuse_days = store_->LoadReuseDays();
  } catch (const std::exception&) {
    services_.reuse_days = 0;
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
  const int result = fSettings_->Execute();
  if (result == kResultOk) {
    Credentials().Set(fSettings_->AcceptedValues());
    LoadReuseDays();
  } else if (result == TfSettings::kResultTerminate) {
    TerminateRequested = true;
    // From the Settings button the window is active again right away.
    if (isVisible()) FormActivate();
  }
}

bool Tfrm::IsSearching(bool show) {
  const bool searching = run_.IsRunning();
  if (searching && show) ShowInformation(kSearchingText, this);
  return searching;
}

void Tfrm::LockMemo(bool locked) { LockKeywordMemo(Memo1, locked); }

void Tfrm::Memo1Change() {
  lblCost->setText(ToQString(KeywordRunCostText(FromQString(Memo1->toPlainText()))));
}

void Tfrm::btnStartClick() {
  if (IsSearching(false)) {
    ShowInformation(kAnalyzingText, this);
    return;
  }
  const std::string memo_text = FromQString(Memo1->toPlainText());
  if (Trim(memo_text).empty()) {
    ShowInformation(kNoKeywordsText, this);
    return;
  }
  if (!CheckBox1->isChecked()) MainForm::ResetMainGrid(gRes->Model());
  const int delay_ms = MainForm::SearchDelayFromText(FromQString(Edit1->text()));
  MainForm::KeywordWorkerSink sink;
  sink.ShowProgress = [this](int progress) { barProgress->setValue(progress); };
  auto worker = std::make_unique<MainForm::KeywordWorker>(KeywordLines(memo_text), run_.Host(),
                                                          gRes->Model(), sink, delay_ms);
  worker->SetAnswerStore(services_.answers, services_.reuse_days);
  run_.Start(std::make_unique<MainForm::TAnalyzeThread>(std::move(worker)),
             [this] { HandleWorkerFinished(); });
  LockMemo(true);
  barProgress->setValue(0);
}

void Tfrm::bStopClick() { run_.Stop(); }

void Tfrm::HandleWorkerFinished() {
  barStatus->clearMessage();  // "Sorting is possible ..." held only while the run lasted
  LockMemo(false);
  barProgress->setValue(0);
  ShowRunCost(barStatus, AnalyzeThread()->worker());
  PlayChime();
}

// No temporary folder: no sound, and the end of the run stands.
void Tfrm::PlayChime() { services_.chime.Play(services_.ChimePath()); }

bool Tfrm::ShutdownWorker() {
  if (run_.IsRunning()) closing_for_good_ = true;
  return run_.Shutdown();
}

void Tfrm::bClearClick() {
  if (IsSearching(true)) return;
  if (AskConfirmation("Clear all rows?", kButtonYes | kButtonNo, this) != kResultYes) return;
  MainForm::ResetMainGrid(gRes->Model());
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

void Tfrm::TBXButton1Click() {
  if (IsSearching(false)) {
    ShowInformation(kAnalyzingText, this);
    return;
  }
  const std::string keywords = MainForm::CheckedKeywords(gRes->Model());
  if (Trim(keywords).empty()) {
    ShowInformation("Please check some of the keywords first.", this);
    return;
  }
  if (frmDeepAnalysis_ != nullptr) frmDeepAnalysis_->OpenWith(keywords);
}

void Tfrm::gResGetCellColor(TResultGrid& Sender, int ARow, int ACol,
                            const GridDrawState& /*AState*/, QBrush& ABrush, QFont& /*AFont*/) {
  const auto color = MainForm::CountCellColor(ACol, ARow, Sender.Model().RawCells(ACol, ARow));
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

bool Tfrm::FormCloseQuery() {
  if (IsSearching(false)) {
    ShowInformation(kAnalyzingText, this);
    return false;
  }
  return true;
}

bool Tfrm::FormClose() {
  if (store_ == nullptr) return true;
  try {
    store_->SaveSearchSettings(ToSearchSettings(Credentials().Get()));
  } catch (const std::exception& e) {
    ShowErrorBox(e.what(), this);
    return false;
  }
  return true;
}

void Tfrm::TBXButton2Click() { close(); }

bool Tfrm::ConfirmOverwrite(const QString& file) {
  if (!QFileInfo::exists(file)) return true;
  return AskConfirmation(kOverwriteText, kButtonYes | kButtonCancel, this) == kResultYes;
}

QString Tfrm::ChooseSaveFile(QFileDialog* dialog) {
  const QString file = RunFileDialog(dialog);
  if (file.isEmpty() || !ConfirmOverwrite(file)) return QString();
  return file;
}

// A failed save shows its error in the standard error box (RunHandler); the grid's safe
// writing leaves an existing file as it was.
void Tfrm::bSaveClick() {
  if (IsSearching(true)) return;
  const QString file = ChooseSaveFile(dlgS);
  if (file.isEmpty()) return;
  gRes->Model().SetSaveWithHTML(true);
  gRes->Model().SaveCSV(FromQString(file));
}

void Tfrm::bOpenClick() {
  if (IsSearching(true)) return;
  const QString file = RunFileDialog(dlgO);
  if (file.isEmpty()) return;
  gRes->Model().LoadCSV(FromQString(file), -1);
  MainForm::AddProjectCheckBoxes(gRes->Model());
}

void Tfrm::bExportClick() {
  if (IsSearching(true)) return;
  const QString file = ChooseSaveFile(dlgS);
  if (file.isEmpty()) return;
  gRes->Model().SetSaveWithHTML(false);
  MainForm::ExportCSV(gRes->Model(), FromQString(file));
}

void Tfrm::Button3Click() {
  if (IsSearching(true)) return;
  const QString file = ChooseSaveFile(dlgS2);
  if (file.isEmpty()) return;
  gRes->Model().SetSaveWithHTML(true);
  MainForm::ExportHTML(gRes->Model(), gRes->HTMLVisuals(), FromQString(file));
}

}  // namespace kelvaro
