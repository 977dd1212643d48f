// The grid's CSV files as written. A project must read back cell for cell, so every row is
// written as one physical line: a line break inside a field becomes character 11 (readers turn
// it back into CR LF) inside quotes, NUL bytes are left out (readers stop at one), a text
// starting with a space is quoted (readers drop leading spaces of a bare field), and when the
// reader's delimiter detection would not find "," in the first two lines, those are written
// again with every field holding a candidate quoted.

#include <algorithm>
#include <cstring>

#include "base/AtomicFile.h"
#include "grid/CellMarkup.h"
#include "grid/GridCsv.h"
#include "grid/ResultGridModel.h"

namespace kelvaro {
namespace {

constexpr char kWriteDelimiter = ',';

void AppendRow(std::string& out, const ResultGridModel& grid, int row, bool quote_candidates,
               std::string& scratch) {
  for (int col = 0; col < grid.ColCount(); ++col) {
    if (col > 0) out += kWriteDelimiter;
    AppendCSVField(out, SavedCellTextRef(grid, col, row, scratch), quote_candidates);
  }
  out += kCSVLineEnd;
}

}  // namespace

void AppendCSVField(std::string& out, std::string_view text, bool quote_candidates) {
  // memchr per character of interest: a project's texts are mostly long count links, which
  // libc scans many bytes at a time, far faster than a loop over the bytes.
  auto has = [text](char c) {
    return !text.empty() && std::memchr(text.data(), c, text.size()) != nullptr;
  };
  const bool quote = has(kCSVQuote);
  const bool breaks = has('\r') || has('\n');
  const bool nul = has('\0');
  const size_t first = text.find_first_not_of('\0');  // NULs are left out
  const bool leading_space = first != std::string_view::npos && text[first] == ' ';
  const bool enclose =
      quote || breaks || leading_space || has(kWriteDelimiter) ||
      (quote_candidates && text.find_first_of(kCSVDelimiterCandidates) != text.npos);
  if (!enclose && !nul) {
    if (text.empty()) {
      out += "\"\"";
    } else {
      out.append(text);
    }
    return;
  }
  const size_t start = out.size();
  if (enclose) out += kCSVQuote;
  if (!breaks && !nul) {
    // Only quotes to double: copy the runs between them.
    size_t q;
    while ((q = text.find(kCSVQuote)) != std::string_view::npos) {
      out.append(text.substr(0, q + 1));
      out += kCSVQuote;
      text.remove_prefix(q + 1);
    }
    out.append(text);
  } else {
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c == kCSVQuote) {
        out += "\"\"";
      } else if (c == '\r' || c == '\n') {
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out += kCSVLineBreakCode;
      } else if (c != '\0') {  // a NUL is left out
        out += c;
      }
    }
  }
  if (enclose) {
    out += kCSVQuote;
  } else if (out.size() == start) {
    out += "\"\"";  // a text of NUL bytes only is written as the empty text
  }
}

std::string CSVText(const ResultGridModel& grid) {
  const int cols = grid.ColCount();
  const int rows = grid.RowCount();
  size_t estimate = 0;
  for (int row = 0; row < rows; ++row) {
    for (int col = 0; col < cols; ++col) estimate += grid.Cells(col, row).size() + 3;
  }
  std::string out;
  out.reserve(estimate + static_cast<size_t>(rows) * 2 + 64);
  std::string scratch;

  // The first two lines decide the reader's delimiter; see the note at the top.
  const int head_rows = std::min(rows, 2);
  for (int row = 0; row < head_rows; ++row) AppendRow(out, grid, row, false, scratch);
  auto head_delimiter = [&out, head_rows] {
    const std::string_view text(out);
    const size_t first_end = text.find(kCSVLineEnd);
    const std::string_view first = text.substr(0, first_end);
    const std::string_view second =
        head_rows > 1 ? text.substr(first_end + kCSVLineEnd.size(),
                                    text.size() - first_end - 2 * kCSVLineEnd.size())
                      : "";
    return DetectDelimiter(first, second);
  };
  const char wanted = cols > 1 ? kWriteDelimiter : kNoDelimiter;
  if (head_delimiter() != wanted) {
    out.clear();
    for (int row = 0; row < head_rows; ++row) AppendRow(out, grid, row, true, scratch);
  }
  for (int row = head_rows; row < rows; ++row) AppendRow(out, grid, row, false, scratch);
  return out;
}

void ResultGridModel::SaveCSV(const std::string& file_name) const {
  WriteFileAtomically(file_name, CSVText(*this));
}

}  // namespace kelvaro
