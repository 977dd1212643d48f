#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelvaro {

class ResultGridModel;

namespace MainForm {

// Column titles and widths of the main window's grid.
inline constexpr int kKeywordGridColumns = 5;
extern const char* const kKeywordGridTitles[kKeywordGridColumns];
extern const int kKeywordGridWidths[kKeywordGridColumns];

// The two columns monthly searches add after Allinurl, with their titles and widths.
inline constexpr int kVolumeColumn = 5;
inline constexpr int kKgrColumn = 6;
inline constexpr char kVolumeTitle[] = "Volume";
inline constexpr char kKgrTitle[] = "KGR";
inline constexpr int kVolumeWidth = 80;
inline constexpr int kKgrWidth = 60;

// Whether the grid's header names the Volume and KGR columns in their places.
bool HasVolumeColumns(const ResultGridModel& grid);

// With `on`, widens the grid to the Volume and KGR columns (titled, keeping every text);
// without it, takes them away again when they are the grid's last two columns and hold
// nothing below the header.
void ShowVolumeColumns(ResultGridModel& grid, bool on);

// The background of any cell of the keyword grid: the counts' bands (CountCellColor), and
// for the Volume and KGR columns, when the header names them, their own bands.
std::optional<uint32_t> KeywordCellColor(const ResultGridModel& grid, int col, int row);

// The pause between searches, in milliseconds, from the delay edit's text (seconds).
// A text that is not an integer gives 10 s; a negative number gives no pause; seconds
// too many for the millisecond count saturate at its largest value.
int SearchDelayFromText(const std::string& text);

// Deletes every "<" with everything up to and including the next ">" after it. A "<"
// with no ">" after it is deleted with the rest of the text.
std::string StripTags(const std::string& text);

// The digits of a text as a number: characters 32-255 that are not digits are dropped,
// the rest read as a 64-bit integer text; -1 when that fails.
int64_t DigitsToInt64(const std::string& text);

// The background of a count cell as 0xRRGGBB, or nothing for the default colour.
// `raw_text` is the cell's stored text (a count link or the plain count).
std::optional<uint32_t> CountCellColor(int col, int row, const std::string& raw_text);

// Keyword cells of the rows whose check box in column 0 is ticked, top to bottom,
// joined with CR LF (none after the last).
std::string CheckedKeywords(const ResultGridModel& grid);

// Clear All's grid part: header and one data row, empty in every column, without a check
// box.
void ResetKeywordGrid(ResultGridModel& grid);

// Clear Checked: removes the ticked rows in one pass (when `remove` is true), then leaves
// a header and one empty row, or writes the row numbers 1, 2, ... into column 0.
void ClearCheckedRows(ResultGridModel& grid, bool remove);

// Open Project's last step: a check box in column 0 of every data row with a keyword, ticked
// unless the row's column 0 reads "N" (saved unticked).
void AddProjectCheckBoxes(ResultGridModel& grid);

}  // namespace MainForm
}  // namespace kelvaro
