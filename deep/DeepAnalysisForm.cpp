#include "deep/DeepAnalysisForm.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

#include "base/KeywordLines.h"
#include "deep/DeepAnalysisWorker.h"
#include "grid/view/TResultGrid.h"
#include "ui/FormParts.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/TextConvert.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

// The first widths of Page Title and URL, which a reset puts back.
constexpr int kTitleUrlWidth = 160;

// The top-results grid: the result's number, Page Title, URL and its backlink count.
GridCreationValues DeepAnalysisGridColumns() {
  GridCreationValues values;
  values.col_count = 4;
  values.row_count = 2;
  values.column_headers = {"", "Page Title", "URL", "Backlinks"};
  values.col_widths = {20, kTitleUrlWidth, kTitleUrlWidth, 65};
  return values;
}
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

TfrmDeepAnalysis::TfrmDeepAnalysis(RunServices& services, QWidget* parent)
    : QDialog(parent), services_(services), run_(services, this) {
  setObjectName(QStringLiteral("frmDeepAnalysis"));
  setWindowTitle(QStringLiteral("Deep Analysis"));
  setModal(true);
  setFont(WindowFont());
  BuildLayout();
}

TfrmDeepAnalysis::~TfrmDeepAnalysis() = default;

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
  lblCost = new QLabel(pnlSettings);
  lblCost->setObjectName(QStringLiteral("lblCost"));
  lblCost->setStatusTip(QStringLiteral("What Start will send to the search service"));
  // At the foot of the column, where the main window shows its own.
  top.keywords_column->addStretch();
  top.keywords_column->addWidget(lblCost);
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
  gRes = new TResultGrid(DeepAnalysisGridColumns(), results);
  gRes->setObjectName(QStringLiteral("gRes"));
  // Its rows are groups (a phrase, its results, the averages), so it is never sorted.
  gRes->SetTickAllOnHeaderClick(true);
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
  connect(gRes, &TResultGrid::StatusMessage, barStatus,
          [this](const QString& text) { barStatus->showMessage(text); });
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
  connect(Memo1, &QPlainTextEdit::textChanged, this,
          [this] { RunHandler([this] { Memo1Change(); }); });
  Memo1Change();

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

bool TfrmDeepAnalysis::IsAnalysing() const { return run_.IsRunning(); }

void TfrmDeepAnalysis::LockMemo(bool locked) { LockKeywordMemo(Memo1, locked); }

void TfrmDeepAnalysis::Memo1Change() {
  lblCost->setText(ToQString(DeepAnalysisCostText(FromQString(Memo1->toPlainText()))));
}

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
  DeepAnalysisForm::DeepAnalysisWorkerSink sink;
  sink.ShowProgress = [this](int progress) { barProgress->setValue(progress); };
  sink.AutoFitColumns = [this] { AutoFitColumns(); };
  auto worker = std::make_unique<DeepAnalysisForm::DeepAnalysisWorker>(
      KeywordLines(memo_text), run_.Host(), gRes->Model(), sink, CheckBox2->isChecked());
  worker->SetAnswerStore(services_.answers, services_.reuse_days);
  run_.Start(std::make_unique<DeepAnalysisForm::TAnalyzeThread>(std::move(worker)),
             [this] { HandleWorkerFinished(); });
  LockMemo(true);
  barProgress->setValue(0);
}

void TfrmDeepAnalysis::AutoFitColumns() {
  ResultGridModel& grid = gRes->Model();
  grid.SetAutoSizeGrowOnly(true);
  gRes->AutoSizeColumn(1, 0);
  gRes->AutoSizeColumn(2, 0);
  int total = 0;
  for (int col = 0; col < grid.ColCount(); ++col) total += grid.ColWidths(col);
  const int excess = total - (gRes->width() - kGridWidthReserve);
  if (excess <= 0) return;
  const int narrowed = grid.ColWidths(2) - (excess - excess % 2);
  grid.SetColWidths(2, std::max(narrowed, std::min(kMinUrlWidth, grid.ColWidths(2))));
}

void TfrmDeepAnalysis::bStopClick() { run_.Stop(); }

void TfrmDeepAnalysis::HandleWorkerFinished() {
  LockMemo(false);
  barProgress->setValue(0);
  ShowRunCost(barStatus, AnalyzeThread()->worker());
  services_.chime.Play(services_.ChimePath());
}

bool TfrmDeepAnalysis::ShutdownWorker() { return run_.Shutdown(); }

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
