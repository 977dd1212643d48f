#include "grid/GridXlsx.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <tuple>

#include "base/AtomicFile.h"
#include "base/CodePage.h"
#include "base/Error.h"
#include "base/NativePath.h"
#include "grid/CellMarkup.h"
#include "grid/ResultGridModel.h"
#include "web/CustomSearch.h"
#include "web/SearchService.h"

namespace kelvaro {
namespace {

// What a worksheet holds.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr size_t kMaxTextUnits = 32767;  // UTF-16 code units per cell
constexpr size_t kMaxUrlLength = 2079;
constexpr size_t kMaxLiteralLength = 255;
constexpr size_t kMaxFormulaLength = 8192;
// Column widths in characters of the sheet's font.
constexpr double kMinWidth = 4;
constexpr double kMaxWidth = 80;

[[noreturn]] void Fail(const std::string& file_name, const std::string& reason) {
  throw Error("Cannot create file \"" + FullPath(file_name) + "\". " + reason);
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Valid UTF-8 that XML can carry: a byte that starts no character becomes U+FFFD, a control
// character other than tab and line feed is dropped, CR LF and a lone CR become a line feed,
// and the text ends before its 32,768th UTF-16 unit. `units` receives the length of the
// longest line in characters.
std::string SheetText(const std::string& bytes, size_t* longest_line) {
  std::string out;
  out.reserve(bytes.size());
  size_t units = 0;
  size_t line = 0;
  size_t longest = 0;
  const size_t n = bytes.size();
  for (size_t i = 0; i < n && units < kMaxTextUnits;) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      ++i;
      if (c == '\r' || c == '\n') {
        if (c == '\r' && i < n && bytes[i] == '\n') ++i;
        out += '\n';
        ++units;
        longest = std::max(longest, line);
        line = 0;
      } else if (c >= 0x20 || c == '\t') {
        out += static_cast<char>(c);
        ++units;
        ++line;
      }
      continue;
    }
    // The length a lead byte announces, and the least code point of that length.
    size_t length = 0;
    uint32_t least = 0;
    uint32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2, least = 0x80, code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3, least = 0x800, code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, least = 0x10000, code = c & 0x07;
    }
    bool valid = length > 0 && i + length <= n;
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    valid = valid && code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF) &&
            code != 0xFFFE && code != 0xFFFF;
    const size_t need = valid && code >= 0x10000 ? 2 : 1;
    if (units + need > kMaxTextUnits) break;
    if (valid) {
      out.append(bytes, i, length);
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
    units += need;
    ++line;
  }
  if (longest_line != nullptr) *longest_line = std::max(longest, line);
  return out;
}

// One cell as it goes into the sheet.
struct SheetCell {
  enum class Kind { kEmpty, kNumber, kText } kind = Kind::kEmpty;
  double number = 0;
  std::string text;  // UTF-8; for a number, its digits as shown
  std::string link;
  bool bold = false;
  size_t width = 0;  // characters
};

// A number read from a shown text, or nothing.
std::optional<double> ShownNumber(const std::string& shown) {
  const size_t begin = shown.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::nullopt;
  const std::string trimmed = shown.substr(begin, shown.find_last_not_of(" \t") - begin + 1);
  int64_t whole = 0;
  std::string fraction;
  if (!ReadShownNumber(trimmed, whole, fraction)) return std::nullopt;
  if (fraction.empty()) return static_cast<double>(whole);
  // A ratio is digits, "." and digits; read without the locale's decimal mark.
  double value = 0;
  const auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
  if (error != std::errc() || end != trimmed.data() + trimmed.size()) return std::nullopt;
  return value;
}

size_t NumberWidth(double value, bool two_decimals) {
  char text[64];
  const int length = two_decimals ? std::snprintf(text, sizeof text, "%.2f", value)
                                  : std::snprintf(text, sizeof text, "%.15g", value);
  return length > 0 ? static_cast<size_t>(length) : 1;
}

SheetCell MakeCell(const ResultGridModel& grid, int col, int row, XlsxColumn kind,
                   unsigned code_page) {
  const std::string& raw = grid.Cells(col, row);
  SheetCell cell;
  if (raw.empty()) return cell;
  const bool markup = PassesMarkupTest(raw);
  // Markup shows its character references as the characters they stand for.
  const std::string shown = markup ? HTMLDecode(StripMarkup(raw)) : raw;
  if (markup) {
    const std::string address = FirstLinkAddress(raw);
    if (!address.empty()) cell.link = PublicResultsURL(address);
    // A text made literal starts with an empty "<b></b>" and is not shown bold.
    cell.bold = (StartsWith(raw, "<b>") || StartsWith(raw, "<B>")) &&
                !(StartsWith(raw, "<b></b>") || StartsWith(raw, "<B></B>"));
  } else if ((StartsWith(raw, "http://") || StartsWith(raw, "https://")) && IsLinkText(raw)) {
    cell.link = raw;
  }
  if (cell.link.size() > kMaxUrlLength) cell.link.clear();

  if (kind != XlsxColumn::kText) {
    if (const std::optional<double> number = ShownNumber(shown)) {
      cell.kind = SheetCell::Kind::kNumber;
      cell.number = *number;
      cell.width = NumberWidth(*number, kind == XlsxColumn::kTwoDecimals);
      return cell;
    }
    if (kind != XlsxColumn::kNumberOrText) {
      // A failed or unreadable count: nothing to sort by, nothing to follow.
      cell.link.clear();
      return cell;
    }
  }
  cell.text = SheetText(ToUtf8(shown, code_page), &cell.width);
  if (!cell.text.empty()) cell.kind = SheetCell::Kind::kText;
  if (cell.kind == SheetCell::Kind::kEmpty) cell.link.clear();
  return cell;
}

// A formula's text literal: quotes doubled, cut into pieces of at most 255 characters (a
// literal's limit) joined with "&".
std::string FormulaText(const std::string& text) {
  std::string out = "\"";
  size_t piece = 0;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const bool starts_character = (c & 0xC0) != 0x80;
    const size_t length = ch == '"' ? 2 : 1;
    if (starts_character && piece + length > kMaxLiteralLength) {
      out += "\"&\"";
      piece = 0;
    }
    out += ch == '"' ? "\"\"" : std::string(1, ch);
    if (starts_character) piece += length;
  }
  return out + "\"";
}

// HYPERLINK(link, shown) for a cell with a link, "" when the formula would be too long.
std::string LinkFormula(const SheetCell& cell) {
  std::string shown;
  if (cell.kind == SheetCell::Kind::kNumber) {
    char digits[64];
    const auto result = std::to_chars(digits, digits + sizeof digits, cell.number);
    if (result.ec != std::errc()) return std::string();
    shown.assign(digits, result.ptr);
  } else {
    shown = FormulaText(cell.text);
  }
  std::string formula = "HYPERLINK(" + FormulaText(cell.link) + "," + shown + ")";
  return formula.size() <= kMaxFormulaLength ? formula : std::string();
}

// The workbook being written: one sheet, its formats made as they are first needed.
class Workbook {
 public:
  Workbook(const std::string& temp_name, const std::string& target_name,
           const std::string& sheet_name)
      : target_name_(target_name) {
    std::filesystem::path folder = NativePath(temp_name).parent_path();
    if (folder.empty()) folder = ".";
    // Row data waits in a file beside the target, not in memory and not in a temporary
    // folder that may itself be memory.
    tmpdir_ = NarrowPath(folder);
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpdir_.data();
    options.use_zip64 = LXW_FALSE;
    book_ = workbook_new_opt(temp_name.c_str(), &options);
    if (book_ == nullptr) Fail(target_name_, lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED));
    sheet_ = workbook_add_worksheet(book_, sheet_name.c_str());
    if (sheet_ == nullptr) {
      lxw_workbook_free(book_);
      Fail(target_name_, "Invalid worksheet name.");
    }
  }
  ~Workbook() {
    if (book_ != nullptr) lxw_workbook_free(book_);
  }
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  lxw_worksheet* Sheet() { return sheet_; }

  // The format of a cell: bold, a link's blue underline, two decimals, a background.
  lxw_format* Format(bool bold, bool link, bool two_decimals, std::optional<uint32_t> background) {
    const auto key = std::make_tuple(bold, link, two_decimals, background.value_or(kNone));
    if (!bold && !link && !two_decimals && !background) return nullptr;
    auto found = formats_.find(key);
    if (found != formats_.end()) return found->second;
    lxw_format* format = workbook_add_format(book_);
    if (bold) format_set_bold(format);
    if (link) {
      format_set_font_color(format, LXW_COLOR_BLUE);
      format_set_underline(format, LXW_UNDERLINE_SINGLE);
    }
    if (two_decimals) format_set_num_format(format, "0.00");
    if (background) {
      format_set_pattern(format, LXW_PATTERN_SOLID);
      // 0 is "no colour" to the library; black has a code of its own.
      format_set_bg_color(
          format, *background == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : *background);
    }
    formats_.emplace(key, format);
    return format;
  }

  // Writes a cell. A link is a HYPERLINK formula whose stored result is the cell's number or
  // text: unlike a sheet's link list it costs no memory per link and has no count limit.
  void Write(int row, int col, const SheetCell& cell, lxw_format* format) {
    const auto r = static_cast<lxw_row_t>(row);
    const auto c = static_cast<lxw_col_t>(col);
    const bool number = cell.kind == SheetCell::Kind::kNumber;
    if (cell.kind == SheetCell::Kind::kEmpty) return;
    const std::string formula = cell.link.empty() ? std::string() : LinkFormula(cell);
    if (!formula.empty()) {
      Check(number ? worksheet_write_formula_num(sheet_, r, c, formula.c_str(), format, cell.number)
                   : worksheet_write_formula_str(sheet_, r, c, formula.c_str(), format,
                                                 cell.text.c_str()));
    } else if (number) {
      Check(worksheet_write_number(sheet_, r, c, cell.number, format));
    } else {
      Check(worksheet_write_string(sheet_, r, c, cell.text.c_str(), format));
    }
  }

  void Comment(int row, int col, const std::string& text) {
    Check(worksheet_write_comment(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col),
                                  text.c_str()));
  }

  void Check(lxw_error error) {
    if (error != LXW_NO_ERROR) Fail(target_name_, lxw_strerror(error));
  }

  // Writes the workbook out; the temporary row file goes with it.
  void Close() {
    lxw_workbook* book = book_;
    book_ = nullptr;
    const lxw_error error = workbook_close(book);
    if (error == LXW_NO_ERROR) return;
    // The file exists: what fails now is the writing of its bytes, as a full disk does.
    if (error == LXW_ERROR_CREATING_XLSX_FILE) Fail(target_name_, lxw_strerror(error));
    throw Error("Stream write error");
  }

 private:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  std::string target_name_;
  std::string tmpdir_;
  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  std::map<std::tuple<bool, bool, bool, uint32_t>, lxw_format*> formats_;
};

XlsxColumn ColumnKind(const XlsxSheet& sheet, int col) {
  const auto index = static_cast<size_t>(col);
  return index < sheet.columns.size() ? sheet.columns[index] : XlsxColumn::kText;
}

void WriteSheet(const ResultGridModel& grid, const XlsxSheet& sheet,
                const std::vector<int>& columns, Workbook& book) {
  const unsigned code_page = SystemCodePage();
  std::vector<size_t> widths(columns.size(), 0);
  lxw_format* header_format = book.Format(true, false, false, std::nullopt);
  for (size_t out = 0; out < columns.size(); ++out) {
    size_t width = 0;
    const std::string title =
        SheetText(ToUtf8(StripMarkup(grid.Cells(columns[out], 0)), code_page), &width);
    // Room for the filter's button beside the title.
    widths[out] = width + 3;
    if (!title.empty()) {
      book.Check(worksheet_write_string(book.Sheet(), 0, static_cast<lxw_col_t>(out), title.c_str(),
                                        header_format));
    }
  }
  for (int row = 1; row < grid.RowCount(); ++row) {
    for (size_t out = 0; out < columns.size(); ++out) {
      const int col = columns[out];
      const XlsxColumn kind = ColumnKind(sheet, col);
      const SheetCell cell = MakeCell(grid, col, row, kind, code_page);
      std::optional<uint32_t> background;
      if (cell.kind != SheetCell::Kind::kEmpty && sheet.background) {
        background = sheet.background(col, row);
      }
      const bool two_decimals =
          kind == XlsxColumn::kTwoDecimals && cell.kind == SheetCell::Kind::kNumber;
      lxw_format* format = book.Format(cell.bold, !cell.link.empty(), two_decimals, background);
      book.Write(row, static_cast<int>(out), cell, format);
      widths[out] = std::max(widths[out], cell.width);
      const std::string& hint = grid.CellHint(col, row);
      if (!hint.empty()) {
        book.Comment(row, static_cast<int>(out), SheetText(ToUtf8(hint, code_page), nullptr));
      }
    }
  }
  for (size_t out = 0; out < columns.size(); ++out) {
    const double width = std::clamp(static_cast<double>(widths[out]) + 1, kMinWidth, kMaxWidth);
    const auto c = static_cast<lxw_col_t>(out);
    book.Check(worksheet_set_column(book.Sheet(), c, c, width, nullptr));
  }
  worksheet_freeze_panes(book.Sheet(), 1, 0);
  if (!columns.empty()) {
    // A sheet of one cell has no range to filter.
    worksheet_autofilter(book.Sheet(), 0, 0, static_cast<lxw_row_t>(grid.RowCount() - 1),
                         static_cast<lxw_col_t>(columns.size() - 1));
  }
}

}  // namespace

void SaveXLSX(const ResultGridModel& grid, const XlsxSheet& sheet, const std::string& file_name) {
  std::vector<int> columns;
  for (int col = 0; col < grid.ColCount(); ++col) {
    if (ColumnKind(sheet, col) != XlsxColumn::kLeftOut) columns.push_back(col);
  }
  if (grid.RowCount() > kMaxRows) {
    Fail(file_name, "A worksheet holds at most 1,048,576 rows.");
  }
  if (static_cast<int>(columns.size()) > kMaxColumns) {
    Fail(file_name, "A worksheet holds at most 16,384 columns.");
  }
  WriteFileAtomicallyWith(file_name, [&](const std::string& temp_name) {
    Workbook book(temp_name, file_name, sheet.name);
    WriteSheet(grid, sheet, columns, book);
    book.Close();
  });
}

}  // namespace kelvaro
