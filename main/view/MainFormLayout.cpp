// The main window's controls and where they stand.
#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <iterator>

#include "grid/view/TResultGrid.h"
#include "main/KeywordGrid.h"
#include "main/view/MainForm.h"
#include "ui/FormParts.h"

namespace kelvaro {
GridCreationValues MainForm::KeywordGridColumns() {
  GridCreationValues values;
  values.col_count = kKeywordGridColumns;
  values.row_count = 2;
  values.column_headers.assign(std::begin(kKeywordGridTitles), std::end(kKeywordGridTitles));
  values.col_widths.assign(std::begin(kKeywordGridWidths), std::end(kKeywordGridWidths));
  return values;
}

void Tfrm::BuildLayout() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Top panel: keywords, Start/Stop, the delay, Settings and Deep Analysis.
  const KeywordPanel top =
      BuildKeywordPanelOf(this, central, QStringLiteral("Count the results of every phrase"),
                          QStringLiteral("Stop after the phrase under way"));
  Label1 = new QLabel(QStringLiteral("Delay between searches (seconds)"), pnlSettings);
  top.keywords_column->addWidget(Label1);
  Edit1 = new QLineEdit(QStringLiteral("0"), pnlSettings);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setFixedWidth(60);
  Edit1->setStatusTip(QStringLiteral("Seconds to wait between two searches"));
  // The 110-pixel panel has no room for another line, so the cost of the next run stands
  // on the delay field's line.
  auto* delay_row = new QHBoxLayout;
  delay_row->addWidget(Edit1);
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
  TBXButton3 =
      HintedButton(QStringLiteral("Keyword Ideas"), QStringLiteral("TBXButton3"),
                   QStringLiteral("Related searches, questions and suggestions of the ticked phrases"),
                   pnlSettings);
  // Three wide buttons share the panel's height.
  wide->setSpacing(2);
  for (auto* b : {btSettings, TBXButton1, TBXButton3}) {
    b->setFixedSize(150, 28);
    wide->addWidget(b);
  }
  wide->addStretch();
  top.controls->addLayout(wide);
  column->addWidget(pnlSettings);

  Panel1 = TitleStrip(QStringLiteral("Results"), central);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  column->addWidget(Panel1);

  // Results: the grid and the progress bar along its bottom.
  gRes = new TResultGrid(MainForm::KeywordGridColumns(), central);
  gRes->setObjectName(QStringLiteral("gRes"));
  gRes->SetOnGetCellColor(
      [this](TResultGrid& sender, int row, int col, const GridDrawState& state, QBrush& brush,
             QFont& font) { gResGetCellColor(sender, row, col, state, brush, font); });
  gRes->SetSortable(true);
  gRes->SetTickAllOnHeaderClick(true);
  gRes->SetOnSortRequest([this](int col) { return gResSortRequest(col); });
  column->addWidget(gRes, 1);
  barProgress = ResultsProgressBar(central);
  column->addWidget(barProgress);

  // Bottom panel: projects, clearing, exports, Close.
  const BottomPanel bottom_panel = BuildBottomPanel(central);
  QWidget* bottom = bottom_panel.panel;
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
  for (auto* b : {bSave, bOpen, bClear, bClearAll, bExport, Button3}) {
    bottom_panel.row->addWidget(b);
  }
#ifdef KELVARO_XLSX_EXPORT
  bExportExcel = HintedButton(QStringLiteral("Export to Excel"), QStringLiteral("bExportExcel"),
                              QStringLiteral("Export the grid as an Excel workbook"), bottom);
  bottom_panel.row->addWidget(bExportExcel);
#endif
  bottom_panel.row->addStretch();
  bottom_panel.row->addWidget(TBXButton2);
  column->addWidget(bottom);
  setCentralWidget(central);

  barStatus = WindowStatusBar(this);
  setStatusBar(barStatus);
  connect(gRes, &TResultGrid::StatusMessage, barStatus,
          [this](const QString& text) { barStatus->showMessage(text); });

  CheckBox1 = HiddenCheckBox(QStringLiteral("Don't erase old results (append the new)"),
                             QStringLiteral("CheckBox1"), false, this);

  const QStringList csv{QStringLiteral("CSV Files (*.CSV *.csv)"), QStringLiteral("* (*)")};
  dlgS = FileDialog(this, QStringLiteral("dlgS"), true, QStringLiteral("csv"), csv);
  dlgO = FileDialog(this, QStringLiteral("dlgO"), false, QStringLiteral("csv"), csv);
  dlgS2 = FileDialog(
      this, QStringLiteral("dlgS2"), true, QStringLiteral("html"),
      {QStringLiteral("HTML Files (*.HTML *.HTM *.html *.htm)"), QStringLiteral("* (*)")});
#ifdef KELVARO_XLSX_EXPORT
  dlgS3 = ExcelFileDialog(this, QStringLiteral("dlgS3"));
  ConnectHandler(bExportExcel, this, &Tfrm::bExportExcelClick);
#endif

  ConnectHandler(bStart, this, &Tfrm::btnStartClick);
  ConnectHandler(bStop, this, &Tfrm::bStopClick);
  ConnectHandler(btSettings, this, &Tfrm::btSettingsClick);
  ConnectHandler(TBXButton1, this, &Tfrm::TBXButton1Click);
  ConnectHandler(TBXButton3, this, &Tfrm::TBXButton3Click);
  ConnectHandler(bSave, this, &Tfrm::bSaveClick);
  ConnectHandler(bOpen, this, &Tfrm::bOpenClick);
  ConnectHandler(bClear, this, &Tfrm::bClearClick);
  ConnectHandler(bClearAll, this, &Tfrm::bClearAllClick);
  ConnectHandler(bExport, this, &Tfrm::bExportClick);
  ConnectHandler(Button3, this, &Tfrm::Button3Click);
  ConnectHandler(TBXButton2, this, &Tfrm::TBXButton2Click);

  resize(889, 491);
  CentreOnScreen(this);
}

}  // namespace kelvaro
