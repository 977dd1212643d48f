// The grid's CSV files.
//
// Why every file this writer writes reads back as the same cells
// -------------------------------------------------------------
// Users keep their projects in these files and open them again, so a project must come
// back cell for cell. Earlier versions of the product wrote a text holding a quote and
// several lines with bare LFs between its lines, wrote a text ending in a line break bare
// (with that CR LF), and wrote lone CRs and LFs unchanged. All of those put physical line
// breaks inside a row. The reader can only mend that by joining two neighbouring lines that
// both hold an odd number of quotes, which rescues one such text per row and nothing else:
// two multi-line texts in one row, a text of three lines, a trailing break or a lone LF all
// split their row.
//
// The mend is in the writer, not in the reader:
//
//   1. Inside a field every line break (CR LF, lone CR, lone LF) is written as character
//      11 and the field is enclosed in quotes. Character 11 was already how most multi-line
//      texts were written, and every reader of these files turns 11 back into CR LF in any
//      field. So a written row is exactly one physical line, every line holds an even number
//      of quotes, and the joining step never touches a file this writer wrote. A lone CR or
//      LF (and a character 11 of the text itself) comes back as CR LF: the format has no way
//      to tell them apart, but the rows stay intact.
//   2. NUL bytes are left out: the reader ends the text at the first NUL, which would lose
//      every row after it.
//   3. The reader takes the delimiter from the first two lines. With quoted sections left
//      out of the count (below), those two lines show exactly ColCount - 1 commas, which
//      decides for ",". Another candidate can still win when both lines hold it equally
//      often outside quotes (for instance a one-column grid whose first two texts each
//      hold one "-"). The writer therefore runs the reader's own detection on its first two
//      lines and, only when that would not give "," (or no delimiter for one column),
//      writes those two lines again with every field holding a candidate enclosed in
//      quotes. Files that read right anyway keep their bytes.
//
// The reader keeps reading every file as before, so older project files and files from
// other programs read exactly as they always did, with two mends and one clarification:
//
//   - Delimiter detection counts only delimiters outside quoted sections. Before, a project
//     whose first data row held a phrase with a comma had more commas in that row than in
//     the header (the quoted phrase and the query URLs add some), so detection fell
//     through to "&" (every query URL holds several) and split the project at "&". Lines
//     without quotes count as they always did.
//   - The joining step also compares the last two lines, so a two-line quoted text written
//     by an earlier version in a file's last row reads back as one cell.
//   - A file without any delimiter reads each line as one field, through the same rule as
//     any last field (leading spaces dropped, enclosing quotes removed, doubled
//     quotes reduced), so a one-column file holding a quoted text reads back unquoted.
//
// What does not come back: leading spaces of a text written bare (the reader drops them;
// inside quotes they survive, and the writer does not quote texts just for them, so the
// files keep their long-standing bytes), and rich text ("{\...") is written as stored.

#include "grid/GridCsv.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "base/AtomicFile.h"
#include "base/Error.h"
#include "grid/CellMarkup.h"
#include "grid/ResultGridModel.h"

namespace kelvaro {
namespace {

constexpr char kWriteDelimiter = ',';
constexpr char kQuote = '"';
constexpr char kLineBreakCode = '\x0B';  // how a line break inside a field is written
constexpr std::string_view kCandidates = ",;#\t|@*-+&";

enum : unsigned char {
  kIsQuote = 1,
  kIsDelimiter = 2,
  kIsBreak = 4,
  kIsNul = 8,
  kIsCandidate = 16,  // any other delimiter the reader might detect
};

constexpr std::array<unsigned char, 256> MakeCharClasses() {
  std::array<unsigned char, 256> classes{};
  for (char c : kCandidates) classes[static_cast<unsigned char>(c)] = kIsCandidate;
  classes[static_cast<unsigned char>(kWriteDelimiter)] = kIsDelimiter;
  classes[static_cast<unsigned char>(kQuote)] = kIsQuote;
  classes['\r'] = kIsBreak;
  classes['\n'] = kIsBreak;
  classes[0] = kIsNul;
  return classes;
}
constexpr std::array<unsigned char, 256> kCharClasses = MakeCharClasses();

unsigned char ClassesOf(std::string_view text) {
  unsigned char seen = 0;
  for (char c : text) seen |= kCharClasses[static_cast<unsigned char>(c)];
  return seen;
}

void AppendRow(std::string& out, const ResultGridModel& grid, int row, bool quote_candidates,
               std::string& scratch) {
  for (int col = 0; col < grid.ColCount(); ++col) {
    if (col > 0) out += kWriteDelimiter;
    AppendCSVField(out, SavedCellTextRef(grid, col, row, scratch), quote_candidates);
  }
  out += "\r\n";
}

// Left to right: the quoted sections of a line, the quotes themselves included, replaced by
// quote characters, so that counting delimiters sees only what stands outside them.
std::string MaskQuotedSections(std::string_view line) {
  std::string masked(line);
  const size_t quotes = static_cast<size_t>(std::count(line.begin(), line.end(), kQuote));
  // A last quote that no later quote closes is ordinary text, as the field splitter takes it.
  const size_t unmatched = quotes % 2 == 1 ? line.rfind(kQuote) : std::string_view::npos;
  bool inside = false;
  for (size_t i = 0; i < masked.size(); ++i) {
    if (masked[i] == kQuote && i != unmatched) {
      inside = !inside;
    } else if (inside) {
      masked[i] = kQuote;
    }
  }
  return masked;
}

// Hits of x: the last x of every run of odd length that has a character after it, and the
// x ending the line whatever its run. A lone x counts once, a doubled one not at all.
int RunCount(char x, std::string_view s) {
  int hits = 0;
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] != x) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end + 1 < s.size() && s[end + 1] == x) ++end;
    if (end + 1 == s.size() || (end - i + 1) % 2 == 1) ++hits;
    i = end + 1;
  }
  return hits;
}

int PlainCount(char x, std::string_view s) {
  return static_cast<int>(std::count(s.begin(), s.end(), x));
}

// Position of the quote that closes a quoted field, 1-based in `rest` (the text after the
// opening quote): the last quote of the first odd-length run followed by another
// character, or a quote that ends `rest`. 0 when there is none.
size_t ClosingQuote(std::string_view rest) {
  size_t i = rest.find(kQuote);
  while (i != std::string_view::npos) {
    size_t end = i;
    while (end + 1 < rest.size() && rest[end + 1] == kQuote) ++end;
    if (end + 1 == rest.size() || (end - i + 1) % 2 == 1) return end + 1;
    i = rest.find(kQuote, end + 1);
  }
  return 0;
}

// Stores a field into `cell`: doubled quotes reduced when `unquote`, character 11 turned
// into CR LF.
void StoreField(std::string& cell, std::string_view field, bool unquote) {
  cell.clear();
  if (unquote) {
    size_t q;
    while ((q = field.find("\"\"")) != std::string_view::npos) {
      cell.append(field.substr(0, q + 1));
      field.remove_prefix(q + 2);
    }
  }
  cell.append(field);
  if (cell.find(kLineBreakCode) == std::string::npos) return;
  std::string with_breaks;
  with_breaks.reserve(cell.size() + 8);
  for (char c : cell) {
    if (c == kLineBreakCode) {
      with_breaks += "\r\n";
    } else {
      with_breaks += c;
    }
  }
  cell = std::move(with_breaks);
}

std::string& CellAt(std::vector<std::string>& cells, size_t col) {
  if (col >= cells.size()) cells.resize(col + 1);
  return cells[col];
}

// Leading spaces go, but never the last character of the line.
size_t DropLeadingSpaces(std::string_view& line) {
  size_t dropped = 0;
  while (line.size() > 1 && line[0] == ' ') {
    line.remove_prefix(1);
    ++dropped;
  }
  return dropped;
}

}  // namespace

void AppendCSVField(std::string& out, std::string_view text, bool quote_candidates) {
  const unsigned char seen = ClassesOf(text);
  const unsigned char needs_quotes =
      kIsQuote | kIsDelimiter | kIsBreak | (quote_candidates ? kIsCandidate : 0);
  if ((seen & (needs_quotes | kIsNul)) == 0) {
    if (text.empty()) {
      out += "\"\"";
    } else {
      out.append(text);
    }
    return;
  }
  const bool enclose = (seen & needs_quotes) != 0;
  const size_t start = out.size();
  if (enclose) out += kQuote;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case kQuote:
        out += "\"\"";
        break;
      case '\0':
        break;
      case '\r':
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out += kLineBreakCode;
        break;
      case '\n':
        out += kLineBreakCode;
        break;
      default:
        out += c;
    }
  }
  if (enclose) {
    out += kQuote;
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
    const size_t first_end = text.find("\r\n");
    const std::string_view first = text.substr(0, first_end);
    const std::string_view second =
        head_rows > 1 ? text.substr(first_end + 2, text.size() - first_end - 4) : "";
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

CSVLineList::CSVLineList(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  // Split at CR LF, lone CR and lone LF, finding both with memchr: lone CRs are rare.
  std::vector<std::string_view> raw;
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  auto find = [end](const char* from, char c) {
    const void* hit = std::memchr(from, c, static_cast<size_t>(end - from));
    return hit != nullptr ? static_cast<const char*>(hit) : end;
  };
  const char* pos = begin;
  const char* next_cr = find(pos, '\r');
  const char* next_lf = find(pos, '\n');
  while (pos < end) {
    if (next_cr < pos) next_cr = find(pos, '\r');
    if (next_lf < pos) next_lf = find(pos, '\n');
    const char* stop = std::min(next_cr, next_lf);
    raw.emplace_back(pos, static_cast<size_t>(stop - pos));
    if (stop == end) break;
    pos = stop + 1;
    if (*stop == '\r' && pos < end && *pos == '\n') ++pos;
  }

  std::vector<char> odd(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    odd[i] = std::count(raw[i].begin(), raw[i].end(), kQuote) % 2 == 1;
  }
  lines_.reserve(raw.size());
  for (size_t i = 0; i < raw.size();) {
    if (i + 1 < raw.size() && odd[i] && odd[i + 1]) {
      std::string& joined = joined_.emplace_back();
      joined.reserve(raw[i].size() + raw[i + 1].size() + 2);
      joined.append(raw[i]).append("\r\n").append(raw[i + 1]);
      lines_.push_back(joined);
      i += 2;  // the walk goes on after the pair: a joined line is not joined again
    } else {
      lines_.push_back(raw[i]);
      ++i;
    }
  }
}

char DetectDelimiter(std::string_view first, std::string_view second) {
  const std::string a = MaskQuotedSections(first);
  const std::string b = MaskQuotedSections(second);
  char found = kNoDelimiter;
  int best = 0;
  for (char x : kCandidates) {
    const int ra = RunCount(x, a);
    if (ra == RunCount(x, b) && ra > best) {
      found = x;
      best = ra;
    }
  }
  if (best == 0) {
    for (char x : kCandidates) {
      const int na = PlainCount(x, a);
      if (na == PlainCount(x, b) && na > best) {
        found = x;
        best = na;
      }
    }
  }
  if (best == 0) {
    for (char x : kCandidates) {
      const int larger = std::max(PlainCount(x, a), PlainCount(x, b));
      if (larger > best) {
        found = x;
        best = larger;
      }
    }
  }
  return found;
}

size_t SplitCSVLine(std::string_view line, char delimiter, std::vector<std::string>& cells) {
  size_t col = 0;
  // p is 1-based, as the position of the delimiter that ends the current field.
  size_t found;
  while (delimiter != kNoDelimiter && (found = line.find(delimiter)) != std::string_view::npos) {
    size_t p = found + 1;
    p -= DropLeadingSpaces(line);
    std::string& cell = CellAt(cells, col);
    if (line[0] == kQuote) {
      line.remove_prefix(1);
      const size_t close = ClosingQuote(line);
      if (close > 0) {
        StoreField(cell, line.substr(0, close - 1), true);
        line.remove_prefix(close);  // text after the closing quote up to the delimiter goes
      } else {
        cell.clear();  // never closed: the field is empty, reading goes on after the delimiter
      }
      const size_t next = line.find(delimiter);
      if (next != std::string_view::npos) p = next + 1;
    } else {
      StoreField(cell, line.substr(0, p - 1), false);
    }
    line.remove_prefix(std::min(p, line.size()));
    ++col;
  }
  if (!line.empty()) {
    DropLeadingSpaces(line);
    bool quoted = false;
    if (line[0] == kQuote) {
      quoted = true;
      line.remove_prefix(1);
      if (!line.empty() && line.back() == kQuote) line.remove_suffix(1);
    }
    StoreField(CellAt(cells, col), line, quoted);
    ++col;
  }
  return col;
}

void ResultGridModel::SaveCSV(const std::string& file_name) const {
  WriteFileAtomically(file_name, CSVText(*this));
}

void ResultGridModel::LoadCSV(const std::string& file_name, int max_rows) {
  const std::string bytes = ReadWholeFile(file_name);
  if (bytes.empty()) return;
  const CSVLineList list(bytes);
  const std::vector<std::string_view>& lines = list.lines();
  if (lines.empty()) throw Error("File is empty");
  const char delimiter = DetectDelimiter(lines[0], lines.size() > 1 ? lines[1] : "");
  size_t take = lines.size();
  if (max_rows > 0) take = std::min(take, static_cast<size_t>(max_rows));

  if (listener_ != nullptr) listener_->BeforeReset();
  struct ResetEnd {
    ResultGridListener* listener;
    ~ResetEnd() {
      if (listener != nullptr) listener->AfterReset();
    }
  } reset_end{listener_};

  if (rows_.size() < take) rows_.resize(take);
  for (size_t i = 0; i < take; ++i) {
    const int row = static_cast<int>(i);
    // The row count grows in steps of 1000, not once per line; it is cut at the end.
    if (row >= row_count_) {
      ShowRows(row_count_, row + 999);
      row_count_ = row + 1000;
    }
    Row& stored = rows_[i];
    if (stored.cells.empty()) stored.cells.reserve(static_cast<size_t>(col_count_));
    const size_t fields = SplitCSVLine(lines[i], delimiter, stored.cells);
    if (fields > static_cast<size_t>(col_count_)) {
      col_count_ = static_cast<int>(fields);
      if (col_widths_.size() < fields) col_widths_.resize(fields, kDefaultColWidth);
    }
  }
  row_count_ = std::max(static_cast<int>(take), 1);
}

}  // namespace kelvaro
