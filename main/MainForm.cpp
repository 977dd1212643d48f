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
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cstdlib>

#include "base/Error.h"
#include "base/TempPath.h"
#include "deep/DeepAnalysisForm.h"
#include "grid/TResultGrid.h"
#include "main/KeywordWorker.h"
#include "main/MainGrid.h"
#include "main/ProjectFiles.h"
#include "settings/SettingsStore.h"
#include "settings/uSettings.h"
#include "ui/Chime.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/TextConvert.h"
#include "web/CustomSearch.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

constexpr char kAnalyzingText[] = "The analyzing is in progress. It must be finished first.";
constexpr char kSearchingText[] =
    "Searching in progress. Stop the search first or wait for it to finish.";
constexpr char kNoKeywordsText[] =
    "Please type in some keyword phrases before search (one per line).";
constexpr char kOverwriteText[] =
    "The file you specified exists. Do you want to overwrite it?";

QFont WindowFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  return font;
}

QLabel* TitleStrip(const QString& text, QWidget* parent) {
  auto* strip = new QLabel(text, parent);
  strip->setFixedHeight(16);
  strip->setAlignment(Qt::AlignCenter);
  strip->setAutoFillBackground(true);
  QPalette palette = strip->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
  palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
  strip->setPalette(palette);
  QFont font(QStringLiteral("Tahoma"));
  font.setBold(true);
  strip->setFont(font);
  return strip;
}

QPushButton* Button(const QString& caption, const QString& name, const QString& hint,
                    QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setStatusTip(hint);
  button->setToolTip(hint);
  return button;
}

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

}  // namespace

namespace MainForm {

TAnalyzeThread::TAnalyzeThread(std::unique_ptr<KeywordWorker> worker)
    : WorkerThread([w = worker.get()] { w->Run(); }), worker_(std::move(worker)) {}

TAnalyzeThread::~TAnalyzeThread() { wait(); }

}  // namespace MainForm

Tfrm::Tfrm(MainFormEnvironment environment, QWidget* parent)
    : QMainWindow(parent),
      endpoint_(environment.endpoint.empty() ? std::string(kSearchEndpoint)
                                             : environment.endpoint),
      download_(environment.download ? environment.download
                                     : [](const std::string& url) { return DownloadPage(url); }),
      store_(environment.store),
      temp_dir_(environment.temp_dir),
      chime_(new ChimePlayer(this)) {
  setObjectName(QStringLiteral("frm"));
  setWindowTitle(environment.caption);
  setFont(WindowFont());
  BuildLayout();
  Memo1->setPlainText(ToQString(environment.initial_keywords));
  host_ = std::make_unique<QtWorkerHost>(bridge_, credentials_, endpoint_, download_, this);
  RunFileDialog = [](QFileDialog* dialog) {
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return QString();
    return dialog->selectedFiles().constFirst();
  };
}

Tfrm::~Tfrm() {
  if (!ShutdownWorker()) {
    // The worker is stuck in a download and can no longer reach anything; waiting for
    // its time-out would only keep a closing program on screen.
    std::_Exit(0);
  }
}

void Tfrm::BuildLayout() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Top panel: keywords, Start/Stop, the delay, Settings and Deep Analysis.
  pnlSettings = new QWidget(central);
  pnlSettings->setObjectName(QStringLiteral("pnlSettings"));
  pnlSettings->setFixedHeight(110);
  pnlSettings->setAutoFillBackground(true);
  QPalette white = pnlSettings->palette();
  white.setColor(QPalette::Window, Qt::white);
  pnlSettings->setPalette(white);
  auto* top = new QVBoxLayout(pnlSettings);
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(6);
  pnlSettingsTitle = TitleStrip(QString(), pnlSettings);
  top->addWidget(pnlSettingsTitle);
  auto* controls = new QHBoxLayout;
  controls->setContentsMargins(8, 0, 8, 6);
  controls->setSpacing(8);
  Memo1 = new QPlainTextEdit(pnlSettings);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setFixedSize(295, 77);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setStatusTip(QStringLiteral("Keyword phrases, one per line"));
  controls->addWidget(Memo1, 0, Qt::AlignTop);
  auto* keywords_column = new QVBoxLayout;
  auto* keywords = new QLabel(QStringLiteral("Keywords"), pnlSettings);
  QFont bold = keywords->font();
  bold.setBold(true);
  keywords->setFont(bold);
  keywords_column->addWidget(keywords);
  auto* buttons = new QHBoxLayout;
  bStart = Button(QStringLiteral("Start"), QStringLiteral("bStart"),
                  QStringLiteral("Count the results of every phrase"), pnlSettings);
  bStop = Button(QStringLiteral("Stop"), QStringLiteral("bStop"),
                 QStringLiteral("Stop after the phrase under way"), pnlSettings);
  buttons->addWidget(bStart);
  buttons->addWidget(bStop);
  keywords_column->addLayout(buttons);
  Label1 = new QLabel(QStringLiteral("Delay between searches (seconds)"), pnlSettings);
  keywords_column->addWidget(Label1);
  Edit1 = new QLineEdit(QStringLiteral("0"), pnlSettings);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setFixedWidth(60);
  Edit1->setStatusTip(QStringLiteral("Seconds to wait between two searches"));
  keywords_column->addWidget(Edit1);
  keywords_column->addStretch();
  controls->addLayout(keywords_column);
  controls->addStretch();
  auto* wide = new QVBoxLayout;
  btSettings = Button(QStringLiteral("Settings"), QStringLiteral("btSettings"),
                      QStringLiteral("API key and search engine code"), pnlSettings);
  TBXButton1 = Button(QStringLiteral("Deep Analysis"), QStringLiteral("TBXButton1"),
                      QStringLiteral("Top results and backlinks of the ticked phrases"),
                      pnlSettings);
  for (auto* b : {btSettings, TBXButton1}) {
    b->setFixedSize(150, 34);
    wide->addWidget(b);
  }
  wide->addStretch();
  controls->addLayout(wide);
  top->addLayout(controls);
  column->addWidget(pnlSettings);

  Panel1 = TitleStrip(QStringLiteral("Results"), central);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  column->addWidget(Panel1);

  // Results: the grid and the progress bar along its bottom.
  gRes = new TResultGrid(MainGridCreationValues(), central);
  gRes->setObjectName(QStringLiteral("gRes"));
  gRes->SetOnGetCellColor([this](TResultGrid& sender, int row, int col,
                                 const GridDrawState& state, QBrush& brush, QFont& font) {
    gResGetCellColor(sender, row, col, state, brush, font);
  });
  column->addWidget(gRes, 1);
  barProgress = new QProgressBar(central);
  barProgress->setObjectName(QStringLiteral("barProgress"));
  barProgress->setRange(0, 100);
  barProgress->setValue(0);
  barProgress->setTextVisible(false);
  barProgress->setFixedHeight(16);
  column->addWidget(barProgress);

  // Bottom panel: projects, clearing, exports, Close.
  auto* bottom = new QWidget(central);
  bottom->setObjectName(QStringLiteral("Panel3"));
  bottom->setFixedHeight(33);
  auto* row = new QHBoxLayout(bottom);
  row->setContentsMargins(6, 4, 6, 4);
  bSave = Button(QStringLiteral("Save Project"), QStringLiteral("bSave"),
                 QStringLiteral("Save the grid as a project file"), bottom);
  bOpen = Button(QStringLiteral("Open Project"), QStringLiteral("bOpen"),
                 QStringLiteral("Open a project file"), bottom);
  bClear = Button(QStringLiteral("Clear All"), QStringLiteral("bClear"),
                  QStringLiteral("Remove every row and the keywords"), bottom);
  bClearAll = Button(QStringLiteral("Clear Checked"), QStringLiteral("bClearAll"),
                     QStringLiteral("Remove the ticked rows"), bottom);
  bExport = Button(QStringLiteral("Export to CSV"), QStringLiteral("bExport"),
                   QStringLiteral("Export the counts as a CSV file"), bottom);
  Button3 = Button(QStringLiteral("Export to HTML"), QStringLiteral("Button3"),
                   QStringLiteral("Export the grid as an HTML table"), bottom);
  TBXButton2 = Button(QStringLiteral("Close"), QStringLiteral("TBXButton2"),
                      QStringLiteral("Close Kelvaro"), bottom);
  for (auto* b : {bSave, bOpen, bClear, bClearAll, bExport, Button3}) row->addWidget(b);
  row->addStretch();
  row->addWidget(TBXButton2);
  column->addWidget(bottom);
  setCentralWidget(central);

  barStatus = new QStatusBar(this);
  barStatus->setObjectName(QStringLiteral("barStatus"));
  setStatusBar(barStatus);

  CheckBox1 = new QCheckBox(QStringLiteral("Don't erase old results (append the new)"), this);
  CheckBox1->setVisible(false);

  const QStringList csv{QStringLiteral("CSV Files (*.CSV *.csv)"), QStringLiteral("* (*)")};
  dlgS = FileDialog(this, QStringLiteral("dlgS"), true, QStringLiteral("csv"), csv);
  dlgO = FileDialog(this, QStringLiteral("dlgO"), false, QStringLiteral("csv"), csv);
  dlgS2 = FileDialog(this, QStringLiteral("dlgS2"), true, QStringLiteral("html"),
                     {QStringLiteral("HTML Files (*.HTML *.HTM *.html *.htm)"),
                      QStringLiteral("* (*)")});

  auto guarded = [this](QPushButton* b, void (Tfrm::*handler)()) {
    connect(b, &QPushButton::clicked, this, [this, handler] { RunHandler([&] { (this->*handler)(); }); });
  };
  guarded(bStart, &Tfrm::btnStartClick);
  guarded(bStop, &Tfrm::bStopClick);
  guarded(btSettings, &Tfrm::btSettingsClick);
  guarded(TBXButton1, &Tfrm::TBXButton1Click);
  guarded(bSave, &Tfrm::bSaveClick);
  guarded(bOpen, &Tfrm::bOpenClick);
  guarded(bClear, &Tfrm::bClearClick);
  guarded(bClearAll, &Tfrm::bClearAllClick);
  guarded(bExport, &Tfrm::bExportClick);
  guarded(Button3, &Tfrm::Button3Click);
  guarded(TBXButton2, &Tfrm::TBXButton2Click);

  resize(889, 491);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

std::string Tfrm::ChimePath() const {
  try {
    return (temp_dir_.empty() ? GetTempDir() : temp_dir_) + kChimeFileName;
  } catch (const std::exception&) {
    return std::string();  // no temporary folder: no chime
  }
}

void Tfrm::FormCreate() {
  try {
    WriteChimeFile((temp_dir_.empty() ? GetTempDir() : temp_dir_) + kChimeFileName);
  } catch (const std::exception& e) {
    // Without a chime file the settings are not loaded: the dialog asks for them.
    ShowErrorBox(e.what(), this);
    return;
  }
  if (store_ == nullptr) return;
  kelvaro::Credentials values;
  try {
    store_->Load(values);
  } catch (const std::exception& e) {
    credentials_.Set(values.api_key, values.engine_code);
    ShowErrorBox(e.what(), this);
    return;
  }
  credentials_.Set(values.api_key, values.engine_code);
}

void Tfrm::FormShow() {
  if (fSettings_ == nullptr) return;  // nothing to ask with
  for (;;) {
    const kelvaro::Credentials values = credentials_.Get();
    if ((!values.api_key.empty() && !values.engine_code.empty()) || TerminateRequested) break;
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
    credentials_.Set(FromQString(fSettings_->leAPIKey->text()),
                     FromQString(fSettings_->leCustomSearchEngineCode->text()));
  } else if (result == TfSettings::kResultTerminate) {
    TerminateRequested = true;
    // From the Settings button the window is active again right away.
    if (isVisible()) FormActivate();
  }
}

bool Tfrm::IsSearching(bool show) {
  const bool searching = AnalyzeThread_ != nullptr && !AnalyzeThread_->Finished;
  if (searching && show) ShowInformation(kSearchingText, this);
  return searching;
}

void Tfrm::LockMemo(bool locked) {
  Memo1->setReadOnly(locked);
  QPalette palette = Memo1->palette();
  palette.setColor(QPalette::Base, locked ? QColor(192, 220, 192)
                                          : QApplication::palette().color(QPalette::Base));
  Memo1->setPalette(palette);
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
  AnalyzeThread_.reset();
  bridge_.Reset();
  MainForm::KeywordWorkerSink sink;
  sink.ShowProgress = [this](int progress) { barProgress->setValue(progress); };
  auto worker = std::make_unique<MainForm::KeywordWorker>(
      MainForm::KeywordLines(memo_text), *host_, gRes->Model(), sink, delay_ms);
  AnalyzeThread_ = std::make_unique<MainForm::TAnalyzeThread>(std::move(worker));
  connect(AnalyzeThread_.get(), &QThread::finished, this,
          [this] { RunHandler([this] { HandleWorkerFinished(); }); }, Qt::QueuedConnection);
  AnalyzeThread_->start();
  LockMemo(true);
  barProgress->setValue(0);
}

void Tfrm::bStopClick() {
  if (AnalyzeThread_) AnalyzeThread_->Worker().RequestStop();
}

void Tfrm::HandleWorkerFinished() {
  if (!AnalyzeThread_ || closing_for_good_) return;
  AnalyzeThread_->Finished = true;
  LockMemo(false);
  barProgress->setValue(0);
  PlayChime();
}

void Tfrm::PlayChime() {
  try {
    chime_->Play(ChimePath());
  } catch (...) {
    // No temporary folder: no sound, and the end of the run stands.
  }
}

bool Tfrm::ShutdownWorker() {
  if (!AnalyzeThread_ || AnalyzeThread_->isFinished()) {
    bridge_.Abandon();
    return true;
  }
  closing_for_good_ = true;
  return StopWorkerForShutdown(AnalyzeThread_.get(), bridge_,
                               [this] { AnalyzeThread_->Worker().RequestStop(); });
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
    if (remove) MainForm::ClearCheckedRows(grid, true);
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
  const auto color = MainForm::CountCellColor(ACol, ARow, Sender.RawCells(ACol, ARow));
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
    store_->Save(credentials_.Get());
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
  gRes->SaveCSV(FromQString(file));
}

void Tfrm::bOpenClick() {
  if (IsSearching(true)) return;
  const QString file = RunFileDialog(dlgO);
  if (file.isEmpty()) return;
  gRes->LoadCSV(FromQString(file), -1);
  MainForm::AddProjectCheckBoxes(gRes->Model());
}

void Tfrm::bExportClick() {
  if (IsSearching(true)) return;
  const QString file = ChooseSaveFile(dlgS);
  if (file.isEmpty()) return;
  gRes->Model().SetSaveWithHTML(false);
  gRes->SaveCSV(FromQString(file));
  MainForm::TidyCSVExport(FromQString(file));
}

void Tfrm::Button3Click() {
  if (IsSearching(true)) return;
  const QString file = ChooseSaveFile(dlgS2);
  if (file.isEmpty()) return;
  gRes->Model().SetSaveWithHTML(true);
  gRes->SaveHTML(FromQString(file));
  MainForm::TidyHTMLExport(FromQString(file));
}

}  // namespace kelvaro
