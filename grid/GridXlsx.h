#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelvaro {

class ResultGridModel;

// How one grid column goes into the workbook.
enum class XlsxColumn {
  kLeftOut,       // not written; the columns after it move left (the tick column)
  kText,          // always text, digits included (phrases, titles)
  kNumberOrText,  // a number cell when the shown text is a number, text otherwise
  kNumber,        // a number cell; any other text (a failed count) an empty cell
  kTwoDecimals,   // as kNumber, shown with two decimals (KGR)
};

// One worksheet made from one grid.
struct XlsxSheet {
  std::string name;  // at most 31 characters, none of []:*?/\ .
  // By grid column; a column past the end of the list is kText.
  std::vector<XlsxColumn> columns;
  // A data cell's background as 0xRRGGBB, nothing for none; may be left empty. An empty
  // cell has no background.
  std::function<std::optional<uint32_t>(int col, int row)> background;
};

#ifdef KELVARO_XLSX_EXPORT
// Writes the grid as an Excel workbook of one sheet, row for row. The header row is bold
// and frozen, an autofilter spans the written columns and rows, and each column is as wide
// as its longest shown text (within limits). Texts are the cells' shown texts (markup
// stripped) in UTF-8; a cell whose text starts with "<b>" is bold. A cell linking to a
// query URL links to that query's public results page (PublicResultsURL), so neither key
// nor engine code is written; a cell with another link shows its text only, and a plain
// text starting with "http://" or "https://" links to itself. A link is a HYPERLINK formula
// whose stored result is the cell's number or text (so a count cell still sorts and sums as
// a number), which keeps the memory constant and needs no link list, whose length a sheet
// limits. A cell's hint becomes its comment. Worksheet limits: a text is cut at 32,767
// characters; an address longer than 2,079 characters is not linked.
// Written in libxlsxwriter's constant-memory mode: its row data goes through a temporary
// file in the target's folder, and the workbook through the safe writing, so a failure
// leaves an existing file as it was.
// Throws kelvaro::Error: as WriteFileAtomically, and `Cannot create file "<full path>".
// <reason>` when the grid does not fit a worksheet.
void SaveXLSX(const ResultGridModel& grid, const XlsxSheet& sheet, const std::string& file_name);
#endif

}  // namespace kelvaro
