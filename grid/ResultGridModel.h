#pragma once

#include <memory>
#include <string>
#include <vector>

#include "grid/CellLook.h"

namespace kelvaro {

// A check box in one cell. With StateInText the cell text decides the state: checked
// exactly when it equals CheckedText ("Y").
struct TCellCheckBox {
  bool Checked = false;
  bool StateInText = false;
};

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
  // Anything may change: column count, many rows, every cell.
  virtual void BeforeReset() {}
  virtual void AfterReset() {}
  virtual void ColumnWidthChanged(int /*col*/) {}
  // true when the update depth goes from 0 to 1, false when it returns to 0.
  virtual void UpdatesSuspended(bool /*suspended*/) {}
};

// The cell store of the results grid: columns and rows 0-based, row 0 the fixed header
// row. Rows at and beyond RowCount are hidden, not erased.
class ResultGridModel {
 public:
  static constexpr const char* kCheckedText = "Y";
  static constexpr const char* kUncheckedText = "N";
  static constexpr int kDefaultRowHeight = 18;

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
  int ColWidths(int col) const;
  void SetColWidths(int col, int width);
  int RowHeights(int row) const;

  void AddRow();
  void RemoveRows(int start, int count);

  void AddCheckBox(int col, int row, bool checked, bool state_in_text);  // throws kelvaro::Error
  void RemoveCheckBox(int col, int row);
  bool HasCheckBox(int col, int row) const;
  // nullptr when the cell has none.
  const TCellCheckBox* CheckBox(int col, int row) const;
  bool IsChecked(int col, int row) const;
  void ToggleCheck(int col, int row);

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const;

  bool SaveWithHTML() const;
  void SetSaveWithHTML(bool on);
  bool AutoSizeGrowOnly() const;
  void SetAutoSizeGrowOnly(bool on);

  void SaveCSV(const std::string& file_name) const;         // throws kelvaro::Error
  void LoadCSV(const std::string& file_name, int max_rows);  // throws kelvaro::Error
  // Writes the HTML document; `look` gives each cell's look as painting computes it.
  void SaveHTML(const std::string& file_name, const CellLookFunction& look) const;  // throws

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kelvaro
