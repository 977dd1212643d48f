#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <memory>
#include <string>
#include <vector>

#include "grid/view/GridCellDelegate.h"
#include "grid/view/GridHeaderView.h"
#include "grid/view/GridTableModel.h"
#include "grid/view/TResultGrid.h"
#include "tests/support/TempDir.h"
#include "tests/support/qt/GridShapes.h"
#include "ui/OpenLink.h"

namespace kelvaro {
namespace {

const std::string kCountUrl = "https://www.googleapis.com/customsearch/v1?q=%22red+shoes%22&cx=e";

std::string CountLink(const std::string& url, const std::string& digits) {
  return "<a href=\"" + url + "\">" + digits + "</a>";
}

class GridWidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLinkOpenerForTesting([this](const std::string& url) { opened_.push_back(url); });
  }
  void TearDown() override { SetLinkOpenerForTesting({}); }

  // A shown, active grid made from `values`.
  std::unique_ptr<TResultGrid> MakeGrid(const GridCreationValues& values) {
    auto grid = std::make_unique<TResultGrid>(values);
    grid->resize(640, 400);
    grid->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
    grid->activateWindow();
    QApplication::setActiveWindow(grid.get());
    grid->setFocus();
    return grid;
  }

  // The main grid with one ticked row: "red shoes" and three count links.
  std::unique_ptr<TResultGrid> MainGridWithRow() {
    auto grid = MakeGrid(testing::KeywordGridValues());
    grid->Model().SetCells(1, 1, "red shoes");
    grid->Model().SetCells(2, 1, CountLink(kCountUrl, "12345"));
    grid->Model().SetCells(3, 1, CountLink(kCountUrl + "&t=1", "60000"));
    grid->Model().SetCells(4, 1, CountLink(kCountUrl + "&t=2", "700"));
    grid->Model().AddCheckBox(0, 1, true, false);
    return grid;
  }

  static QRect CellRect(TResultGrid& grid, int col, int row) {
    return grid.visualRect(grid.model()->index(row - 1, col));
  }

  static QRect HeaderRect(TResultGrid& grid, int col) {
    GridHeaderView& header = grid.Header();
    return QRect(header.sectionViewportPosition(col), 0, header.sectionSize(col), header.height());
  }

  // Where the digits of a count link are drawn in a cell without a check box.
  static QPoint OnText(TResultGrid& grid, const QRect& cell, const QString& text) {
    const QFontMetrics metrics(grid.GridFont());
    return QPoint(cell.left() + TResultGrid::kTextInset + metrics.horizontalAdvance(text) / 2,
                  cell.top() + TResultGrid::kTextInset + metrics.height() / 2);
  }

  std::vector<std::string> opened_;
};

TEST_F(GridWidgetTest, CreationValuesOfBothGrids) {
  auto main_grid = MakeGrid(testing::KeywordGridValues());
  EXPECT_EQ(main_grid->Model().ColCount(), 5);
  EXPECT_EQ(main_grid->Model().RowCount(), 2);
  const std::vector<std::string> titles = {"", "Keyword", "Quotes", "Allintitle", "Allinurl"};
  const std::vector<int> widths = {20, 229, 100, 100, 100};
  for (int col = 0; col < 5; ++col) {
    EXPECT_EQ(main_grid->Model().Cells(col, 0), titles[col]);
    EXPECT_EQ(main_grid->Model().ColWidths(col), widths[col]);
    EXPECT_EQ(main_grid->columnWidth(col), widths[col]);
  }
  EXPECT_EQ(main_grid->rowHeight(0), 18);
  EXPECT_EQ(main_grid->Header().height(), 18);
  EXPECT_FALSE(main_grid->Model().HasCheckBox(0, 1));
  EXPECT_TRUE(main_grid->Model().SaveWithHTML());
  EXPECT_FALSE(main_grid->Model().AutoSizeGrowOnly());

  auto deep_grid = MakeGrid(testing::TopResultsGridValues());
  EXPECT_EQ(deep_grid->Model().ColCount(), 4);
  EXPECT_EQ(deep_grid->Model().Cells(3, 0), "Backlinks");
  EXPECT_EQ(deep_grid->columnWidth(3), 65);
}

TEST_F(GridWidgetTest, ClickInCheckColumnFlipsTheBoxButNotInTheHeader) {
  auto grid = MainGridWithRow();
  grid->Model().AddCheckBox(0, 0, true, false);  // a box in the header cell must not react either
  const QRect cell = CellRect(*grid, 0, 1);
  // Anywhere in the cell, not only on the box.
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.bottomRight() - QPoint(1, 1));
  EXPECT_FALSE(grid->Model().IsChecked(0, 1));
  EXPECT_EQ(grid->currentIndex(), grid->model()->index(0, 0));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_TRUE(grid->Model().IsChecked(0, 1));
  // A double-click is two clicks: the box ends as it was, and no editor opens.
  QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_TRUE(grid->Model().IsChecked(0, 1));
  EXPECT_FALSE(grid->IsEditing());

  QTest::mouseClick(grid->Header().viewport(), Qt::LeftButton, {}, HeaderRect(*grid, 0).center());
  EXPECT_TRUE(grid->Model().IsChecked(0, 0));

  // Space toggles the focused cell's box.
  grid->setFocus();
  QTest::keyClick(grid.get(), Qt::Key_Space);
  EXPECT_FALSE(grid->Model().IsChecked(0, 1));
  EXPECT_EQ(grid->Model().Cells(0, 1), "");
}

// A count link holds the query URL (an earlier Kelvaro's with the key): a click opens the
// public results page of the query, and a screen reader gets the digits and that page, never
// the query URL.
TEST_F(GridWidgetTest, CountLinkOpensAndReadsAsItsPublicResultsPage) {
  auto grid = MainGridWithRow();
  QSignalSpy messages(grid.get(), &TResultGrid::StatusMessage);
  const QRect cell = CellRect(*grid, 2, 1);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.topRight() + QPoint(-4, 8));
  EXPECT_TRUE(opened_.empty());

  const std::string page = "https://www.google.com/search?q=%22red+shoes%22";
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, OnText(*grid, cell, "12345"));
  EXPECT_EQ(opened_, std::vector<std::string>{page});
  const QModelIndex index = grid->model()->index(0, 2);
  EXPECT_EQ(index.data(Qt::AccessibleTextRole).toString(), "12345");
  EXPECT_EQ(index.data(Qt::AccessibleDescriptionRole).toString(), QString::fromStdString(page));

  // A phrase's quote kept in the URL, the key behind it: still the phrase's page only.
  grid->Model().SetCells(
      2, 1, CountLink("https://serpapi.com/search.json?q=\"red+shoes\"&api_key=SECRET", "9"));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, OnText(*grid, cell, "9"));
  EXPECT_EQ(opened_.back(), page);
  // No public page to build: nothing opens and the status bar says why.
  grid->Model().SetCells(2, 1, CountLink("https://gw.example/count?key=SECRET", "9"));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, OnText(*grid, cell, "9"));
  EXPECT_EQ(opened_.size(), 2u);
  ASSERT_EQ(messages.count(), 1);
  EXPECT_FALSE(messages[0][0].toString().isEmpty());
  EXPECT_TRUE(grid->model()->index(0, 2).data(Qt::AccessibleDescriptionRole).isNull());

  // The hand cursor shows over the digits only.
  QTest::mouseMove(grid->viewport(), OnText(*grid, cell, "9"));
  EXPECT_EQ(grid->viewport()->cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseMove(grid->viewport(), cell.topRight() + QPoint(-4, 8));
  EXPECT_EQ(grid->viewport()->cursor().shape(), Qt::ArrowCursor);

  // Qt reads the stored text when the accessible one is empty: a link with no digits.
  grid->Model().SetCells(2, 1, CountLink("https://gw.example/count?key=SECRET", ""));
  EXPECT_EQ(grid->model()->index(0, 2).data(Qt::AccessibleTextRole).toString(), " ");
}

TEST_F(GridWidgetTest, LinkTextCellOpensAnywhereWithTheHandCursorOverTheWholeCell) {
  auto grid = MakeGrid(testing::TopResultsGridValues());
  const std::string url = "https://example.com/shoes/red?id=1";
  grid->Model().SetCells(1, 1, "Red shoes for everyone");
  grid->Model().SetCells(2, 1, url);
  const QRect cell = CellRect(*grid, 2, 1);
  QTest::mouseMove(grid->viewport(), cell.bottomRight() - QPoint(2, 2));
  EXPECT_EQ(grid->viewport()->cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.bottomRight() - QPoint(2, 2));
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0], url);

  QTest::mouseMove(grid->viewport(), CellRect(*grid, 1, 1).center());
  EXPECT_EQ(grid->viewport()->cursor().shape(), Qt::ArrowCursor);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellRect(*grid, 1, 1).center());
  EXPECT_EQ(opened_.size(), 1u);
}

TEST_F(GridWidgetTest, OnlyWebAndMailLinksOpen) {
  auto grid = MainGridWithRow();
  const std::vector<std::string> refused = {"file:///etc/passwd", "/usr/bin/xterm",
                                            "javascript:alert(1)", "C:\\Windows\\calc.exe"};
  for (const std::string& target : refused) {
    grid->Model().SetCells(2, 1, CountLink(target, "12345"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      OnText(*grid, CellRect(*grid, 2, 1), "12345"));
  }
  // A plain link text with a file address is refused as well.
  grid->Model().SetCells(1, 1, "file://localhost/etc/passwd");
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellRect(*grid, 1, 1).center());
  EXPECT_TRUE(opened_.empty());

  grid->Model().SetCells(1, 1, "mailto:someone@example.com");
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellRect(*grid, 1, 1).center());
  EXPECT_EQ(opened_, std::vector<std::string>{"mailto:someone@example.com"});
}

TEST_F(GridWidgetTest, RightClickEditsACountLinkAsItsPlainCount) {
  auto grid = MainGridWithRow();
  const std::string link = grid->Model().Cells(2, 1);
  QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, CellRect(*grid, 2, 1).center());
  ASSERT_TRUE(grid->IsEditing());
  auto* editor = qobject_cast<QLineEdit*>(grid->Delegate().OpenEditor());
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "12345");
  // Leaving the editor untouched keeps the link.
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellRect(*grid, 1, 1).center());
  EXPECT_FALSE(grid->IsEditing());
  EXPECT_EQ(grid->Model().Cells(2, 1), link);

  // Typing and leaving writes the plain text.
  QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, CellRect(*grid, 2, 1).center());
  editor = qobject_cast<QLineEdit*>(grid->Delegate().OpenEditor());
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_End);
  QTest::keyClicks(editor, "7");
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellRect(*grid, 1, 1).center());
  EXPECT_EQ(grid->Model().Cells(2, 1), "123457");

  // Escape drops what was typed and writes nothing.
  const std::string allintitle = grid->Model().Cells(3, 1);
  QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, CellRect(*grid, 3, 1).center());
  editor = qobject_cast<QLineEdit*>(grid->Delegate().OpenEditor());
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "99");
  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_FALSE(grid->IsEditing());
  EXPECT_EQ(grid->Model().Cells(3, 1), allintitle);

  // A right click on a cell without "://" or "mailto:" opens nothing.
  QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, CellRect(*grid, 1, 1).center());
  EXPECT_FALSE(grid->IsEditing());
}

TEST_F(GridWidgetTest, EditorWritesBackOnlyWhatTheUserChanged) {
  auto grid = MainGridWithRow();
  // A cp1252 "e acute", not valid UTF-8: the editor shows a replacement character.
  const std::string cp1252 = "caf\xE9 hats";
  grid->Model().SetCells(1, 1, cp1252);
  QSignalSpy changes(&grid->TableModel(), &QAbstractItemModel::dataChanged);
  const QModelIndex keyword = grid->model()->index(0, 1);
  grid->setCurrentIndex(keyword);
  grid->edit(keyword);
  auto* editor = qobject_cast<QLineEdit*>(grid->Delegate().OpenEditor());
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();  // Return commits once the editor has seen the key
  EXPECT_FALSE(grid->IsEditing());
  EXPECT_EQ(grid->Model().Cells(1, 1), cp1252);
  EXPECT_EQ(changes.count(), 0);

  grid->edit(keyword);
  editor = qobject_cast<QLineEdit*>(grid->Delegate().OpenEditor());
  ASSERT_NE(editor, nullptr);
  editor->setText("blue hats");
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();
  EXPECT_EQ(grid->Model().Cells(1, 1), "blue hats");
  EXPECT_EQ(changes.count(), 1);
}

TEST_F(GridWidgetTest, AutoSizeColumnWithAndWithoutGrowOnly) {
  auto grid = MainGridWithRow();
  const std::string widest = "a somewhat longer keyword phrase";
  grid->Model().AddRow();
  grid->Model().SetCells(1, 2, widest);
  const QFontMetrics metrics(grid->GridFont());
  const int expected = metrics.horizontalAdvance(QString::fromStdString(widest)) + 8;
  ASSERT_LT(expected, 229);

  grid->Model().SetAutoSizeGrowOnly(true);
  grid->AutoSizeColumn(1, 0);
  EXPECT_EQ(grid->Model().ColWidths(1), 229);
  grid->Model().SetAutoSizeGrowOnly(false);
  grid->AutoSizeColumn(1, 0);
  EXPECT_EQ(grid->Model().ColWidths(1), expected);
  EXPECT_EQ(grid->columnWidth(1), expected);
  // Grow-only still widens a column that is too narrow, and extra comes on top.
  grid->Model().SetColWidths(1, 30);
  grid->Model().SetAutoSizeGrowOnly(true);
  grid->AutoSizeColumn(1, 5);
  EXPECT_EQ(grid->Model().ColWidths(1), expected + 5);

  // The check-box column: 15 for the box, no text.
  grid->Model().SetAutoSizeGrowOnly(false);
  grid->AutoSizeColumn(0, 0);
  EXPECT_EQ(grid->Model().ColWidths(0), 15 + 8);

  // A markup cell measures its rendered text + 2.
  grid->Model().SetCells(4, 2, "<b>Averages:</b>");
  QFont bold = grid->GridFont();
  bold.setBold(true);
  grid->AutoSizeColumn(4, 0);
  const int header = QFontMetrics(grid->FixedFont()).horizontalAdvance("Allinurl");
  EXPECT_EQ(grid->Model().ColWidths(4),
            std::max(header, QFontMetrics(bold).horizontalAdvance("Averages:") + 2) + 8);
}

TEST_F(GridWidgetTest, EmptyColumnAutoSizesToItsTitle) {
  auto grid = MakeGrid(testing::KeywordGridValues());
  grid->AutoSizeColumn(3, 0);
  EXPECT_EQ(grid->Model().ColWidths(3),
            QFontMetrics(grid->FixedFont()).horizontalAdvance("Allintitle") + 8);
}

TEST_F(GridWidgetTest, DoubleClickNearAHeaderBorderAutoSizesTheColumnLeftOfItWithoutSorting) {
  auto grid = MainGridWithRow();
  grid->SetSortable(true);
  const int fitted = QFontMetrics(grid->GridFont()).horizontalAdvance("red shoes") + 8;
  GridHeaderView& header = grid->Header();
  const QRect quotes = HeaderRect(*grid, 2);
  // Just right of the border between Keyword and Quotes: Keyword is sized, nothing sorted.
  QTest::mouseDClick(header.viewport(), Qt::LeftButton, {}, QPoint(quotes.left() + 1, 9));
  EXPECT_EQ(grid->Model().ColWidths(1), fitted);
  EXPECT_EQ(grid->SortColumn(), -1);
  // In the middle of a header cell nothing is sized.
  const int quotes_width = grid->Model().ColWidths(2);
  QTest::mouseDClick(header.viewport(), Qt::LeftButton, {}, HeaderRect(*grid, 2).center());
  EXPECT_EQ(grid->Model().ColWidths(2), quotes_width);
}

TEST_F(GridWidgetTest, DraggingAHeaderBorderResizesTheColumn) {
  auto grid = MainGridWithRow();
  GridHeaderView& header = grid->Header();
  const int border = HeaderRect(*grid, 1).right();
  QTest::mousePress(header.viewport(), Qt::LeftButton, {}, QPoint(border, 9));
  QTest::mouseMove(header.viewport(), QPoint(border + 40, 9));
  QTest::mouseRelease(header.viewport(), Qt::LeftButton, {}, QPoint(border + 40, 9));
  EXPECT_EQ(grid->Model().ColWidths(1), 229 + 40);
}

TEST_F(GridWidgetTest, HeaderClicksOfAnUnsortableGridNeverReorderRows) {
  auto grid = MakeGrid(testing::KeywordGridValues());
  const std::vector<std::string> phrases = {"zebra", "apple", "mango"};
  for (size_t k = 0; k < phrases.size(); ++k) {
    if (k > 0) grid->Model().AddRow();
    grid->Model().SetCells(1, static_cast<int>(k) + 1, phrases[k]);
    grid->Model().SetCells(3, static_cast<int>(k) + 1, std::to_string(3 - k));
  }
  for (int col = 0; col < grid->Model().ColCount(); ++col) {
    QTest::mouseClick(grid->Header().viewport(), Qt::LeftButton, {},
                      HeaderRect(*grid, col).center());
    QTest::mouseDClick(grid->Header().viewport(), Qt::LeftButton, {},
                       HeaderRect(*grid, col).center());
  }
  for (size_t k = 0; k < phrases.size(); ++k) {
    EXPECT_EQ(grid->Model().Cells(1, static_cast<int>(k) + 1), phrases[k]);
    EXPECT_EQ(grid->model()->index(static_cast<int>(k), 1).data().toString().toStdString(),
              phrases[k]);
  }
}

TEST_F(GridWidgetTest, HeaderClickSortsASecondClickReversesAndTheWindowCanRefuse) {
  auto grid = MakeGrid(testing::KeywordGridValues());
  grid->SetSortable(true);
  const char* const keywords[] = {"zebra", "apple", "mango"};
  const std::string counts[] = {"30", CountLink(kCountUrl, "1,000"), "200"};
  for (int k = 0; k < 3; ++k) {
    if (k > 0) grid->Model().AddRow();
    grid->Model().SetCells(1, k + 1, keywords[k]);
    grid->Model().SetCells(3, k + 1, counts[k]);
  }
  auto order = [&grid] {
    std::string shown;
    for (int row = 1; row < grid->Model().RowCount(); ++row) {
      shown += grid->Model().Cells(1, row) + " ";
    }
    return shown;
  };
  GridHeaderView& header = grid->Header();
  QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, HeaderRect(*grid, 3).center());
  EXPECT_EQ(order(), "zebra mango apple ");
  EXPECT_EQ(header.SortArrowColumn(), 3);
  EXPECT_TRUE(grid->SortAscending());
  QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, HeaderRect(*grid, 3).center());
  EXPECT_EQ(order(), "apple mango zebra ");
  EXPECT_FALSE(grid->SortAscending());

  std::vector<int> asked;
  grid->SetOnSortRequest([&asked](int col) {
    asked.push_back(col);
    return false;
  });
  QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, HeaderRect(*grid, 1).center());
  EXPECT_EQ(asked, std::vector<int>{1});
  EXPECT_EQ(order(), "apple mango zebra ");
  EXPECT_EQ(header.SortArrowColumn(), 3);

  // A double-click on the border left of Allintitle sizes Quotes and sorts nothing.
  grid->SetOnSortRequest({});
  QTest::mouseDClick(header.viewport(), Qt::LeftButton, {},
                     QPoint(HeaderRect(*grid, 3).left() + 1, 9));
  EXPECT_EQ(grid->Model().ColWidths(2),
            QFontMetrics(grid->FixedFont()).horizontalAdvance("Quotes") + 8);
  EXPECT_EQ(order(), "apple mango zebra ");
}

// A sort moves rows (the current cell stays on its row), tick all changes the check column,
// Clear Checked removes rows: the view hears each as that, never as a reset.
TEST_F(GridWidgetTest, SortTickAllAndClearCheckedKeepTheCurrentCell) {
  auto grid = MakeGrid(testing::KeywordGridValues());
  QAbstractItemModelTester tester(&grid->TableModel(),
                                  QAbstractItemModelTester::FailureReportingMode::Fatal);
  ResultGridModel& model = grid->Model();
  const char* const phrases[] = {"zebra", "7 11", "apple", "mango"};
  const char* const counts[] = {"5", "300", "20", "1"};
  model.SetRowCount(5);
  for (int row = 1; row <= 4; ++row) {
    model.SetCells(1, row, phrases[row - 1]);
    model.SetCells(3, row, counts[row - 1]);
    model.AddCheckBox(0, row, false, false);
  }
  QSignalSpy resets(&grid->TableModel(), &QAbstractItemModel::modelReset);
  QSignalSpy layouts(&grid->TableModel(), &QAbstractItemModel::layoutChanged);
  QSignalSpy changes(&grid->TableModel(), &QAbstractItemModel::dataChanged);
  QSignalSpy removals(&grid->TableModel(), &QAbstractItemModel::rowsRemoved);
  auto current = [&grid] { return grid->currentIndex().siblingAtColumn(1).data().toString(); };
  grid->setCurrentIndex(grid->model()->index(2, 3));  // apple

  grid->SortByColumn(1, true);  // phrases as text: "7 11" first
  EXPECT_EQ(model.Cells(1, 1), "7 11");
  EXPECT_EQ(current(), "apple");
  grid->SortByColumn(3, false);  // counts as numbers
  EXPECT_EQ(model.Cells(1, 1), "7 11");
  EXPECT_EQ(model.Cells(1, 2), "apple");
  EXPECT_EQ(current(), "apple");
  EXPECT_EQ(layouts.count(), 2);

  QTest::keyClick(grid.get(), Qt::Key_Down);  // the place is kept: the keys work on
  EXPECT_EQ(current(), "zebra");
  grid->SetTickAllOnHeaderClick(true);
  QTest::mouseClick(grid->Header().viewport(), Qt::LeftButton, {}, HeaderRect(*grid, 0).center());
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes[0][0].toModelIndex(), grid->model()->index(0, 0));
  EXPECT_EQ(changes[0][1].toModelIndex(), grid->model()->index(3, 0));

  model.ToggleCheck(0, 3);  // zebra stays
  EXPECT_EQ(model.RemoveCheckedRows(0), 3);
  EXPECT_EQ(removals.count(), 1);
  EXPECT_EQ(current(), "zebra");
  EXPECT_EQ(resets.count(), 0);
}

TEST_F(GridWidgetTest, CheckColumnHeaderClickTicksAllOrUnticksAll) {
  auto grid = MainGridWithRow();
  grid->SetSortable(true);
  grid->SetTickAllOnHeaderClick(true);
  grid->Model().AddRow();
  grid->Model().AddCheckBox(0, 2, false, false);
  grid->Model().AddRow();  // no box
  const QPoint check_header = HeaderRect(*grid, 0).center();
  QTest::mouseClick(grid->Header().viewport(), Qt::LeftButton, {}, check_header);
  EXPECT_TRUE(grid->Model().IsChecked(0, 1));
  EXPECT_TRUE(grid->Model().IsChecked(0, 2));
  EXPECT_FALSE(grid->Model().HasCheckBox(0, 3));
  QTest::mouseClick(grid->Header().viewport(), Qt::LeftButton, {}, check_header);
  EXPECT_FALSE(grid->Model().IsChecked(0, 1));
  EXPECT_FALSE(grid->Model().IsChecked(0, 2));
  EXPECT_EQ(grid->Header().SortArrowColumn(), -1);
}

TEST_F(GridWidgetTest, FileWithAHundredThousandFieldsOnALineOpens) {
  testing::TempDir dir;
  const std::string file = dir.File("wide.csv");
  std::string line;
  for (int k = 0; k < 100000; ++k) line += "f,";
  testing::WriteBytes(file, "a,b\r\n" + line + "last\r\n");
  auto grid = MakeGrid(testing::KeywordGridValues());
  QSignalSpy resized(&grid->Header(), &QHeaderView::sectionResized);
  grid->Model().LoadCSV(file, -1);
  EXPECT_EQ(grid->Model().ColCount(), 100001);
  EXPECT_EQ(grid->Header().count(), 100001);
  EXPECT_EQ(grid->columnWidth(100000), ResultGridModel::kDefaultColWidth);
  EXPECT_EQ(grid->columnWidth(1), 229);
  // Only the window's own widths are set section by section.
  EXPECT_LE(resized.count(), 5);
}

TEST_F(GridWidgetTest, HeaderCellLooksPressedWhileHeld) {
  auto grid = MakeGrid(testing::KeywordGridValues());
  GridHeaderView& header = grid->Header();
  QTest::mousePress(header.viewport(), Qt::LeftButton, {}, HeaderRect(*grid, 2).center());
  EXPECT_EQ(header.PressedSection(), 2);
  QTest::mouseRelease(header.viewport(), Qt::LeftButton, {}, HeaderRect(*grid, 2).center());
  EXPECT_EQ(header.PressedSection(), -1);
}

TEST_F(GridWidgetTest, ColourHookPaintsCountCellsAndLeavesTheHeaderGradient) {
  auto grid = MainGridWithRow();
  struct Call {
    int row;
    int col;
    bool fixed;
  };
  std::vector<Call> calls;
  grid->SetOnGetCellColor(
      [&calls](TResultGrid&, int row, int col, const GridDrawState& state, QBrush& brush, QFont&) {
        calls.push_back({row, col, state.fixed});
        if (row > 0 && col == 3) brush.setColor(QColor(255, 0, 0));
      });
  const QImage image = grid->grab().toImage();
  const QPoint viewport_offset = grid->viewport()->geometry().topLeft();
  const QRect cell = CellRect(*grid, 3, 1).translated(viewport_offset);
  // Right of the digits, inside the grid lines.
  EXPECT_EQ(QColor(image.pixel(cell.right() - 3, cell.center().y())), QColor(255, 0, 0));
  EXPECT_EQ(QColor(image.pixel(CellRect(*grid, 1, 1).translated(viewport_offset).right() - 3,
                               cell.center().y())),
            grid->palette().color(QPalette::Base));

  const QRect header = HeaderRect(*grid, 3).translated(grid->Header().geometry().topLeft());
  const QColor top(image.pixel(header.center().x(), header.top() + 1));
  const QColor bottom(image.pixel(header.center().x(), header.bottom() - 2));
  EXPECT_NE(top, QColor(255, 0, 0));
  EXPECT_GT(top.lightness(), bottom.lightness());  // white at the top towards button face
  EXPECT_GE(top.lightness(), 245);

  bool saw_header = false;
  bool saw_cell = false;
  for (const Call& call : calls) {
    if (call.row == 0 && call.col == 3) saw_header = call.fixed;
    if (call.row == 1 && call.col == 3) saw_cell = !call.fixed;
  }
  EXPECT_TRUE(saw_header);
  EXPECT_TRUE(saw_cell);
}

TEST_F(GridWidgetTest, HintOnlyWhereTheTextDoesNotFit) {
  auto grid = MainGridWithRow();
  grid->Model().SetCells(1, 1, std::string(80, 'w'));
  const QRect wide = CellRect(*grid, 1, 1);
  QHelpEvent over_wide(QEvent::ToolTip, wide.center(),
                       grid->viewport()->mapToGlobal(wide.center()));
  QApplication::sendEvent(grid->viewport(), &over_wide);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_TRUE(QToolTip::text().contains(QString(80, QLatin1Char('w'))));
  QToolTip::hideText();

  EXPECT_TRUE(grid->Painter().CellHint(2, 1, CellRect(*grid, 2, 1).size()).isEmpty());
  grid->Model().SetColWidths(2, 12);
  const QString hint = grid->Painter().CellHint(2, 1, CellRect(*grid, 2, 1).size());
  EXPECT_TRUE(hint.contains("12345"));
  EXPECT_FALSE(hint.contains("googleapis"));  // the link's address is not the hint
}

TEST_F(GridWidgetTest, BeginUpdateSuspendsPaintingUntilTheLastEndUpdate) {
  auto grid = MainGridWithRow();
  grid->Model().BeginUpdate();
  grid->Model().BeginUpdate();
  EXPECT_FALSE(grid->updatesEnabled());
  grid->Model().EndUpdate();
  EXPECT_FALSE(grid->updatesEnabled());
  grid->Model().EndUpdate();
  EXPECT_TRUE(grid->updatesEnabled());
}

// The Qt adapter stays a valid model while the grid changes the way the windows and the
// workers change it.
TEST_F(GridWidgetTest, AdapterFollowsEveryModelChange) {
  auto grid = MainGridWithRow();
  QAbstractItemModelTester tester(&grid->TableModel(),
                                  QAbstractItemModelTester::FailureReportingMode::Fatal);
  ResultGridModel& model = grid->Model();
  for (int k = 0; k < 50; ++k) {
    model.AddRow();
    model.SetCells(1, model.RowCount() - 1, "phrase " + std::to_string(k));
    model.AddCheckBox(0, model.RowCount() - 1, true, false);
  }
  EXPECT_EQ(grid->model()->rowCount(), 51);
  model.RemoveRows(10, 1);
  EXPECT_EQ(grid->model()->index(9, 1).data().toString(), "phrase 9");
  model.RemoveRows(1, model.RowCount() - 1);
  EXPECT_EQ(grid->model()->rowCount(), 0);
  model.SetRowCount(2);
  model.SetRowCount(30);
  model.SetRowCount(1);
  model.SetRowCount(2);
  model.RemoveRows(0, 2);  // everything, header included: the grid keeps one row
  model.SetColCount(7);
  EXPECT_EQ(grid->model()->columnCount(), 7);
  EXPECT_EQ(grid->Header().count(), 7);

  testing::TempDir dir;
  const std::string file = dir.File("project.csv");
  testing::WriteBytes(file,
                      ",Keyword,Quotes\r\n"
                      "Y,red shoes,\"<a href=\"\"u\"\">5</a>\"\r\n"
                      "Y,blue hats,7\r\n");
  grid->Model().LoadCSV(file, -1);
  EXPECT_EQ(grid->model()->rowCount(), 2);
  EXPECT_EQ(grid->model()->index(1, 1).data().toString(), "blue hats");
  EXPECT_EQ(grid->Header().count(), grid->Model().ColCount());
  // Column widths follow the model after a reset.
  EXPECT_EQ(grid->columnWidth(1), grid->Model().ColWidths(1));
}

TEST_F(GridWidgetTest, SaveHTMLTakesThePaintedLooks) {
  auto grid = MainGridWithRow();
  grid->SetOnGetCellColor(
      [](TResultGrid&, int row, int col, const GridDrawState&, QBrush& brush, QFont&) {
        if (row > 0 && col == 3) brush.setColor(QColor(255, 60, 60));
      });
  testing::TempDir dir;
  const std::string file = dir.File("export.html");
  grid->SaveHTML(file);
  const std::string html = testing::ReadBytes(file);
  const QColor face = grid->palette().color(QPalette::Button);
  const std::string face_code =
      QString::asprintf("%02X%02X%02X", face.red(), face.green(), face.blue()).toStdString();
  EXPECT_NE(html.find(".c0 {background-color: #" + face_code +
                      ";color: #000000;font-size:8pt;font-family: Tahoma;vertical-align: top}"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("background-color: #FF3C3C"), std::string::npos);
}

}  // namespace
}  // namespace kelvaro
