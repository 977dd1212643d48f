#include "grid/ResultGridModel.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "tests/support/TempDir.h"

namespace kelvaro {
namespace {

// Records every notification as a short line, and checks that the Before/After calls pair
// up and that the "Before" calls see the model still unchanged.
class RecordingListener : public ResultGridListener {
 public:
  explicit RecordingListener(const ResultGridModel& grid) : grid_(grid) {}

  void CellChanged(int col, int row) override { Log("cell " + Pair(col, row)); }
  void BeforeRowsInserted(int first, int last) override {
    count_before_ = grid_.RowCount();
    EXPECT_EQ(first, count_before_) << "insertions happen at the end";
    Log("insert " + Pair(first, last));
  }
  void AfterRowsInserted() override { Log("inserted " + std::to_string(grid_.RowCount())); }
  void BeforeRowsRemoved(int first, int last) override {
    count_before_ = grid_.RowCount();
    EXPECT_LT(last, count_before_);
    Log("remove " + Pair(first, last));
  }
  void AfterRowsRemoved() override { Log("removed " + std::to_string(grid_.RowCount())); }
  void BeforeRowsReordered() override { Log("reorder"); }
  void AfterRowsReordered(const std::vector<int>& new_row) override {
    std::string line = "reordered";
    for (const int row : new_row) line += " " + std::to_string(row);
    Log(line);
  }
  void ColumnCellsChanged(int col, int first, int last) override {
    Log("column " + std::to_string(col) + " " + Pair(first, last));
  }
  void BeforeReset() override { Log("reset"); }
  void AfterReset() override { Log("reset done"); }
  void ColumnWidthChanged(int col) override { Log("width " + std::to_string(col)); }
  void UpdatesSuspended(bool suspended) override { Log(suspended ? "suspend" : "resume"); }

  std::vector<std::string> Take() { return std::exchange(log_, {}); }

 private:
  static std::string Pair(int a, int b) { return std::to_string(a) + "," + std::to_string(b); }
  void Log(const std::string& line) { log_.push_back(line); }

  const ResultGridModel& grid_;
  int count_before_ = 0;
  std::vector<std::string> log_;
};

using Log = std::vector<std::string>;

TEST(ResultGridModelTest, CreationValues) {
  ResultGridModel grid(5, 2);
  EXPECT_EQ(grid.ColCount(), 5);
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_TRUE(grid.SaveWithHTML());
  EXPECT_FALSE(grid.AutoSizeGrowOnly());
  EXPECT_EQ(grid.UpdateCount(), 0);
  EXPECT_EQ(grid.Cells(3, 1), "");
  EXPECT_EQ(grid.Cells(99, 99), "");  // never written, even far outside
  EXPECT_EQ(grid.RowHeights(0), 18);
  EXPECT_EQ(grid.RowHeights(1), 18);
  EXPECT_FALSE(grid.HasCheckBox(0, 1));
  EXPECT_FALSE(grid.IsChecked(0, 1));
  ResultGridModel tiny(0, -3);
  EXPECT_EQ(tiny.ColCount(), 1);
  EXPECT_EQ(tiny.RowCount(), 1);
}

TEST(ResultGridModelTest, HiddenRowsStayReadableButComeBackEmpty) {
  ResultGridModel grid(5, 10);
  grid.SetCells(1, 2, "old row 2");
  grid.SetCells(1, 3, "old row 3");
  grid.AddCheckBox(0, 2, true, false);
  grid.AddCheckBox(0, 3, true, false);
  grid.SetRowCount(2);
  EXPECT_EQ(grid.Cells(1, 2), "old row 2");  // hidden, still readable
  grid.SetRowCount(3);                       // shown again: empty and unticked
  EXPECT_EQ(grid.Cells(1, 2), "");
  EXPECT_FALSE(grid.HasCheckBox(0, 2));
  EXPECT_EQ(grid.RowHeights(2), 18);
  EXPECT_EQ(grid.Cells(1, 3), "old row 3");  // still hidden
  grid.AddRow();                             // row 3 comes back through AddRow
  EXPECT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(grid.Cells(1, 3), "");
  EXPECT_FALSE(grid.HasCheckBox(0, 3));
}

TEST(ResultGridModelTest, RowCountBelowOneKeepsTheHeaderRow) {
  ResultGridModel grid(5, 2);
  grid.SetCells(1, 0, "Keyword");
  grid.RemoveRows(1, 1);
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.Cells(1, 0), "Keyword");
  grid.SetRowCount(2);
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cells(1, 1), "");
  grid.SetRowCount(0);
  EXPECT_EQ(grid.RowCount(), 1);
  grid.SetRowCount(-5);
  EXPECT_EQ(grid.RowCount(), 1);
}

TEST(ResultGridModelTest, RemovingCheckedRowsBottomUpMovesLaterRowsWithTheirBoxes) {
  ResultGridModel grid(5, 5);
  for (int r = 1; r < 5; ++r) {
    grid.SetCells(1, r, "phrase " + std::to_string(r));
    grid.AddCheckBox(0, r, r != 2, false);
  }
  for (int r = grid.RowCount() - 1; r >= 1; --r) {
    if (grid.IsChecked(0, r)) grid.RemoveRows(r, 1);
  }
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cells(1, 1), "phrase 2");
  ASSERT_TRUE(grid.HasCheckBox(0, 1));
  EXPECT_FALSE(grid.IsChecked(0, 1));
  EXPECT_EQ(grid.RowHeights(1), 18);
  // The vacated places at the end are empty: showing them again shows nothing old.
  grid.SetRowCount(5);
  for (int r = 2; r < 5; ++r) {
    EXPECT_EQ(grid.Cells(1, r), "") << r;
    EXPECT_FALSE(grid.HasCheckBox(0, r)) << r;
  }
}

// The main grid's data rows as (keyword, Allintitle) pairs, boxes noted as "+" or "-".
std::vector<std::string> Rows(const ResultGridModel& grid) {
  std::vector<std::string> rows;
  for (int r = 1; r < grid.RowCount(); ++r) {
    std::string box = grid.HasCheckBox(0, r) ? (grid.IsChecked(0, r) ? "+" : "-") : "";
    rows.push_back(box + grid.Cells(1, r) + "|" + grid.Cells(3, r));
  }
  return rows;
}

TEST(ResultGridModelTest, SortByCountsReadsTheLinkTextAndKeepsEqualKeysInOrder) {
  ResultGridModel grid(5, 1);
  grid.SetCells(1, 0, "Keyword");
  const std::pair<const char*, const char*> rows[] = {
      {"a", "<a href=\"https://x/?q=a\">9,999</a>"},
      {"b", "120"},
      {"c", ""},
      {"d", "9999"},
      {"e", "<a href=\"https://x/?q=e\">1 200</a>"},
      {"f", "  "},
      {"g", "<a href=\"https://x/?q=g\">120</a>"},
  };
  for (const auto& [keyword, count] : rows) {
    grid.AddRow();
    const int r = grid.RowCount() - 1;
    grid.AddCheckBox(0, r, keyword[0] != 'b', false);
    grid.SetCells(1, r, keyword);
    grid.SetCells(3, r, count);
  }
  grid.SortRows(3, true);
  const std::string a = "+a|<a href=\"https://x/?q=a\">9,999</a>";
  const std::string e = "+e|<a href=\"https://x/?q=e\">1 200</a>";
  const std::string g = "+g|<a href=\"https://x/?q=g\">120</a>";
  EXPECT_EQ(Rows(grid), (std::vector<std::string>{"-b|120", g, e, a, "+d|9999", "+c|", "+f|  "}));
  grid.SortRows(3, false);
  EXPECT_EQ(Rows(grid), (std::vector<std::string>{a, "+d|9999", e, "-b|120", g, "+c|", "+f|  "}));
  EXPECT_EQ(grid.Cells(1, 0), "Keyword");
  EXPECT_EQ(grid.UpdateCount(), 0);
}

TEST(ResultGridModelTest, SortByKeywordIgnoresCaseAndLeavesHiddenRowsAlone) {
  ResultGridModel grid(5, 5);
  grid.SetCells(1, 1, "beta");
  grid.SetCells(1, 2, "Alpha");
  grid.SetCells(1, 3, "");
  grid.SetCells(1, 4, "alpha");
  grid.SetCells(1, 5, "aaa hidden");
  grid.SortRows(1, true);
  EXPECT_EQ(Rows(grid), (std::vector<std::string>{"Alpha|", "alpha|", "beta|", "|"}));
  EXPECT_EQ(grid.Cells(1, 5), "aaa hidden");
}

TEST(ResultGridModelTest, PhrasesOfDigitsSortAsText) {
  ResultGridModel grid(5, 5);
  const char* const phrases[] = {"7 11", "2024 2025", "apple", "10"};
  for (int row = 1; row <= 4; ++row) grid.SetCells(1, row, phrases[row - 1]);
  grid.SortRows(1, true, /*as_text=*/true);
  EXPECT_EQ(Rows(grid), (std::vector<std::string>{"10|", "2024 2025|", "7 11|", "apple|"}));
  grid.SortRows(1, true);
  EXPECT_EQ(Rows(grid), (std::vector<std::string>{"10|", "7 11|", "2024 2025|", "apple|"}));
}

// A cell's hint tells where its text came from, so it follows the row and goes with the text.
TEST(ResultGridModelTest, ACellHintMovesWithItsRowAndGoesWithANewText) {
  ResultGridModel grid(3, 3);
  grid.SetCells(1, 1, "b");
  grid.SetCells(1, 2, "a");
  grid.SetCells(2, 1, "12");
  grid.SetCellHint(2, 1, "from the store");
  grid.SortRows(1, true);
  EXPECT_EQ(grid.CellHint(2, 2), "from the store");
  EXPECT_EQ(grid.CellHint(2, 1), "");
  grid.SetCells(2, 2, "12");
  EXPECT_EQ(grid.CellHint(2, 2), "");
}

TEST(ResultGridModelTest, RatiosSortByTheirValue) {
  ResultGridModel grid(5, 7);
  const char* const ratios[] = {"12.50", "0.18", "", "2.00", "0.2", "1.5.0"};
  for (int row = 1; row <= 6; ++row) grid.SetCells(3, row, ratios[row - 1]);
  grid.SortRows(3, true);
  EXPECT_EQ(Rows(grid), (std::vector<std::string>{"|0.18", "|0.2", "|2.00", "|12.50", "|1.5.0", "|"}));
}

// A project read back keeps "Y"/"N" in column 0; the text is what a save writes, so it
// follows every toggle of the box (a click, Space, tick all).
TEST(ResultGridModelTest, YesNoTextFollowsTheBox) {
  ResultGridModel grid(5, 4);
  grid.SetCells(0, 1, "Y");
  grid.SetCells(0, 2, "N");
  grid.SetCells(0, 3, "3");  // a row number stays
  for (int row = 1; row <= 3; ++row) grid.AddCheckBox(0, row, row != 2, false);
  grid.ToggleCheck(0, 1);
  EXPECT_FALSE(grid.IsChecked(0, 1));
  EXPECT_EQ(grid.Cells(0, 1), "N");
  grid.ToggleAllChecks(0);
  EXPECT_EQ(grid.Cells(0, 1) + grid.Cells(0, 2) + grid.Cells(0, 3), "YY3");
  grid.ToggleAllChecks(0);
  EXPECT_EQ(grid.Cells(0, 1) + grid.Cells(0, 2) + grid.Cells(0, 3), "NN3");
  EXPECT_FALSE(grid.IsChecked(0, 3));
  // Saved and read back, the rows say what the boxes showed.
  testing::TempDir dir;
  grid.ToggleCheck(0, 2);
  grid.SaveCSV(dir.File("ticks.csv"));
  ResultGridModel opened(5, 2);
  opened.LoadCSV(dir.File("ticks.csv"), -1);
  EXPECT_EQ(opened.Cells(0, 1) + opened.Cells(0, 2), "NY");
}

TEST(ResultGridModelTest, ToggleAllChecksTicksEveryBoxUnlessAllAreTicked) {
  ResultGridModel grid(5, 5);
  grid.AddCheckBox(0, 1, true, false);
  grid.AddCheckBox(0, 2, false, false);
  grid.AddCheckBox(0, 4, false, true);  // state in the text
  grid.ToggleAllChecks(0);
  EXPECT_TRUE(grid.IsChecked(0, 1));
  EXPECT_TRUE(grid.IsChecked(0, 2));
  EXPECT_FALSE(grid.HasCheckBox(0, 3));
  EXPECT_EQ(grid.Cells(0, 4), "Y");
  grid.ToggleAllChecks(0);
  EXPECT_FALSE(grid.IsChecked(0, 1));
  EXPECT_FALSE(grid.IsChecked(0, 2));
  EXPECT_EQ(grid.Cells(0, 4), "N");
  EXPECT_FALSE(grid.HasCheckBox(0, 0));
}

TEST(ResultGridModelTest, RemoveRowsIgnoresWhatIsNotThere) {
  ResultGridModel grid(2, 3);
  grid.SetCells(0, 1, "a");
  grid.SetCells(0, 2, "b");
  grid.SetCells(0, 5, "hidden");
  grid.RemoveRows(3, 1);
  grid.RemoveRows(1, 0);
  grid.RemoveRows(1, -1);
  grid.RemoveRows(-1, 1);
  EXPECT_EQ(grid.RowCount(), 3);
  EXPECT_EQ(grid.Cells(0, 2), "b");
  // A count past the end takes the visible rows only; hidden ones move up.
  grid.RemoveRows(1, 10);
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.Cells(0, 3), "hidden");
  EXPECT_EQ(grid.UpdateCount(), 0);
}

TEST(ResultGridModelTest, CheckBoxesWithStateInBoxOrText) {
  ResultGridModel grid(5, 3);
  grid.SetCells(0, 1, "7");
  grid.AddCheckBox(0, 1, true, false);
  EXPECT_EQ(grid.Cells(0, 1), "7");  // state in the box: the text stays
  EXPECT_TRUE(grid.IsChecked(0, 1));
  grid.ToggleCheck(0, 1);
  EXPECT_FALSE(grid.IsChecked(0, 1));
  EXPECT_FALSE(grid.CheckBox(0, 1)->Checked);

  grid.SetCells(2, 1, "abc");
  grid.AddCheckBox(2, 1, false, true);
  EXPECT_EQ(grid.Cells(2, 1), "N");
  grid.SetCells(3, 1, "Y");
  grid.AddCheckBox(3, 1, false, true);  // the text already decides: checked
  EXPECT_EQ(grid.Cells(3, 1), "Y");
  EXPECT_TRUE(grid.IsChecked(3, 1));
  grid.ToggleCheck(3, 1);
  EXPECT_EQ(grid.Cells(3, 1), "N");
  grid.SetCells(3, 1, "y");  // case-sensitive: not checked, and toggling makes it "Y"
  EXPECT_FALSE(grid.IsChecked(3, 1));
  grid.ToggleCheck(3, 1);
  EXPECT_EQ(grid.Cells(3, 1), "Y");

  // Adding again replaces the box.
  grid.AddCheckBox(0, 1, true, true);
  EXPECT_TRUE(grid.CheckBox(0, 1)->StateInText);
  EXPECT_EQ(grid.Cells(0, 1), "Y");  // "7" was neither letter

  grid.RemoveCheckBox(0, 1);
  EXPECT_FALSE(grid.HasCheckBox(0, 1));
  EXPECT_EQ(grid.Cells(0, 1), "Y");
  grid.RemoveCheckBox(4, 2);  // none there: nothing happens
  grid.ToggleCheck(4, 2);
  EXPECT_EQ(grid.Cells(4, 2), "");
}

TEST(ResultGridModelTest, AddCheckBoxOutsideTheGridRaisesInvalidCell) {
  ResultGridModel grid(5, 2);
  for (auto [col, row] : {std::pair{5, 1}, {0, 2}, {-1, 1}, {0, -1}}) {
    try {
      grid.AddCheckBox(col, row, true, true);
      ADD_FAILURE() << col << "," << row;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Invalid cell");
    }
    EXPECT_FALSE(grid.HasCheckBox(col, row));
    EXPECT_EQ(grid.Cells(col, row), "");
  }
}

TEST(ResultGridModelTest, ListenerHearsEveryChangeInPairs) {
  ResultGridModel grid(5, 2);
  RecordingListener listener(grid);
  grid.SetListener(&listener);

  grid.SetCells(1, 1, "red shoes");
  grid.SetCells(1, 1, "red shoes");  // unchanged: no repaint
  grid.SetCells(1, 7, "hidden");     // not visible: stored silently
  EXPECT_EQ(listener.Take(), (Log{"cell 1,1"}));

  grid.AddRow();
  grid.SetRowCount(6);
  grid.SetRowCount(2);
  grid.SetRowCount(2);
  EXPECT_EQ(listener.Take(), (Log{"insert 2,2", "inserted 3", "insert 3,5", "inserted 6",
                                  "remove 2,5", "removed 2"}));

  grid.AddCheckBox(0, 1, true, false);
  grid.ToggleCheck(0, 1);
  grid.RemoveCheckBox(0, 1);
  grid.RemoveCheckBox(0, 1);
  EXPECT_EQ(listener.Take(), (Log{"cell 0,1", "cell 0,1", "cell 0,1"}));

  grid.SetColWidths(1, 229);
  grid.SetColWidths(1, 229);
  grid.SetColCount(6);
  grid.SetColCount(6);
  EXPECT_EQ(listener.Take(), (Log{"width 1", "reset", "reset done"}));
  EXPECT_EQ(grid.ColWidths(1), 229);
  EXPECT_EQ(grid.ColWidths(5), ResultGridModel::kDefaultColWidth);

  grid.AddRow();
  grid.RemoveRows(1, 1);
  EXPECT_EQ(listener.Take(),
            (Log{"insert 2,2", "inserted 3", "suspend", "remove 1,1", "removed 2", "resume"}));
  grid.SetRowCount(1);
  listener.Take();
  grid.RemoveRows(0, 1);  // the only row: the grid keeps one, so this is a reset
  EXPECT_EQ(listener.Take(), (Log{"suspend", "reset", "reset done", "resume"}));

  // Sort, tick all and Clear Checked are told as what they are.
  grid.SetRowCount(5);
  for (int row = 1; row < 5; ++row) {
    grid.SetCells(1, row, std::string(1, static_cast<char>('e' - row)));
    grid.AddCheckBox(0, row, row % 2 == 0, false);
  }
  listener.Take();
  grid.SortRows(1, true);  // d c b a -> a b c d
  EXPECT_EQ(listener.Take(), (Log{"suspend", "reorder", "reordered 0 4 3 2 1", "resume"}));
  grid.ToggleAllChecks(0);
  EXPECT_EQ(listener.Take(), (Log{"column 0 2,4"}));
  grid.ToggleCheck(0, 2);
  grid.ToggleCheck(0, 4);
  listener.Take();
  grid.RemoveCheckedRows(0);  // b and d stay, a and c go as one block
  EXPECT_EQ(listener.Take(), (Log{"suspend", "reorder", "reordered 0 3 1 4 2", "remove 3,4",
                                  "removed 3", "resume"}));
  EXPECT_EQ(grid.Cells(1, 1) + grid.Cells(1, 2), "bd");

  grid.SetListener(nullptr);
  grid.SetCells(0, 0, "x");
  EXPECT_TRUE(listener.Take().empty());
}

TEST(ResultGridModelTest, NestedUpdatesSuspendOnceAndResumeOnce) {
  ResultGridModel grid(5, 2);
  RecordingListener listener(grid);
  grid.SetListener(&listener);
  grid.BeginUpdate();
  grid.BeginUpdate();
  grid.EndUpdate();
  EXPECT_EQ(grid.UpdateCount(), 1);
  EXPECT_EQ(listener.Take(), (Log{"suspend"}));
  grid.RemoveRows(1, 1);  // its own Begin/End nests inside: no resume yet
  EXPECT_EQ(listener.Take(), (Log{"remove 1,1", "removed 1"}));
  grid.EndUpdate();
  EXPECT_EQ(listener.Take(), (Log{"resume"}));
  grid.EndUpdate();  // already at 0: nothing
  EXPECT_EQ(grid.UpdateCount(), 0);
  EXPECT_TRUE(listener.Take().empty());
}

}  // namespace
}  // namespace kelvaro
