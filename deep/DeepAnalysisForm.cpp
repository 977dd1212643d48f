#include "deep/DeepAnalysisForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "deep/DeepAnalysisWorker.h"
#include "grid/TResultGrid.h"
#include "main/MainGrid.h"
#include "settings/ApiCredentials.h"
#include "ui/Chime.h"
#include "ui/FormParts.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/TextConvert.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

// The first widths of Page Title and URL, which a reset puts back.
constexpr int kTitleUrlWidth = 160;
// What the columns may take of the grid's width: the rest is the vertical scroll bar and
// the frame.
constexpr int kGridWidthReserve = 22;
// URL is never narrowed below this, however long the titles get, so it stays readable
// and clickable.
constexpr int kMinUrlWidth = 40;

}  // namespace

namespace DeepAnalysisForm {

// Defined here, where the worker is a complete type.
TAnalyzeThread::~TAnalyzeThread() = default;

}  // namespace DeepAnalysisForm

TfrmDeepAnalysis::TfrmDeepAnalysis(const ApiCredentials& credentials, ChimePlayer& player,
                                   std::string chime_path, std::string endpoint,
                                   std::function<std::string(const std::string&)> download,
                                   QWidget* parent)
    : QDialog(parent), chime_path_(std::move(chime_path)), player_(player) {
  setObjectName(QStringLiteral("frmDeepAnalysis"));
  setWindowTitle(QStringLiteral("Deep Analysis"));
  setModal(true);
  setFont(WindowFont());
  BuildLayout();
  if (!download) download = [](const std::string& url) { return DownloadPage(url); };
  host_ = std::make_unique<QtWorkerHost>(bridge_, credentials, std::move(endpoint),
                                         std::move(download), this);
}

TfrmDeepAnalysis::~TfrmDeepAnalysis() {
  if (!ShutdownWorker()) {
    // The worker is stuck in a download and can no longer reach anything; waiting for
    // its time-out would only keep a closing program on screen.
    std::_Exit(0);
  }
}

void TfrmDeepAnalysis::BuildLayout() {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Top panel: the keywords and Start/Stop.
  const KeywordPanel top = BuildKeywordPanel(
      this, QStringLiteral("List the top results and their backlinks for every phrase"),
      QStringLiteral("Stop the analysis"));
  pnlSettings = top.panel;
  pnlSettingsTitle = top.title;
  Memo1 = top.memo;
  bStart = top.start;
  bStop = top.stop;
  top.keywords_column->addStretch();
  top.controls->addStretch();
  column->addWidget(pnlSettings);

  Panel1 = TitleStrip(QStringLiteral("Results"), this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  column->addWidget(Panel1);

  // Results: the grid and the progress bar along its bottom.
  auto* results = new QWidget(this);
  results->setObjectName(QStringLiteral("pnlResults"));
  auto* results_column = new QVBoxLayout(results);
  results_column->setContentsMargins(0, 0, 0, 0);
  results_column->setSpacing(0);
  gRes = new TResultGrid(DeepAnalysisGridCreationValues(), results);
  gRes->setObjectName(QStringLiteral("gRes"));
  results_column->addWidget(gRes, 1);
  barProgress = ResultsProgressBar(results);
  results_column->addWidget(barProgress);
  column->addWidget(results, 1);

  // Bottom panel: Close at the right.
  auto* bottom = new QWidget(this);
  bottom->setObjectName(QStringLiteral("Panel3"));
  bottom->setFixedHeight(33);
  auto* row = new QHBoxLayout(bottom);
  row->setContentsMargins(6, 4, 6, 4);
  TBXButton2 = HintedButton(QStringLiteral("Close"), QStringLiteral("TBXButton2"),
                            QStringLiteral("Close Deep Analysis"), bottom);
  row->addStretch();
  row->addWidget(TBXButton2);
  column->addWidget(bottom);

  barStatus = new QStatusBar(this);
  barStatus->setObjectName(QStringLiteral("barStatus"));
  barStatus->setSizeGripEnabled(false);
  column->addWidget(barStatus);

  CheckBox1 = new QCheckBox(QStringLiteral("Don't erase old results (append the new)"), this);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1->setChecked(false);
  CheckBox1->setVisible(false);
  CheckBox2 = new QCheckBox(QStringLiteral("Autofit Page Title and URL"), this);
  CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
  CheckBox2->setChecked(true);
  CheckBox2->setVisible(false);

  ConnectHandler(bStart, this, &TfrmDeepAnalysis::btnStartClick);
  ConnectHandler(bStop, this, &TfrmDeepAnalysis::bStopClick);
  ConnectHandler(TBXButton2, this, &TfrmDeepAnalysis::TBXButton2Click);

  resize(1010, 612);
  CentreOnScreen(this);
}

void TfrmDeepAnalysis::OpenWith(const std::string& keywords) {
  Memo1->setPlainText(ToQString(keywords));
  ResetGrid();
  exec();
}

void TfrmDeepAnalysis::ResetGrid() {
  ResultGridModel& grid = gRes->Model();
  grid.SetRowCount(2);
  for (int col = 0; col <= 3; ++col) grid.SetCells(col, 1, std::string());
  grid.SetColWidths(1, kTitleUrlWidth);
  grid.SetColWidths(2, kTitleUrlWidth);
}

bool TfrmDeepAnalysis::IsAnalysing() const {
  return AnalyzeThread_ != nullptr && !AnalyzeThread_->Finished;
}

void TfrmDeepAnalysis::LockMemo(bool locked) { LockKeywordMemo(Memo1, locked); }

void TfrmDeepAnalysis::btnStartClick() {
  if (IsAnalysing()) {
    ShowInformation(kAnalyzingText, this);
    return;
  }
  const std::string memo_text = FromQString(Memo1->toPlainText());
  if (Trim(memo_text).empty()) {
    ShowInformation(kNoKeywordsText, this);
    return;
  }
  if (!CheckBox1->isChecked()) ResetGrid();
  AnalyzeThread_.reset();
  bridge_.Reset();
  DeepAnalysisForm::DeepAnalysisWorkerSink sink;
  sink.ShowProgress = [this](int progress) { barProgress->setValue(progress); };
  sink.AutoFitColumns = [this] { AutoFitColumns(); };
  auto worker = std::make_unique<DeepAnalysisForm::DeepAnalysisWorker>(
      MainForm::KeywordLines(memo_text), *host_, gRes->Model(), sink, CheckBox2->isChecked());
  AnalyzeThread_ = std::make_unique<DeepAnalysisForm::TAnalyzeThread>(std::move(worker));
  connect(
      AnalyzeThread_.get(), &QThread::finished, this,
      [this] { RunHandler([this] { HandleWorkerFinished(); }); }, Qt::QueuedConnection);
  AnalyzeThread_->start();
  LockMemo(true);
  barProgress->setValue(0);
}

void TfrmDeepAnalysis::AutoFitColumns() {
  gRes->SetAutoSizeGrowOnly(true);
  gRes->AutoSizeColumn(1, 0);
  gRes->AutoSizeColumn(2, 0);
  int total = 0;
  for (int col = 0; col < gRes->ColCount(); ++col) total += gRes->ColWidths(col);
  const int excess = total - (gRes->width() - kGridWidthReserve);
  if (excess <= 0) return;
  const int narrowed = gRes->ColWidths(2) - (excess - excess % 2);
  gRes->SetColWidths(2, std::max(narrowed, std::min(kMinUrlWidth, gRes->ColWidths(2))));
}

void TfrmDeepAnalysis::bStopClick() {
  if (AnalyzeThread_) AnalyzeThread_->worker().RequestStop();
}

void TfrmDeepAnalysis::HandleWorkerFinished() {
  if (!AnalyzeThread_ || closing_for_good_) return;
  AnalyzeThread_->Finished = true;
  LockMemo(false);
  barProgress->setValue(0);
  player_.Play(chime_path_);
}

bool TfrmDeepAnalysis::ShutdownWorker() {
  if (AnalyzeThread_ && !AnalyzeThread_->isFinished()) closing_for_good_ = true;
  return StopWorkerForShutdown(AnalyzeThread_.get(), bridge_,
                               [this] { AnalyzeThread_->worker().RequestStop(); });
}

bool TfrmDeepAnalysis::FormCloseQuery() {
  if (IsAnalysing()) {
    ShowInformation(kAnalyzingText, this);
    return false;
  }
  return true;
}

void TfrmDeepAnalysis::reject() {
  bool close = false;
  RunHandler([&] { close = FormCloseQuery(); });
  if (close) QDialog::reject();
}

void TfrmDeepAnalysis::TBXButton2Click() { close(); }

}  // namespace kelvaro
