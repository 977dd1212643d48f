#include "main/KeywordGrid.h"

#include <gtest/gtest.h>

#include "grid/CellMarkup.h"
#include "grid/ResultGridModel.h"

namespace kelvaro::MainForm {
namespace {

TEST(SearchDelayTest, IntegerTextsAndFallbacks) {
  EXPECT_EQ(SearchDelayFromText("abc"), 10000);
  EXPECT_EQ(SearchDelayFromText("2"), 2000);
  EXPECT_EQ(SearchDelayFromText(" 2"), 2000);
  EXPECT_EQ(SearchDelayFromText("2 "), 10000);
  EXPECT_EQ(SearchDelayFromText("0"), 0);
  EXPECT_EQ(SearchDelayFromText(""), 10000);
  EXPECT_EQ(SearchDelayFromText("$A"), 10000 * 1);
  EXPECT_EQ(SearchDelayFromText("-5"), 0);
  EXPECT_EQ(SearchDelayFromText("3000000"), 2147483647);
}

TEST(CountColorTest, ThresholdsPerColumn) {
  auto link = [](const std::string& count) {
    return "<a href=\"https://x/?q=1&cx=2\">" + count + "</a>";
  };
  EXPECT_EQ(CountCellColor(2, 1, link("612345")), 0xFF3C3Cu);
  EXPECT_EQ(CountCellColor(3, 1, link("9999")), 0x00FF00u);
  EXPECT_EQ(CountCellColor(4, 1, link("10000")), 0xFFFF00u);
  EXPECT_EQ(CountCellColor(2, 1, "199999"), 0x00FF00u);
  EXPECT_EQ(CountCellColor(2, 1, "200000"), 0xFFFF00u);
  EXPECT_EQ(CountCellColor(3, 1, "50000"), 0xFF3C3Cu);
  // No digits: -1, which colours green.
  EXPECT_EQ(CountCellColor(2, 1, "n/a"), 0x00FF00u);
  EXPECT_EQ(CountCellColor(2, 0, "Quotes"), std::nullopt);
  EXPECT_EQ(CountCellColor(1, 1, "123"), std::nullopt);
  EXPECT_EQ(CountCellColor(2, 1, "   "), std::nullopt);
}

TEST(StripTagsTest, TagsAndUnclosedTag) {
  EXPECT_EQ(StripTags("<a href=\"u\">12,345</a>"), "12,345");
  EXPECT_EQ(StripTags("<b>x</b>y"), "xy");
  EXPECT_EQ(StripTags("3 < 4"), "3 ");
  EXPECT_EQ(DigitsToInt64("12,345"), 12345);
  EXPECT_EQ(DigitsToInt64(""), -1);
  EXPECT_EQ(DigitsToInt64("1\t2"), -1);
  EXPECT_EQ(DigitsToInt64("99999999999999999999"), -1);
}

class KeywordGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int c = 0; c < kKeywordGridColumns; ++c) grid.SetCells(c, 0, kKeywordGridTitles[c]);
  }
  void AddPhrase(const std::string& phrase, bool checked) {
    grid.AddRow();
    const int row = grid.RowCount() - 1;
    grid.AddCheckBox(0, row, true, false);
    if (!checked) grid.ToggleCheck(0, row);
    grid.SetCells(1, row, phrase);
  }
  ResultGridModel grid{kKeywordGridColumns, 1};
};

TEST_F(KeywordGridTest, CheckedKeywordsJoinedWithoutTrailingBreak) {
  AddPhrase("a", true);
  AddPhrase("b", false);
  AddPhrase("c", true);
  EXPECT_EQ(CheckedKeywords(grid), "a\r\nc");
  grid.ToggleCheck(0, 1);
  grid.ToggleCheck(0, 3);
  EXPECT_EQ(CheckedKeywords(grid), "");
}

TEST_F(KeywordGridTest, ClearCheckedRemovesTickedRowsAndRenumbers) {
  AddPhrase("a", true);
  AddPhrase("b", false);
  AddPhrase("c", true);
  AddPhrase("d", true);
  ClearCheckedRows(grid, true);
  ASSERT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cells(1, 1), "b");
  EXPECT_EQ(grid.Cells(0, 1), "1");
  EXPECT_TRUE(grid.HasCheckBox(0, 1));
  EXPECT_FALSE(grid.IsChecked(0, 1));
}

TEST_F(KeywordGridTest, ClearCheckedAnsweredNoStillRenumbers) {
  AddPhrase("a", true);
  AddPhrase("b", true);
  ClearCheckedRows(grid, false);
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cells(0, 1), "1");
  EXPECT_EQ(grid.Cells(0, 2), "2");
}

TEST_F(KeywordGridTest, ClearCheckedOfEveryRowLeavesOneEmptyRow) {
  AddPhrase("a", true);
  AddPhrase("b", true);
  ClearCheckedRows(grid, true);
  ASSERT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cells(1, 1), "");
  EXPECT_FALSE(grid.HasCheckBox(0, 1));
  EXPECT_EQ(grid.Cells(1, 0), "Keyword");
}

TEST_F(KeywordGridTest, NoEarlierRowComesBackAfterANewRunAndClearChecked) {
  AddPhrase("one", true);
  AddPhrase("two", true);
  AddPhrase("three", true);
  ResetKeywordGrid(grid);  // Start again, with one phrase: the worker fills row 1
  grid.AddCheckBox(0, 1, true, false);
  grid.SetCells(1, 1, "new");
  ClearCheckedRows(grid, true);
  ASSERT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cells(1, 1), "");
  EXPECT_FALSE(grid.HasCheckBox(0, 1));
  grid.AddRow();
  EXPECT_EQ(grid.Cells(1, 2), "");
  EXPECT_FALSE(grid.HasCheckBox(0, 2));
}

TEST_F(KeywordGridTest, ResetAndProjectCheckBoxes) {
  AddPhrase("a", true);
  AddPhrase("b", true);
  // An opened project wider than the window's five columns widened the grid.
  grid.SetColCount(7);
  grid.SetCells(6, 1, "wide");
  ResetKeywordGrid(grid);
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cells(1, 1), "");
  EXPECT_EQ(grid.Cells(6, 1), "");
  EXPECT_FALSE(grid.HasCheckBox(0, 1));

  grid.SetRowCount(6);
  grid.SetCells(0, 2, "7");
  grid.SetCells(1, 2, "x");
  grid.SetCells(1, 3, "");
  grid.SetCells(0, 4, "N");
  grid.SetCells(1, 4, "y");
  grid.SetCells(0, 5, "Y");
  grid.SetCells(1, 5, "z");
  AddProjectCheckBoxes(grid);
  EXPECT_FALSE(grid.HasCheckBox(0, 1));
  EXPECT_TRUE(grid.IsChecked(0, 2));
  EXPECT_EQ(grid.Cells(0, 2), "7");
  EXPECT_FALSE(grid.HasCheckBox(0, 3));
  // A row saved unticked opens unticked, and ticking it changes what a save writes.
  EXPECT_FALSE(grid.IsChecked(0, 4));
  EXPECT_TRUE(grid.IsChecked(0, 5));
  grid.ToggleCheck(0, 4);
  EXPECT_EQ(SavedCellText(grid, 0, 4), "Y");
}

// Volume and KGR: columns a volume key adds, coloured by their header wherever the grid came
// from (a run or an opened project), taken away again only while they are empty.
TEST(VolumeColumnsTest, ComeAndGoAndColourByTheirHeader) {
  ResultGridModel grid(kKeywordGridColumns, 3);
  grid.SetCells(6, 1, "0.10");  // a text beyond the five columns is not a KGR
  EXPECT_EQ(KeywordCellColor(grid, 6, 1), std::nullopt);
  ShowVolumeColumns(grid, true);
  ASSERT_EQ(grid.ColCount(), 7);
  EXPECT_EQ(grid.Cells(5, 0), "Volume");
  EXPECT_EQ(grid.Cells(6, 0), "KGR");
  grid.SetCells(5, 1, "120");
  grid.SetCells(5, 2, "1300");
  grid.SetCells(6, 2, "1.01");
  grid.SetCells(3, 2, "<a href=\"https://x/?q=a\">60000</a>");
  EXPECT_EQ(KeywordCellColor(grid, 5, 1), 0x00FF00u);
  EXPECT_EQ(KeywordCellColor(grid, 6, 1), 0x00FF00u);
  EXPECT_EQ(KeywordCellColor(grid, 5, 2), std::nullopt);
  EXPECT_EQ(KeywordCellColor(grid, 6, 2), 0xFF3C3Cu);
  EXPECT_EQ(KeywordCellColor(grid, 3, 2), 0xFF3C3Cu);  // the counts keep their bands
  EXPECT_EQ(KeywordCellColor(grid, 6, 0), std::nullopt);
  ShowVolumeColumns(grid, false);  // they hold texts: they stay
  EXPECT_EQ(grid.ColCount(), 7);
  for (int row = 1; row <= 2; ++row) {
    grid.SetCells(5, row, "");
    grid.SetCells(6, row, "");
  }
  ShowVolumeColumns(grid, false);
  EXPECT_EQ(grid.ColCount(), kKeywordGridColumns);
  EXPECT_EQ(grid.Cells(5, 0), "");
}

}  // namespace
}  // namespace kelvaro::MainForm
