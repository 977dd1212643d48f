#include "grid/ResultGridModel.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/Error.h"
#include "base/Text.h"
#include "grid/CellMarkup.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}

// As std::string: assigning the short C strings directly trips a false -Wrestrict of GCC 12.
const std::string& StateText(bool checked) {
  static const std::string checked_text = ResultGridModel::kCheckedText;
  static const std::string unchecked_text = ResultGridModel::kUncheckedText;
  return checked ? checked_text : unchecked_text;
}

}  // namespace

ResultGridModel::ResultGridModel(int col_count, int row_count)
    : col_count_(std::max(col_count, 1)),
      row_count_(std::max(row_count, 1)),
      col_widths_(static_cast<size_t>(col_count_), kDefaultColWidth) {}

ResultGridModel::~ResultGridModel() = default;

void ResultGridModel::SetListener(ResultGridListener* listener) { listener_ = listener; }

bool ResultGridModel::IsVisibleCell(int col, int row) const {
  return col >= 0 && row >= 0 && col < col_count_ && row < row_count_;
}

const ResultGridModel::Row* ResultGridModel::StoredRow(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return nullptr;
  return &rows_[static_cast<size_t>(row)];
}

ResultGridModel::Row& ResultGridModel::RowForWrite(int row) {
  if (static_cast<size_t>(row) >= rows_.size()) rows_.resize(static_cast<size_t>(row) + 1);
  return rows_[static_cast<size_t>(row)];
}

std::string& ResultGridModel::CellForWrite(int col, int row) {
  Row& r = RowForWrite(row);
  if (static_cast<size_t>(col) >= r.cells.size()) r.cells.resize(static_cast<size_t>(col) + 1);
  return r.cells[static_cast<size_t>(col)];
}

TCellCheckBox* ResultGridModel::MutableCheckBox(int col, int row) {
  return const_cast<TCellCheckBox*>(CheckBox(col, row));
}

void ResultGridModel::NotifyCell(int col, int row) {
  if (listener_ != nullptr && IsVisibleCell(col, row)) listener_->CellChanged(col, row);
}

// Whatever a hidden row still holds (an earlier run, a longer project, rows moved up by a
// removal) stays out of view: the row comes back empty and unticked.
void ResultGridModel::ShowRows(int first, int last) {
  for (int r = first; r <= last && static_cast<size_t>(r) < rows_.size(); ++r) {
    rows_[static_cast<size_t>(r)] = Row{};
  }
}

int ResultGridModel::ColCount() const { return col_count_; }

void ResultGridModel::SetColCount(int n) {
  n = std::max(n, 1);
  if (n == col_count_) return;
  if (listener_ != nullptr) listener_->BeforeReset();
  col_count_ = n;
  if (col_widths_.size() < static_cast<size_t>(n)) {
    col_widths_.resize(static_cast<size_t>(n), kDefaultColWidth);
  }
  if (listener_ != nullptr) listener_->AfterReset();
}

int ResultGridModel::RowCount() const { return row_count_; }

void ResultGridModel::SetRowCount(int n) {
  n = std::max(n, 1);
  if (n == row_count_) return;
  if (n < row_count_) {
    if (listener_ != nullptr) listener_->BeforeRowsRemoved(n, row_count_ - 1);
    row_count_ = n;
    if (listener_ != nullptr) listener_->AfterRowsRemoved();
  } else {
    if (listener_ != nullptr) listener_->BeforeRowsInserted(row_count_, n - 1);
    ShowRows(row_count_, n - 1);
    row_count_ = n;
    if (listener_ != nullptr) listener_->AfterRowsInserted();
  }
}

const std::string& ResultGridModel::Cells(int col, int row) const {
  const Row* r = StoredRow(row);
  if (r == nullptr || col < 0 || static_cast<size_t>(col) >= r->cells.size()) return EmptyText();
  return r->cells[static_cast<size_t>(col)];
}

void ResultGridModel::SetCells(int col, int row, const std::string& text) {
  if (col < 0 || row < 0) return;
  if (!CellHint(col, row).empty())
    (*rows_[static_cast<size_t>(row)].hints)[static_cast<size_t>(col)].clear();
  std::string& cell = CellForWrite(col, row);
  if (cell == text) return;
  cell = text;
  NotifyCell(col, row);
}

const std::string& ResultGridModel::CellHint(int col, int row) const {
  const Row* r = StoredRow(row);
  if (r == nullptr || col < 0 || !r->hints || static_cast<size_t>(col) >= r->hints->size()) {
    return EmptyText();
  }
  return (*r->hints)[static_cast<size_t>(col)];
}

void ResultGridModel::SetCellHint(int col, int row, const std::string& hint) {
  if (col < 0 || row < 0 || CellHint(col, row) == hint) return;
  Row& r = RowForWrite(row);
  if (!r.hints) r.hints = std::make_unique<std::vector<std::string>>();
  if (static_cast<size_t>(col) >= r.hints->size()) r.hints->resize(static_cast<size_t>(col) + 1);
  (*r.hints)[static_cast<size_t>(col)] = hint;
  NotifyCell(col, row);
}

// No display substitution is configured, so the raw text is the displayed one.
const std::string& ResultGridModel::RawCells(int col, int row) const { return Cells(col, row); }

int ResultGridModel::ColWidths(int col) const {
  if (col < 0) return 0;
  if (static_cast<size_t>(col) >= col_widths_.size()) return kDefaultColWidth;
  return col_widths_[static_cast<size_t>(col)];
}

void ResultGridModel::SetColWidths(int col, int width) {
  if (col < 0 || col >= col_count_) return;
  width = std::max(width, 0);
  int& stored = col_widths_[static_cast<size_t>(col)];
  if (stored == width) return;
  stored = width;
  if (listener_ != nullptr) listener_->ColumnWidthChanged(col);
}

int ResultGridModel::RowHeights(int row) const {
  const Row* r = StoredRow(row);
  return r == nullptr ? kDefaultRowHeight : r->height;
}

void ResultGridModel::AddRow() {
  const int row = row_count_;
  if (listener_ != nullptr) listener_->BeforeRowsInserted(row, row);
  ShowRows(row, row);
  ++row_count_;
  if (listener_ != nullptr) listener_->AfterRowsInserted();
}

void ResultGridModel::RemoveRows(int start, int count) {
  if (start < 0 || start >= row_count_ || count <= 0) return;
  // Only visible rows are removed; a count reaching past the last row stops there.
  count = std::min(count, row_count_ - start);
  BeginUpdate();
  // Taking every row leaves the one row a grid always has: the listener cannot express
  // that as a removal, so it hears a reset.
  const bool whole_grid = count == row_count_;
  if (listener_ != nullptr) {
    if (whole_grid) {
      listener_->BeforeReset();
    } else {
      listener_->BeforeRowsRemoved(start, start + count - 1);
    }
  }
  if (static_cast<size_t>(start) < rows_.size()) {
    const auto first = rows_.begin() + start;
    const size_t end = std::min(rows_.size(), static_cast<size_t>(start + count));
    const auto last = rows_.begin() + static_cast<std::ptrdiff_t>(end);
    rows_.erase(first, last);  // later rows move up with texts, boxes and heights
  }
  row_count_ = std::max(row_count_ - count, 1);
  if (listener_ != nullptr) {
    if (whole_grid) {
      listener_->AfterReset();
    } else {
      listener_->AfterRowsRemoved();
    }
  }
  EndUpdate();
}

void ResultGridModel::ReorderRows(const std::vector<size_t>& order) {
  if (rows_.size() < static_cast<size_t>(row_count_)) rows_.resize(static_cast<size_t>(row_count_));
  std::vector<int> new_row(static_cast<size_t>(row_count_));
  for (size_t k = 0; k < order.size(); ++k) new_row[order[k]] = static_cast<int>(k) + 1;
  if (listener_ != nullptr) listener_->BeforeRowsReordered();
  std::vector<Row> moved;
  moved.reserve(order.size());
  for (const size_t r : order) moved.push_back(std::move(rows_[r]));
  std::move(moved.begin(), moved.end(), rows_.begin() + 1);
  if (listener_ != nullptr) listener_->AfterRowsReordered(new_row);
}

int ResultGridModel::RemoveCheckedRows(int col) {
  std::vector<size_t> order;  // the kept rows first, then the ticked ones
  order.reserve(static_cast<size_t>(row_count_));
  for (int r = 1; r < row_count_; ++r) {
    if (!IsChecked(col, r)) order.push_back(static_cast<size_t>(r));
  }
  const size_t kept = order.size();
  const int removed = row_count_ - 1 - static_cast<int>(kept);
  if (removed == 0) return 0;
  for (int r = 1; r < row_count_; ++r) {
    if (IsChecked(col, r)) order.push_back(static_cast<size_t>(r));
  }
  BeginUpdate();
  // One pass whatever the pattern of ticks: the ticked rows move behind the kept ones and
  // go as one block (a view would take one removal per gap between ticked rows slowly).
  ReorderRows(order);
  const int first_gone = static_cast<int>(kept) + 1;
  if (listener_ != nullptr) listener_->BeforeRowsRemoved(first_gone, row_count_ - 1);
  // Hidden rows beyond the visible ones move up behind the kept rows.
  const auto first = rows_.begin() + first_gone;
  rows_.erase(first, first + removed);
  row_count_ -= removed;
  if (listener_ != nullptr) listener_->AfterRowsRemoved();
  EndUpdate();
  return removed;
}

bool ReadShownNumber(std::string_view text, int64_t& value, std::string& fraction) {
  const size_t dot = text.find('.');
  if (dot != std::string_view::npos) {
    const std::string_view after = text.substr(dot + 1);
    if (after.empty() || after.find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
    text = text.substr(0, dot);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
    fraction = std::string(after.substr(0, after.find_last_not_of('0') + 1));
  }
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  const auto separator = [](char ch) { return ch == ',' || ch == ' '; };
  if (!ReadCountDigits(text, separator, INT64_MAX, value)) return false;
  if (negative) value = -value;
  return true;
}

namespace {

// How a cell takes part in sorting: empty, a number or a lower-case text.
struct SortKey {
  enum class Kind { kNumber, kText, kEmpty } kind = Kind::kEmpty;
  int64_t number = 0;
  std::string fraction;  // a ratio's digits after its ".", without trailing zeros
  std::string text;
};

SortKey MakeSortKey(const std::string& cell, bool as_text) {
  std::string shown = PassesMarkupTest(cell) ? StripMarkup(cell) : cell;
  const size_t begin = shown.find_first_not_of(" \t");
  SortKey key;
  if (begin == std::string::npos) return key;
  shown = shown.substr(begin, shown.find_last_not_of(" \t") - begin + 1);
  if (!as_text && ReadShownNumber(shown, key.number, key.fraction)) {
    key.kind = SortKey::Kind::kNumber;
    return key;
  }
  key.kind = SortKey::Kind::kText;
  key.text = LowerAscii(shown);
  return key;
}

bool KeyLess(const SortKey& a, const SortKey& b) {
  if (a.kind != b.kind) return a.kind < b.kind;
  if (a.kind == SortKey::Kind::kNumber) {
    // Fractions without trailing zeros compare as their digits do.
    return a.number != b.number ? a.number < b.number : a.fraction < b.fraction;
  }
  return a.text < b.text;
}

}  // namespace

void ResultGridModel::SortRows(int col, bool ascending, bool as_text) {
  const int data_rows = row_count_ - 1;
  if (col < 0 || col >= col_count_ || data_rows < 2) return;
  std::vector<SortKey> keys(static_cast<size_t>(row_count_));
  std::vector<size_t> order(static_cast<size_t>(data_rows));
  for (size_t k = 0; k < order.size(); ++k) {
    order[k] = k + 1;
    keys[k + 1] = MakeSortKey(Cells(col, static_cast<int>(k) + 1), as_text);
  }
  std::stable_sort(order.begin(), order.end(), [&keys, ascending](size_t a, size_t b) {
    const SortKey& ka = keys[a];
    const SortKey& kb = keys[b];
    const bool a_empty = ka.kind == SortKey::Kind::kEmpty;
    const bool b_empty = kb.kind == SortKey::Kind::kEmpty;
    if (a_empty || b_empty) return !a_empty && b_empty;  // empty cells last either way
    return ascending ? KeyLess(ka, kb) : KeyLess(kb, ka);
  });
  BeginUpdate();
  ReorderRows(order);
  EndUpdate();
}

void ResultGridModel::AddCheckBox(int col, int row, bool checked, bool state_in_text) {
  if (!IsVisibleCell(col, row)) throw Error("Invalid cell");
  Row& r = RowForWrite(row);
  const TCellCheckBox box{checked, state_in_text};
  auto it = std::find_if(r.boxes.begin(), r.boxes.end(),
                         [col](const CheckBoxEntry& e) { return e.col == col; });
  if (it != r.boxes.end()) {
    it->box = box;
  } else {
    r.boxes.push_back(CheckBoxEntry{col, box});
  }
  if (state_in_text) {
    const std::string& text = Cells(col, row);
    if (text != kCheckedText && text != kUncheckedText) {
      CellForWrite(col, row) = StateText(checked);
    }
  }
  NotifyCell(col, row);
}

void ResultGridModel::RemoveCheckBox(int col, int row) {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  auto& boxes = rows_[static_cast<size_t>(row)].boxes;
  auto it = std::find_if(boxes.begin(), boxes.end(),
                         [col](const CheckBoxEntry& e) { return e.col == col; });
  if (it == boxes.end()) return;
  boxes.erase(it);
  NotifyCell(col, row);
}

bool ResultGridModel::HasCheckBox(int col, int row) const { return CheckBox(col, row) != nullptr; }

const TCellCheckBox* ResultGridModel::CheckBox(int col, int row) const {
  const Row* r = StoredRow(row);
  if (r == nullptr) return nullptr;
  for (const CheckBoxEntry& e : r->boxes) {
    if (e.col == col) return &e.box;
  }
  return nullptr;
}

bool ResultGridModel::IsChecked(int col, int row) const {
  const TCellCheckBox* box = CheckBox(col, row);
  if (box == nullptr) return false;
  return box->StateInText ? Cells(col, row) == kCheckedText : box->Checked;
}

void ResultGridModel::ToggleCheck(int col, int row) {
  if (HasCheckBox(col, row)) SetChecked(col, row, !IsChecked(col, row), true);
}

bool ResultGridModel::SetChecked(int col, int row, bool checked, bool notify) {
  TCellCheckBox* box = MutableCheckBox(col, row);
  if (box == nullptr || IsChecked(col, row) == checked) return false;
  box->Checked = checked;
  std::string& text = CellForWrite(col, row);
  if (box->StateInText || text == kCheckedText || text == kUncheckedText) {
    text = StateText(checked);
  }
  if (notify) NotifyCell(col, row);
  return true;
}

void ResultGridModel::ToggleAllChecks(int col) {
  bool all_ticked = true;
  bool any_box = false;
  for (int row = 1; row < row_count_; ++row) {
    if (!HasCheckBox(col, row)) continue;
    any_box = true;
    if (!IsChecked(col, row)) {
      all_ticked = false;
      break;
    }
  }
  if (!any_box) return;
  int first = row_count_;
  int last = 0;
  for (int row = 1; row < row_count_; ++row) {
    if (SetChecked(col, row, !all_ticked, false)) {
      first = std::min(first, row);
      last = row;
    }
  }
  if (listener_ != nullptr && first <= last && col < col_count_) {
    listener_->ColumnCellsChanged(col, first, last);
  }
}

void ResultGridModel::BeginUpdate() {
  if (++update_count_ == 1 && listener_ != nullptr) listener_->UpdatesSuspended(true);
}

void ResultGridModel::EndUpdate() {
  if (update_count_ == 0) return;
  if (--update_count_ == 0 && listener_ != nullptr) listener_->UpdatesSuspended(false);
}

int ResultGridModel::UpdateCount() const { return update_count_; }

bool ResultGridModel::SaveWithHTML() const { return save_with_html_; }
void ResultGridModel::SetSaveWithHTML(bool on) { save_with_html_ = on; }
bool ResultGridModel::AutoSizeGrowOnly() const { return auto_size_grow_only_; }
void ResultGridModel::SetAutoSizeGrowOnly(bool on) { auto_size_grow_only_ = on; }

CellVisuals ResultGridModel::DefaultCellVisuals(int /*col*/, int row) {
  CellVisuals look;
  look.background = row == 0 ? 0xF0F0F0 : 0xFFFFFF;
  look.text_color = 0x000000;
  look.font_name = "Tahoma";
  look.font_size_pt = 8;
  return look;
}

}  // namespace kelvaro
