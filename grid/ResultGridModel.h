#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "grid/CellVisuals.h"

namespace kelvaro {

// A check box in one cell. With StateInText the cell text decides the state: checked
// exactly when it equals CheckedText ("Y").
struct TCellCheckBox {
  bool Checked = false;
  bool StateInText = false;
};

// The number a cell shows, as sorting reads it from the shown text (markup stripped, spaces
// and tabs trimmed by the caller): a
// whole number, "-" before it allowed, commas or spaces between and after its digits; or a
// ratio such as "0.18" (digits, ".", digits), whose digits after the "." go to `fraction`
// without trailing zeros. False for any other text.
bool ReadShownNumber(std::string_view text, int64_t& value, std::string& fraction);

// Told what changed in a ResultGridModel. The "Before" calls come before the model
// changes, the "After" calls once it has; rows are grid rows (row 0 is the header).
class ResultGridListener {
 public:
  virtual ~ResultGridListener() = default;
  virtual void CellChanged(int /*col*/, int /*row*/) {}
  virtual void BeforeRowsInserted(int /*first*/, int /*last*/) {}
  virtual void AfterRowsInserted() {}
  virtual void BeforeRowsRemoved(int /*first*/, int /*last*/) {}
  virtual void AfterRowsRemoved() {}
  // The data rows take a new order and nothing else changes: once the model has changed,
  // the row that was grid row r is grid row new_row[r] (new_row[0] is 0, the header).
  virtual void BeforeRowsReordered() {}
  virtual void AfterRowsReordered(const std::vector<int>& /*new_row*/) {}
  // Cells first..last of one column changed at once (tick all).
  virtual void ColumnCellsChanged(int col, int first, int last) {
    for (int row = first; row <= last; ++row) CellChanged(col, row);
  }
  // Anything may change: column count, many rows, every cell.
  virtual void BeforeReset() {}
  virtual void AfterReset() {}
  virtual void ColumnWidthChanged(int /*col*/) {}
  // true when the update depth goes from 0 to 1, false when it returns to 0.
  virtual void UpdatesSuspended(bool /*suspended*/) {}
};

// The cell store of the results grid: columns and rows 0-based, row 0 the fixed header
// row. Rows at and beyond RowCount are hidden: Cells still reads what they held, but a row
// that comes back into view (a raised RowCount, AddRow, a longer file) comes back empty,
// without a check box and at the default height, so an earlier run's rows never reappear.
// Columns at and beyond ColCount keep their texts.
//
// The listener hears about visible cells only: SetCells and the check-box calls report
// CellChanged for a cell inside ColCount x RowCount; a write to a hidden cell is stored
// silently. SetRowCount and AddRow report insertions, SetRowCount and RemoveRows removals
// (RemoveRows inside its own BeginUpdate/EndUpdate); SortRows reports a reordering,
// RemoveCheckedRows a reordering (the ticked rows to the end) and one removal of them,
// ToggleAllChecks one change of the column's cells; SetColCount and LoadCSV report a reset.
class ResultGridModel {
 public:
  static constexpr const char* kCheckedText = "Y";
  static constexpr const char* kUncheckedText = "N";
  static constexpr int kDefaultRowHeight = 18;
  static constexpr int kDefaultColWidth = 64;

  // Counts below 1 are taken as 1.
  ResultGridModel(int col_count, int row_count);  // row 0 is the header row
  ~ResultGridModel();
  ResultGridModel(const ResultGridModel&) = delete;
  ResultGridModel& operator=(const ResultGridModel&) = delete;

  // The one listener (the widget); nullptr to detach. Not owned.
  void SetListener(ResultGridListener* listener);

  int ColCount() const;
  void SetColCount(int n);
  int RowCount() const;
  void SetRowCount(int n);
  const std::string& Cells(int col, int row) const;
  void SetCells(int col, int row, const std::string& text);
  const std::string& RawCells(int col, int row) const;
  // A cell's own hint (its tooltip), "" for none. It moves with its row, is never saved, and
  // goes when the cell is given a text (SetCells), the same text included.
  const std::string& CellHint(int col, int row) const;
  void SetCellHint(int col, int row, const std::string& hint);
  int ColWidths(int col) const;
  void SetColWidths(int col, int width);
  int RowHeights(int row) const;

  void AddRow();
  void RemoveRows(int start, int count);
  // Removes every data row whose check box in `col` is ticked, in one pass over the rows;
  // later rows move up with their texts, boxes and heights. Returns the number removed.
  int RemoveCheckedRows(int col);
  // Orders the data rows by the cells of `col`, stably (equal keys keep their order); the
  // header row stays on top and whole rows move, boxes and links included. A cell whose
  // shown text (markup stripped) is a whole number, thousands separated by commas or spaces
  // allowed, sorts by that number; other texts sort case-insensitively after the numbers;
  // empty cells go last in both directions. With `as_text` every text sorts as text, digits
  // included (a column of phrases: "7 11" is a phrase, not a number).
  void SortRows(int col, bool ascending, bool as_text = false);

  void AddCheckBox(int col, int row, bool checked, bool state_in_text);  // throws kelvaro::Error
  void RemoveCheckBox(int col, int row);
  bool HasCheckBox(int col, int row) const;
  // nullptr when the cell has none.
  const TCellCheckBox* CheckBox(int col, int row) const;
  bool IsChecked(int col, int row) const;
  // A box whose cell text is "Y" or "N" (a project read back) takes the text along: the
  // text is what a save writes, so it follows what the box shows.
  void ToggleCheck(int col, int row);
  // Ticks the box in `col` of every data row that has one, or unticks them all when every
  // one is already ticked.
  void ToggleAllChecks(int col);

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const;

  bool SaveWithHTML() const;
  void SetSaveWithHTML(bool on);
  bool AutoSizeGrowOnly() const;
  void SetAutoSizeGrowOnly(bool on);

  // The project/export file (grid/GridCsvWriter.cpp and GridCsvReader.cpp hold these two and
  // the format). Writing replaces the file only once the whole text is written; a failed write
  // leaves it as it was.
  void SaveCSV(const std::string& file_name) const;  // throws kelvaro::Error
  // max_rows <= 0 takes every line; each row read holds only what its line gives (no earlier
  // text, box or height). A zero-length file changes nothing.
  void LoadCSV(const std::string& file_name, int max_rows);  // throws kelvaro::Error
  // Writes the HTML document; `look` gives each cell's look as painting computes it. The
  // header row's background in the document is whatever `look` gives for row 0: a caller
  // hands over its header colour (FixedColor) there, not the gradient painting uses.
  // grid/GridHtml.cpp holds it and the document's layout.
  void SaveHTML(const std::string& file_name, const CellVisualsFunction& look) const;  // throws

  // A look for callers without a widget (tests, tools): Tahoma 8 pt, text 000000, header row
  // on button face F0F0F0, data rows on window white FFFFFF, left and top aligned, no wrap.
  static CellVisuals DefaultCellVisuals(int col, int row);

 private:
  struct CheckBoxEntry {
    int col;
    TCellCheckBox box;
  };
  struct Row {
    std::vector<std::string> cells;    // may be shorter than the column count
    std::vector<CheckBoxEntry> boxes;  // usually none or one
    // By column. Most rows have none, and a large project's rows then cost a pointer each.
    std::unique_ptr<std::vector<std::string>> hints;
    int height = kDefaultRowHeight;

    Row() = default;
    Row(Row&&) = default;
    Row& operator=(Row&&) = default;
    Row(const Row& other)
        : cells(other.cells),
          boxes(other.boxes),
          hints(other.hints ? std::make_unique<std::vector<std::string>>(*other.hints) : nullptr),
          height(other.height) {}
    Row& operator=(const Row& other) {
      if (this != &other) *this = Row(other);
      return *this;
    }
  };

  bool IsVisibleCell(int col, int row) const;
  const Row* StoredRow(int row) const;
  Row& RowForWrite(int row);
  std::string& CellForWrite(int col, int row);
  TCellCheckBox* MutableCheckBox(int col, int row);
  void NotifyCell(int col, int row);
  // Empties the stored rows first..last as they come into view.
  void ShowRows(int first, int last);
  // Returns whether the box changed; notifies the cell when `notify`.
  bool SetChecked(int col, int row, bool checked, bool notify);
  // Moves the data rows into `order` (old grid rows, header excluded), telling the
  // listener.
  void ReorderRows(const std::vector<size_t>& order);

  int col_count_;
  int row_count_;
  std::vector<Row> rows_;  // the store; indices past its end read as empty rows
  std::vector<int> col_widths_;
  ResultGridListener* listener_ = nullptr;
  int update_count_ = 0;
  bool save_with_html_ = true;
  bool auto_size_grow_only_ = false;
};

}  // namespace kelvaro
