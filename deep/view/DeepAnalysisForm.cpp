#include "deep/view/DeepAnalysisForm.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "base/KeywordLines.h"
#include "deep/DeepAnalysisWorker.h"
#include "grid/view/CellPainter.h"
#include "grid/view/TResultGrid.h"
#include "settings/SettingsStore.h"
#include "ui/FormParts.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/RunTexts.h"
#include "ui/TextConvert.h"

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

GridCreationValues TopResultsGridColumns() {
  GridCreationValues values;
  values.col_count = 4;
  values.row_count = 2;
  values.column_headers = {"", "Page Title", "URL", "Backlinks"};
  values.col_widths = {20, kTitleUrlWidth, kTitleUrlWidth, 65};
  return values;
}

}  // namespace DeepAnalysisForm

TfrmDeepAnalysis::TfrmDeepAnalysis(RunServices& services, QWidget* parent)
    : QDialog(parent), services_(services) {
  setObjectName(QStringLiteral("frmDeepAnalysis"));
  setWindowTitle(QStringLiteral("Deep Analysis"));
  setModal(true);
  setFont(WindowFont());
  RunFileDialog = ExecFileDialog;
  BuildLayout();

  KeywordRunParts parts = WindowRunParts(this);
  parts.shape = Shape();
  parts.reset_grid = [this] { ResetGrid(); };
  parts.make_worker = [this, &services](std::vector<std::string> keywords, WorkerHost& host,
                                        SearchSetup search) {
    DeepAnalysisForm::DeepAnalysisWorkerSink sink;
    sink.ShowProgress = [this](int progress) { barProgress->setValue(progress); };
    sink.AutoFitColumns = [this] { AutoFitColumns(); };
    sink.MarkStoredCell = [this](int col, int row, int64_t arrived) {
      gRes->Model().SetCellHint(col, row, StoredAnswerHint(arrived));
    };
    auto worker = std::make_unique<DeepAnalysisForm::DeepAnalysisWorker>(
        std::move(keywords), host, std::move(search), gRes->Model(), sink, CheckBox2->isChecked());
    if (services.timings.phrase_pause_ms) {
      worker->SetPauseBetweenPhrasesMs(*services.timings.phrase_pause_ms);
    }
    worker->SetAskBacklinks(cbAskBacklinks->isChecked());
    return std::make_unique<DeepAnalysisForm::TAnalyzeThread>(std::move(worker));
  };
  // The second pass reads the rows back to tell phrases, results and averages apart, so
  // nothing in the grid may change under it but what the worker writes.
  parts.running_changed = [this](bool running) { gRes->SetReadOnly(running); };
  run_ = std::make_unique<KeywordRun>(services, std::move(parts));
}

TfrmDeepAnalysis::~TfrmDeepAnalysis() = default;

void TfrmDeepAnalysis::BuildLayout() {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Top panel: the keywords, Start/Stop and below them what Start will send.
  const KeywordPanel top = BuildKeywordPanelOf(
      this, this, QStringLiteral("List the top results and their backlinks for every phrase"),
      QStringLiteral("Stop the analysis"));
  top.keywords_column->addStretch();
  cbAskBacklinks = new QCheckBox(QStringLiteral("Ask backlink counts (link:, 10 searches a phrase)"),
                                 top.panel);
  cbAskBacklinks->setObjectName(QStringLiteral("cbAskBacklinks"));
  cbAskBacklinks->setChecked(true);
  cbAskBacklinks->setToolTip(
      QStringLiteral("Unticked, a phrase costs one search and the Backlinks column stays empty"));
  top.keywords_column->addWidget(cbAskBacklinks);
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
  gRes = new TResultGrid(DeepAnalysisForm::TopResultsGridColumns(), results);
  gRes->setObjectName(QStringLiteral("gRes"));
  // Its rows are groups (a phrase, its results, the averages), so it is never sorted.
  gRes->SetTickAllOnHeaderClick(true);
  gRes->SetOnGetCellColor([](TResultGrid& sender, int row, int col, const GridDrawState&,
                             QBrush& brush, QFont&) {
    const auto color = DeepAnalysisForm::TopResultsCellColor(sender.Model(), col, row);
    if (color) brush.setColor(QColor::fromRgb(*color));
  });
  results_column->addWidget(gRes, 1);
  barProgress = ResultsProgressBar(results);
  results_column->addWidget(barProgress);
  column->addWidget(results, 1);

  // Bottom panel: Export to Excel at the left, Close at the right.
  const BottomPanel bottom = BuildBottomPanel(this);
#ifdef KELVARO_XLSX_EXPORT
  bExportExcel =
      HintedButton(QStringLiteral("Export to Excel"), QStringLiteral("bExportExcel"),
                   QStringLiteral("Export the results as an Excel workbook"), bottom.panel);
  bottom.row->addWidget(bExportExcel);
  dlgS = ExcelFileDialog(this, QStringLiteral("dlgS"));
  ConnectHandler(bExportExcel, this, &TfrmDeepAnalysis::bExportExcelClick);
#endif
  TBXButton2 = HintedButton(QStringLiteral("Close"), QStringLiteral("TBXButton2"),
                            QStringLiteral("Close Deep Analysis"), bottom.panel);
  bottom.row->addStretch();
  bottom.row->addWidget(TBXButton2);
  column->addWidget(bottom.panel);

  barStatus = WindowStatusBar(this);
  barStatus->setSizeGripEnabled(false);
  connect(gRes, &TResultGrid::StatusMessage, barStatus,
          [this](const QString& text) { barStatus->showMessage(text); });
  column->addWidget(barStatus);

  CheckBox1 = HiddenCheckBox(QStringLiteral("Don't erase old results (append the new)"),
                             QStringLiteral("CheckBox1"), false, this);
  CheckBox2 = HiddenCheckBox(QStringLiteral("Autofit Page Title and URL"),
                             QStringLiteral("CheckBox2"), true, this);

  ConnectHandler(bStart, this, &TfrmDeepAnalysis::btnStartClick);
  ConnectHandler(bStop, this, &TfrmDeepAnalysis::bStopClick);
  ConnectHandler(TBXButton2, this, &TfrmDeepAnalysis::TBXButton2Click);
  // Only the user's click stores the choice; loading it does not write it back.
  connect(cbAskBacklinks, &QCheckBox::clicked, this,
          [this] { RunHandler([this] { cbAskBacklinksClick(); }); });

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
  DeepAnalysisForm::ShowSignalColumns(
      grid, DeepAnalysisForm::WantsDomainRanks(services_.credentials.Get()));
  for (int col = 0; col < grid.ColCount(); ++col) grid.SetCells(col, 1, std::string());
  grid.SetColWidths(1, kTitleUrlWidth);
  grid.SetColWidths(2, kTitleUrlWidth);
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

void TfrmDeepAnalysis::SetSettingsStore(SettingsStore* store) {
  settings_ = store;
  bool ask = true;
  if (settings_ != nullptr) {
    // An unreadable value asks the counts, as a box never unticked does.
    try {
      ask = settings_->LoadAskBacklinks();
    } catch (const std::exception&) {
    }
  }
  cbAskBacklinks->setChecked(ask);
  run_->SetShape(Shape());
}

RunShape TfrmDeepAnalysis::Shape() const {
  return cbAskBacklinks->isChecked() ? RunShape::kDeepAnalysis
                                     : RunShape::kDeepAnalysisWithoutBacklinks;
}

void TfrmDeepAnalysis::cbAskBacklinksClick() {
  run_->SetShape(Shape());
  if (settings_ == nullptr) return;
  // The choice holds for this session even when it cannot be stored.
  try {
    settings_->SaveAskBacklinks(cbAskBacklinks->isChecked());
  } catch (const std::exception& e) {
    ShowErrorBox(e.what(), this);
  }
}

void TfrmDeepAnalysis::reject() {
  bool close = false;
  RunHandler([&] { close = FormCloseQuery(); });
  if (close) QDialog::reject();
}

void TfrmDeepAnalysis::TBXButton2Click() { close(); }

void TfrmDeepAnalysis::bExportExcelClick() {
#ifdef KELVARO_XLSX_EXPORT
  if (IsAnalysing()) {
    ShowInformation(kSearchingText, this);
    return;
  }
  const QString file = ChooseSaveFile(dlgS, RunFileDialog, this);
  if (file.isEmpty()) return;
  SaveXLSX(gRes->Model(), DeepAnalysisForm::TopResultsSheet(gRes->Model()), FromQString(file));
#endif
}

}  // namespace kelvaro
