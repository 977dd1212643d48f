#include "main/KeywordGrid.h"

#include <limits>

#include "grid/ResultGridModel.h"
#include "main/GoldenRatio.h"
#include "web/uHelper.h"

namespace kelvaro::MainForm {

const char* const kKeywordGridTitles[kKeywordGridColumns] = {"", "Keyword", "Quotes", "Allintitle",
                                                       "Allinurl"};
const int kKeywordGridWidths[kKeywordGridColumns] = {20, 229, 100, 100, 100};

int SearchDelayFromText(const std::string& text) {
  int32_t seconds = 0;
  if (!TryStrToInt(text, seconds)) return 10 * 1000;
  if (seconds <= 0) return 0;
  const int64_t ms = static_cast<int64_t>(seconds) * 1000;
  return ms > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                              : static_cast<int>(ms);
}

std::string StripTags(const std::string& text) {
  std::string out = text;
  for (;;) {
    const size_t open = out.find('<');
    if (open == std::string::npos) return out;
    const size_t close = out.find('>', open);
    if (close == std::string::npos) {
      out.erase(open);
      return out;
    }
    out.erase(open, close - open + 1);
  }
}

int64_t DigitsToInt64(const std::string& text) {
  // Every character from 32 to 255 that is no digit is passed over; a control character
  // makes the text no number.
  const auto printable = [](char ch) { return static_cast<unsigned char>(ch) >= 32; };
  int64_t value = -1;
  return ReadCountDigits(text, printable, INT64_MAX, value) ? value : -1;
}

std::optional<uint32_t> CountCellColor(int col, int row, const std::string& raw_text) {
  if (row <= 0 || col < 2 || col > 4) return std::nullopt;
  if (Trim(raw_text).empty()) return std::nullopt;
  const int64_t value = DigitsToInt64(StripTags(raw_text));
  const int64_t green_below = col == 2 ? 200000 : 10000;
  const int64_t yellow_below = col == 2 ? 600000 : 50000;
  if (value < green_below) return 0x00FF00;
  if (value < yellow_below) return 0xFFFF00;
  return 0xFF3C3C;
}

std::string CheckedKeywords(const ResultGridModel& grid) {
  std::string text;
  bool first = true;
  for (int row = 1; row < grid.RowCount(); ++row) {
    if (!grid.IsChecked(0, row)) continue;
    if (!first) text += "\r\n";
    text += grid.Cells(1, row);
    first = false;
  }
  return text;
}

void ResetKeywordGrid(ResultGridModel& grid) {
  grid.SetRowCount(2);
  // Every column: an opened project wider than the five columns widened the grid.
  for (int col = 0; col < grid.ColCount(); ++col) grid.SetCells(col, 1, "");
  grid.RemoveCheckBox(0, 1);
}

void ClearCheckedRows(ResultGridModel& grid, bool remove) {
  if (remove) grid.RemoveCheckedRows(0);
  if (grid.RowCount() <= 1) {
    grid.SetRowCount(2);
    return;
  }
  for (int row = 1; row < grid.RowCount(); ++row) grid.SetCells(0, row, std::to_string(row));
}

void AddProjectCheckBoxes(ResultGridModel& grid) {
  for (int row = 1; row < grid.RowCount(); ++row) {
    // A row saved unticked reads "N" and comes back unticked; "Y", a row number or nothing
    // comes back ticked.
    if (grid.Cells(1, row).empty()) continue;
    grid.AddCheckBox(0, row, grid.Cells(0, row) != ResultGridModel::kUncheckedText, false);
  }
}

bool HasVolumeColumns(const ResultGridModel& grid) {
  return grid.ColCount() > kKgrColumn && grid.Cells(kVolumeColumn, 0) == kVolumeTitle &&
         grid.Cells(kKgrColumn, 0) == kKgrTitle;
}

void ShowVolumeColumns(ResultGridModel& grid, bool on) {
  if (on) {
    if (HasVolumeColumns(grid)) return;
    if (grid.ColCount() < kKgrColumn + 1) grid.SetColCount(kKgrColumn + 1);
    grid.SetCells(kVolumeColumn, 0, kVolumeTitle);
    grid.SetCells(kKgrColumn, 0, kKgrTitle);
    grid.SetColWidths(kVolumeColumn, kVolumeWidth);
    grid.SetColWidths(kKgrColumn, kKgrWidth);
    return;
  }
  if (!HasVolumeColumns(grid) || grid.ColCount() != kKgrColumn + 1) return;
  for (int row = 1; row < grid.RowCount(); ++row) {
    if (!grid.Cells(kVolumeColumn, row).empty() || !grid.Cells(kKgrColumn, row).empty()) return;
  }
  grid.SetCells(kVolumeColumn, 0, "");
  grid.SetCells(kKgrColumn, 0, "");
  grid.SetColCount(kKeywordGridColumns);
}

std::optional<uint32_t> KeywordCellColor(const ResultGridModel& grid, int col, int row) {
  if (row > 0 && (col == kVolumeColumn || col == kKgrColumn) && HasVolumeColumns(grid)) {
    const std::string text = StripTags(grid.RawCells(col, row));
    return col == kVolumeColumn ? VolumeColor(text) : KgrColor(text);
  }
  return CountCellColor(col, row, grid.RawCells(col, row));
}

}  // namespace kelvaro::MainForm
