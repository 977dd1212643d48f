#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "base/ApiCredentials.h"
#include "deep/view/DeepAnalysisForm.h"
#include "deep/DeepAnalysisWorker.h"
#include "grid/view/CellPainter.h"
#include "grid/view/TResultGrid.h"
#include "main/view/MainForm.h"
#include "tests/support/DownloadGate.h"
#include "tests/support/TempDir.h"
#include "tests/support/qt/ModalAnswer.h"
#include "settings/SettingsStore.h"
#include "tools/RankAnswers.h"
#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
#include "ui/Chime.h"
#include "ui/OpenLink.h"
#include "ui/TextConvert.h"
#include "web/CustomSearch.h"
#include "web/DomainRankService.h"
#include "web/SearchService.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

using testing::AnswerNextBox;
using testing::AnswerNextModal;
using testing::SeenBox;
using testing::WaitUntil;

constexpr char kAnalyzingText[] = "The analyzing is in progress. It must be finished first.";
constexpr char kSearchingText[] =
    "Searching in progress. Stop the search first or wait for it to finish.";

class DeepAnalysisFormTest : public ::testing::Test {
 protected:
  DeepAnalysisFormTest() {
    services_.credentials.Set({"demo-key", "demo-cx"});
    services_.endpoint = service_.Endpoint();
    services_.http = &gate_;
    services_.temp_dir = temp_.path().string() + "/";
    services_.timings.phrase_pause_ms = 0;  // no test waits the half second between phrases
    // The player only needs the file to be there.
    testing::WriteBytes(temp_.File("chimes.wav"), "RIFF");
    SetLinkOpenerForTesting([this](const std::string& url) { opened_.push_back(url); });
  }
  ~DeepAnalysisFormTest() override {
    gate_.Open();
    SetLinkOpenerForTesting(nullptr);
  }

  std::unique_ptr<TfrmDeepAnalysis> MakeForm(QWidget* parent = nullptr) {
    return std::make_unique<TfrmDeepAnalysis>(services_, parent);
  }

  // Types `memo` and presses Start; returns once the run's end notice has arrived.
  static void RunToEnd(TfrmDeepAnalysis& form, const QString& memo) {
    form.Memo1->setPlainText(memo);
    form.btnStartClick();
    ASSERT_TRUE(form.IsAnalysing());
    ASSERT_TRUE(WaitUntil([&] { return !form.IsAnalysing(); }));
  }

  static std::vector<std::string> Row(TfrmDeepAnalysis& form, int row) {
    std::vector<std::string> cells;
    for (int col = 0; col < 4; ++col) cells.push_back(form.gRes->Model().Cells(col, row));
    return cells;
  }

  searchsim::SubstituteSearchServer service_;
  testing::TempDir temp_;
  testing::DownloadGate gate_;
  RunServices services_;
  std::vector<std::string> opened_;
};

// The main window's Deep Analysis button hands over the ticked phrases only, one per
// line, and the window opens on a fresh grid.
TEST_F(DeepAnalysisFormTest, DeepAnalysisButtonPutsTickedPhrasesIntoTheMemo) {
  Tfrm frm(MainFormEnvironment{}, services_);
  auto form = MakeForm(&frm);
  frm.SetDeepAnalysisForm(form.get());

  ResultGridModel& main_grid = frm.gRes->Model();
  const std::vector<std::string> phrases = {"red shoes", "  blue hats", "green socks"};
  for (size_t i = 0; i < phrases.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    if (row > 1) main_grid.AddRow();
    main_grid.SetCells(1, row, phrases[i]);
    main_grid.AddCheckBox(0, row, true, false);
  }
  main_grid.ToggleCheck(0, 3);  // "green socks" stays behind

  // Left over from an earlier opening: the reset clears it.
  form->gRes->Model().AddRow();
  form->gRes->Model().SetCells(1, 1, "old title");
  form->gRes->Model().SetColWidths(1, 300);
  form->gRes->Model().SetColWidths(2, 90);

  QString memo;
  QString cost;
  int rows = -1;
  int width1 = -1;
  int width2 = -1;
  bool shown_modal = false;
  AnswerNextModal([&](QWidget* modal) {
    shown_modal = modal == form.get();
    memo = form->Memo1->toPlainText();
    WaitUntil([&] { return form->lblCost->text() == QStringLiteral("2 phrases: up to 22 queries"); });
    cost = form->lblCost->text();
    rows = form->gRes->Model().RowCount();
    width1 = form->gRes->Model().ColWidths(1);
    width2 = form->gRes->Model().ColWidths(2);
    form->TBXButton2Click();
  });
  frm.TBXButton1Click();

  EXPECT_TRUE(shown_modal);
  EXPECT_FALSE(form->isVisible());
  // Untrimmed, as ticked, one phrase a line.
  EXPECT_EQ(memo, QStringLiteral("red shoes\n  blue hats"));
  EXPECT_EQ(cost, QStringLiteral("2 phrases: up to 22 queries"));
  // Its rows are groups: a header click never sorts them.
  EXPECT_FALSE(form->gRes->Sortable());
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(form->gRes->Model().Cells(1, 1), "");
  const GridCreationValues first = DeepAnalysisForm::TopResultsGridColumns();
  EXPECT_EQ(width1, first.col_widths[1]);
  EXPECT_EQ(width2, first.col_widths[2]);
}

TEST_F(DeepAnalysisFormTest, DeepAnalysisButtonWithNothingTickedAsksForTicks) {
  Tfrm frm(MainFormEnvironment{}, services_);
  auto form = MakeForm(&frm);
  frm.SetDeepAnalysisForm(form.get());
  frm.gRes->Model().SetCells(1, 1, "red shoes");
  frm.gRes->Model().AddCheckBox(0, 1, false, false);
  form->Memo1->setPlainText(QStringLiteral("kept"));

  SeenBox box;
  AnswerNextBox(&box, QStringLiteral("OK"));
  frm.TBXButton1Click();

  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, QStringLiteral("Information"));
  EXPECT_EQ(box.text, QStringLiteral("Please check some of the keywords first."));
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("kept"));
}

TEST_F(DeepAnalysisFormTest, StartWithBlankMemoStartsNothing) {
  auto form = MakeForm();
  form->show();
  form->Memo1->setPlainText(QStringLiteral("  \n\t\n"));
  SeenBox box;
  AnswerNextBox(&box, QStringLiteral("OK"));
  form->btnStartClick();
  EXPECT_EQ(box.text,
            QStringLiteral("Please type in some keyword phrases before search (one per line)."));
  EXPECT_EQ(form->AnalyzeThread(), nullptr);
  EXPECT_TRUE(service_.Requests().empty());
}

// A run over two phrases: the rows of both passes, the averages, the unlocked memo, the
// chime, and columns fitted to the texts without overflowing the grid.
TEST_F(DeepAnalysisFormTest, RunOverTwoPhrasesFillsResultsBacklinksAndAverages) {
  auto form = MakeForm();
  // Narrow enough that the fitted columns overflow and URL has to give way.
  form->resize(720, 612);
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  // The memo's own text counts: what was typed, edited before Start.
  form->Memo1->setPlainText(QStringLiteral("old phrase"));
  RunToEnd(*form, QStringLiteral("red shoes\nfew blue hats"));

  // Header, the empty row 1, then per phrase: phrase row, results, averages, spacer.
  // "few" phrases list four results: four result rows, not ten.
  ASSERT_EQ(form->gRes->Model().RowCount(), 2 + (1 + 10 + 2) + (1 + 4 + 2));
  EXPECT_EQ(Row(*form, 1), (std::vector<std::string>{"", "", "", ""}));
  const struct {
    int phrase_row;
    const char* phrase;
    int results;
  } phrases[] = {{2, "red shoes", 10}, {15, "few blue hats", 4}};
  std::vector<std::string> link_queries;
  for (const auto& p : phrases) {
    const auto phrase_row = Row(*form, p.phrase_row);
    EXPECT_EQ(phrase_row[1], std::string("<b>") + p.phrase + "</b>");
    EXPECT_EQ(phrase_row[2].rfind("<b>", 0), 0u);
    int64_t sum = 0;
    for (int n = 1; n <= p.results; ++n) {
      const auto result = Row(*form, p.phrase_row + n);
      EXPECT_EQ(result[0], std::to_string(n));
      EXPECT_FALSE(result[1].empty());
      EXPECT_EQ(result[2].rfind("https://", 0), 0u) << result[2];
      int64_t count = -1;
      EXPECT_TRUE(TryStrToInt64(result[3], count)) << "backlinks of row " << p.phrase_row + n;
      sum += ParseCount(result[3]);
      link_queries.push_back("link: " + result[2]);
    }
    const auto averages = Row(*form, p.phrase_row + p.results + 1);
    EXPECT_EQ(averages[2], "<b>Averages:</b>");
    EXPECT_EQ(averages[3], DeepAnalysisForm::FormatAverage(sum, p.results));
    EXPECT_EQ(Row(*form, p.phrase_row + p.results + 2), (std::vector<std::string>{"", "", "", ""}));
  }

  // One phrase query each, then one backlinks query per listed URL, in grid order.
  const auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), 2u + link_queries.size());
  EXPECT_EQ(requests[0].q, "red shoes");
  EXPECT_EQ(requests[1].q, "few blue hats");
  for (size_t i = 0; i < link_queries.size(); ++i) EXPECT_EQ(requests[2 + i].q, link_queries[i]);

  // The end notice.
  EXPECT_FALSE(form->Memo1->isReadOnly());
  EXPECT_EQ(form->Memo1->palette().color(QPalette::Base),
            QApplication::palette().color(QPalette::Base));
  EXPECT_EQ(form->barProgress->value(), 0);
  EXPECT_EQ(services_.chime.PlayCount(), 1);

  // Page Title and URL grew to their texts; then URL gave back what overflowed the grid
  // (to within the odd pixel the even rounding leaves).
  EXPECT_GT(form->gRes->Model().ColWidths(1), 160);
  int total = 0;
  for (int col = 0; col < form->gRes->Model().ColCount(); ++col) {
    total += form->gRes->Model().ColWidths(col);
  }
  EXPECT_LE(total, form->gRes->width() - 22 + 1);
  EXPECT_GE(total, form->gRes->width() - 22 - 1);
  EXPECT_EQ(form->gRes->Model().ColWidths(0), 20);
  EXPECT_EQ(form->gRes->Model().ColWidths(3), 65);

  // A URL cell opens its address on a click anywhere in it, even right of the text; a
  // title does not.
  const int url_row = 3;
  const QRect url_cell = form->gRes->visualRect(form->gRes->model()->index(url_row - 1, 2));
  QTest::mouseClick(form->gRes->viewport(), Qt::LeftButton, {},
                    QPoint(url_cell.right() - 2, url_cell.center().y()));
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0], form->gRes->Model().Cells(2, url_row));
  const QRect title_cell = form->gRes->visualRect(form->gRes->model()->index(url_row - 1, 1));
  QTest::mouseClick(form->gRes->viewport(), Qt::LeftButton, {}, title_cell.center());
  EXPECT_EQ(opened_.size(), 1u);

  // A second Start begins afresh.
  RunToEnd(*form, QStringLiteral("few red hats"));
  EXPECT_EQ(form->gRes->Model().RowCount(), 2 + 1 + 4 + 2);
  EXPECT_EQ(form->gRes->Model().Cells(1, 2), "<b>few red hats</b>");
  EXPECT_EQ(services_.chime.PlayCount(), 2);
}

// Titles wider than the whole grid would take URL below nothing; it keeps a usable width.
TEST_F(DeepAnalysisFormTest, UrlColumnKeepsAUsableWidthInANarrowGrid) {
  auto form = MakeForm();
  form->gRes->setFixedWidth(200);
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  RunToEnd(*form, QStringLiteral("few blue hats"));
  ASSERT_EQ(form->gRes->Model().RowCount(), 2 + 1 + 4 + 2);
  EXPECT_GT(form->gRes->Model().ColWidths(1), 200 - 22 - 20 - 65);
  EXPECT_EQ(form->gRes->Model().ColWidths(2), 40);
}

// While a run is under way, Start, the Close button, Esc and the close box are all
// refused with the same notice, and the window stays open.
TEST_F(DeepAnalysisFormTest, StartAndCloseAreRefusedDuringARun) {
  auto form = MakeForm();
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  gate_.Close();
  form->Memo1->setPlainText(QStringLiteral("red shoes\nblue hats"));
  form->btnStartClick();
  ASSERT_TRUE(WaitUntil([&] { return gate_.Waiting() == 1; }));
  auto* thread = form->AnalyzeThread();

  EXPECT_TRUE(form->Memo1->isReadOnly());
  EXPECT_EQ(form->Memo1->palette().color(QPalette::Base), QColor(192, 220, 192));
  // The grid cannot be edited while the worker reads its rows back: no editor opens.
  const QModelIndex cell = form->gRes->model()->index(0, 1);
  form->gRes->edit(cell);
  EXPECT_FALSE(form->gRes->IsEditing());
  EXPECT_FALSE(form->gRes->model()->setData(cell, QStringLiteral("typed")));

  SeenBox start_box;
  AnswerNextBox(&start_box, QStringLiteral("OK"));
  form->btnStartClick();
  EXPECT_EQ(start_box.title, QStringLiteral("Information"));
  EXPECT_EQ(start_box.text, QString::fromLatin1(kAnalyzingText));
  EXPECT_EQ(form->AnalyzeThread(), thread);

  SeenBox close_box;
  AnswerNextBox(&close_box, QStringLiteral("OK"));
  form->TBXButton2Click();
  EXPECT_EQ(close_box.text, QString::fromLatin1(kAnalyzingText));
  EXPECT_TRUE(form->isVisible());

  SeenBox esc_box;
  AnswerNextBox(&esc_box, QStringLiteral("OK"));
  QTest::keyClick(form.get(), Qt::Key_Escape);
  EXPECT_EQ(esc_box.text, QString::fromLatin1(kAnalyzingText));
  EXPECT_TRUE(form->isVisible());

  SeenBox close_box_box;
  AnswerNextBox(&close_box_box, QStringLiteral("OK"));
  QCloseEvent close_event;
  QApplication::sendEvent(form.get(), &close_event);
  EXPECT_FALSE(close_event.isAccepted());
  EXPECT_EQ(close_box_box.text, QString::fromLatin1(kAnalyzingText));
  EXPECT_TRUE(form->isVisible());

  gate_.Open();
  ASSERT_TRUE(WaitUntil([&] { return !form->IsAnalysing(); }));
  EXPECT_EQ(form->gRes->Model().Cells(1, 2), "<b>red shoes</b>");
  form->gRes->edit(cell);
  EXPECT_TRUE(form->gRes->IsEditing());  // editable again
  // Idle again: Close closes.
  form->TBXButton2Click();
  EXPECT_FALSE(form->isVisible());
}

// Export to Excel in the bottom row: refused during a run as the main window's file buttons
// are, then the grid goes into the chosen .xlsx file, after the overwrite question.
TEST_F(DeepAnalysisFormTest, ExportToExcelRefusedDuringARunThenWritesAWorkbook) {
  auto form = MakeForm();
  std::vector<QFileDialog*> dialogs;
  const std::string file = temp_.File("deep.xlsx");
  form->RunFileDialog = [&](QFileDialog* dialog) {
    dialogs.push_back(dialog);
    return QString::fromStdString(file);
  };
  ASSERT_NE(form->bExportExcel, nullptr);
  EXPECT_EQ(form->bExportExcel->text(), QStringLiteral("Export to Excel"));
  EXPECT_EQ(form->bExportExcel->parentWidget(), form->TBXButton2->parentWidget());
  form->show();
  gate_.Close();
  form->Memo1->setPlainText(QStringLiteral("red shoes"));
  form->btnStartClick();
  ASSERT_TRUE(WaitUntil([&] { return gate_.Waiting() == 1; }));
  SeenBox refused;
  AnswerNextBox(&refused, QStringLiteral("OK"));
  form->bExportExcel->click();
  ASSERT_TRUE(refused.seen);
  EXPECT_EQ(refused.title, QStringLiteral("Information"));
  EXPECT_EQ(refused.text, QString::fromLatin1(kSearchingText));
  EXPECT_TRUE(dialogs.empty());
  gate_.Open();
  ASSERT_TRUE(WaitUntil([&] { return !form->IsAnalysing(); }));

  testing::WriteBytes(file, "old bytes");
  SeenBox overwrite;
  AnswerNextBox(&overwrite, QStringLiteral("&Yes"));
  form->bExportExcel->click();
  EXPECT_TRUE(overwrite.seen);
  EXPECT_EQ(overwrite.title, QStringLiteral("Confirm"));
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0], form->dlgS);
  EXPECT_EQ(form->dlgS->nameFilters(), QStringList{QStringLiteral("Excel workbook (*.xlsx)")});
  EXPECT_EQ(testing::ReadBytes(file).rfind("PK\x03\x04", 0), 0u);  // a zip: the workbook
}

// Stop during the first pass: the phrase under way is completed, no backlinks are asked.
TEST_F(DeepAnalysisFormTest, StopEndsTheRun) {
  auto form = MakeForm();
  form->show();
  gate_.Close();
  form->Memo1->setPlainText(QStringLiteral("red shoes\nblue hats\ngreen socks"));
  form->btnStartClick();
  ASSERT_TRUE(WaitUntil([&] { return gate_.Waiting() == 1; }));
  form->bStopClick();
  gate_.Open();
  ASSERT_TRUE(WaitUntil([&] { return !form->IsAnalysing(); }));

  const auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].q, "red shoes");
  EXPECT_EQ(form->gRes->Model().RowCount(), 2 + 1 + 10 + 2);
  for (int row = 1; row < form->gRes->Model().RowCount(); ++row)
    EXPECT_EQ(form->gRes->Model().Cells(3, row), "");
  EXPECT_FALSE(form->Memo1->isReadOnly());
  EXPECT_EQ(services_.chime.PlayCount(), 1);
}

// The window going away mid-run stops the worker before anything of the window is
// destroyed: the run ends where it was instead of going through its phrases.
TEST_F(DeepAnalysisFormTest, DestroyingTheWindowDuringARunStopsTheWorker) {
  services_.timings.phrase_pause_ms = 60000;  // only the window going away ends the pause
  auto form = MakeForm();
  form->show();
  form->Memo1->setPlainText(QStringLiteral("red shoes\nblue hats\ngreen socks\nfew hats"));
  form->btnStartClick();
  // Inside the first pass: one phrase done, the worker in its pause.
  ASSERT_TRUE(WaitUntil([&] { return form->gRes->Model().RowCount() > 2; }));
  form.reset();  // returns once the worker has
  EXPECT_LT(service_.Requests().size(), 4u);
}

// A run in SerpApi mode against the substitute service ends with what it cost, in the
// window's own status bar (the main window's is out of sight behind it).
TEST_F(DeepAnalysisFormTest, SerpApiRunEndsWithTheQueriesSentAndTheSearchesLeft) {
  services_.credentials.Set({"demo-key", "", kSerpApi, ""});
  auto form = MakeForm();
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  RunToEnd(*form, QStringLiteral("few blue hats"));
  ASSERT_EQ(form->gRes->Model().RowCount(), 2 + 1 + 4 + 2);
  EXPECT_EQ(form->gRes->Model().Cells(3, 3),
            std::to_string(searchsim::BacklinkCount(Row(*form, 3)[2])));
  auto* cost = form->barStatus->findChild<QLabel*>(QStringLiteral("lblRunCost"));
  ASSERT_NE(cost, nullptr);
  EXPECT_TRUE(cost->isVisible());
  EXPECT_EQ(cost->text(), QStringLiteral("Queries sent: 5. Searches left: 99995."));
}

// With a rank key and the backlink box unticked: one search a phrase on the line beside Start
// and in the run, each result's domain rank, each phrase's average rank and its forum count in
// green; the box's state is kept in the settings store for the next window.
TEST_F(DeepAnalysisFormTest, RunWithRanksAndForumsWithoutBacklinks) {
  services_.credentials.Set({"demo-key", "demo-cx", "", "", "", "", "demo-rank-key"});
  SettingsStore store(temp_.File("settings.reg"));
  auto form = MakeForm();
  form->SetSettingsStore(&store);
  ASSERT_TRUE(form->cbAskBacklinks->isChecked());
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  form->Memo1->setPlainText(QStringLiteral("red shoes\nfew blue hats"));
  ASSERT_TRUE(WaitUntil(
      [&] { return form->lblCost->text() == QStringLiteral("2 phrases: up to 22 queries"); }));
  form->cbAskBacklinks->click();
  EXPECT_TRUE(WaitUntil(
      [&] { return form->lblCost->text() == QStringLiteral("2 phrases: 2 queries"); }));
  EXPECT_FALSE(store.LoadAskBacklinks());

  RunToEnd(*form, QStringLiteral("red shoes\nfew blue hats"));
  const ResultGridModel& grid = form->gRes->Model();
  ASSERT_EQ(grid.ColCount(), 6);
  EXPECT_EQ(grid.Cells(3, 0), "Backlinks");
  EXPECT_EQ(grid.Cells(4, 0), "Domain Rank");
  EXPECT_EQ(grid.Cells(5, 0), "Forums");
  const auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].q, "red shoes");
  EXPECT_EQ(requests[1].q, "few blue hats");
  EXPECT_EQ(requests[2].target.rfind("/api/v1.0/getPageRank?", 0), 0u);
  const std::string url = grid.Cells(2, 3);
  EXPECT_EQ(grid.Cells(4, 3), FormatRank(*searchsim::RankFor(RankDomain(url))));
  EXPECT_EQ(grid.Cells(3, 3), "");
  EXPECT_EQ(grid.Cells(2, 13), "<b>Averages:</b>");
  EXPECT_EQ(grid.Cells(4, 13).rfind("<b>", 0), 0u);
  EXPECT_EQ(grid.Cells(5, 13), "<b>1</b>");
  const auto background = [&](int col, int row) {
    return form->gRes->Visuals(col, row, GridDrawState{}).background;
  };
  EXPECT_EQ(background(5, 13), 0x00FF00u);
  EXPECT_NE(background(5, 3), 0x00FF00u);
  auto* cost = form->barStatus->findChild<QLabel*>(QStringLiteral("lblRunCost"));
  ASSERT_NE(cost, nullptr);
  EXPECT_EQ(cost->text().indexOf(QStringLiteral("Domain ranks unavailable")), -1);

  auto next = MakeForm();
  next->SetSettingsStore(&store);
  EXPECT_FALSE(next->cbAskBacklinks->isChecked());
}

}  // namespace
}  // namespace kelvaro
