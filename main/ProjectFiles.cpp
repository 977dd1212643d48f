#include "main/ProjectFiles.h"

#include <string_view>

#include "base/AtomicFile.h"
#include "base/Text.h"
#include "grid/GridCsv.h"
#include "grid/GridHtml.h"
#include "grid/ResultGridModel.h"
#include "main/KeywordGrid.h"
#include "web/SearchService.h"

namespace kelvaro::MainForm {
namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  size_t pos = 0;
  for (;;) {
    const size_t hit = text.find(from, pos);
    if (hit == std::string::npos) break;
    out.append(text, pos, hit - pos);
    out += to;
    pos = hit + from.size();
  }
  out.append(text, pos, std::string::npos);
  text.swap(out);
}

bool IsLineBreak(char ch) { return ch == '\r' || ch == '\n'; }

// Length of the line break at `pos` (CR LF counts as one break).
size_t BreakLength(const std::string& text, size_t pos) {
  return text.compare(pos, 2, "\r\n") == 0 ? 2 : 1;
}

constexpr std::string_view kHref = "<a href=\"";
constexpr std::string_view kHrefEnd = "\">";

}  // namespace

void DropLinkKeys(ResultGridModel& grid) {
  grid.BeginUpdate();
  for (int row = 0; row < grid.RowCount(); ++row) {
    for (int col = 0; col < grid.ColCount(); ++col) {
      const std::string& text = grid.Cells(col, row);
      if (text.find(kHref) == std::string::npos) continue;
      std::string kept;
      size_t pos = 0;
      for (size_t hit = text.find(kHref); hit != std::string::npos; hit = text.find(kHref, pos)) {
        const size_t from = hit + kHref.size();
        const size_t to = text.find(kHrefEnd, from);
        if (to == std::string::npos) break;
        kept.append(text, pos, from - pos);
        kept += WithoutKey(text.substr(from, to - from));
        pos = to;
      }
      kept.append(text, pos, std::string::npos);
      if (kept != text) grid.SetCells(col, row, kept);
    }
  }
  grid.EndUpdate();
}

std::string PublicCountLinks(const std::string& html) {
  static const std::string kClose = "</a>";
  std::string out;
  out.reserve(html.size());
  size_t pos = 0;
  for (;;) {
    const size_t hit = html.find(kHref, pos);
    if (hit == std::string::npos) break;
    const size_t from = hit + kHref.size();
    // A phrase's `"` stays unencoded inside a query URL: the address ends at the tag's end.
    const size_t to = html.find(kHrefEnd, from);
    if (to == std::string::npos) break;
    const std::string public_url = PublicResultsURL(html.substr(from, to - from));
    if (!public_url.empty()) {
      out.append(html, pos, from - pos);
      out += public_url;
      pos = to;
      continue;
    }
    // No public page: the link's text alone, so no other address (and no key) gets out.
    out.append(html, pos, hit - pos);
    pos = to + kHrefEnd.size();
    const size_t close = html.find(kClose, pos);
    if (close == std::string::npos) continue;
    out.append(html, pos, close - pos);
    pos = close + kClose.size();
  }
  out.append(html, pos, std::string::npos);
  return out;
}

std::vector<std::string> SplitTextLines(const std::string& bytes) {
  const std::vector<std::string_view> views = SplitLines(bytes);
  return std::vector<std::string>(views.begin(), views.end());
}

std::string JoinTextLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::string TidyCSVText(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t pos = 0;
  const size_t n = bytes.size();
  while (pos < n) {
    // The first field: a quoted section (doubled quotes inside) or bare text.
    bool in_quotes = false;
    size_t cut = pos;
    while (cut < n) {
      const char ch = bytes[cut];
      if (ch == '"') {
        in_quotes = !in_quotes;
      } else if (!in_quotes && (ch == ',' || IsLineBreak(ch))) {
        break;
      }
      ++cut;
    }
    if (cut < n && bytes[cut] == ',') {
      ++cut;
    } else {
      // A record of one field: nothing of it stays.
      pos = cut;
      if (pos < n) pos += BreakLength(bytes, pos);
      out += "\r\n";
      continue;
    }
    // The rest of the record, up to its line break outside quotes.
    size_t end = cut;
    while (end < n) {
      const char ch = bytes[end];
      if (ch == '"') {
        in_quotes = !in_quotes;
      } else if (!in_quotes && IsLineBreak(ch)) {
        break;
      } else if (in_quotes && IsLineBreak(ch)) {
        // A line break inside a quoted text is written as CR LF, as any line is.
        out.append(bytes, cut, end - cut);
        out += "\r\n";
        end += BreakLength(bytes, end);
        cut = end;
        continue;
      }
      ++end;
    }
    out.append(bytes, cut, end - cut);
    out += "\r\n";
    pos = end;
    if (pos < n) pos += BreakLength(bytes, pos);
  }
  return out;
}

std::string TidyHTMLText(const std::string& bytes) {
  std::string text = JoinTextLines(SplitTextLines(bytes));
  ReplaceAll(text, "\">", "\" target=\"_blank\">");
  ReplaceAll(text, ">http", " target=\"_blank\">http");
  return text;
}

void ExportCSV(const ResultGridModel& grid, const std::string& file_name) {
  WriteFileAtomically(file_name, TidyCSVText(CSVText(grid)));
}

void ExportHTML(const ResultGridModel& grid, const CellVisualsFunction& look,
                const std::string& file_name) {
  WriteFileAtomically(file_name, TidyHTMLText(PublicCountLinks(HTMLDocument(grid, look))));
}

XlsxSheet KeywordSheet(const ResultGridModel& grid) {
  XlsxSheet sheet;
  sheet.name = "Keywords";
  sheet.columns = {XlsxColumn::kLeftOut, XlsxColumn::kText, XlsxColumn::kNumber,
                   XlsxColumn::kNumber, XlsxColumn::kNumber};
  if (HasVolumeColumns(grid)) {
    sheet.columns.push_back(XlsxColumn::kNumber);
    sheet.columns.push_back(XlsxColumn::kTwoDecimals);
  }
  sheet.background = [&grid](int col, int row) { return KeywordCellColor(grid, col, row); };
  return sheet;
}

}  // namespace kelvaro::MainForm
