// The grid's CSV files. A project must read back cell for cell, so every row is written as
// one physical line: a line break inside a field becomes character 11 (readers turn it back
// into CR LF) inside quotes, NUL bytes are left out (readers stop at one), a text starting
// with a space is quoted (readers drop leading spaces of a bare field), and when the reader's
// delimiter detection would not find "," in the first two lines, those are written again
// with every field holding a candidate quoted. The reader still reads older files and other
// programs' files as they always read.

#include "grid/GridCsv.h"

#include <algorithm>
#include <bit>
#include <cstdint>
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

void AppendRow(std::string& out, const ResultGridModel& grid, int row, bool quote_candidates,
               std::string& scratch) {
  for (int col = 0; col < grid.ColCount(); ++col) {
    if (col > 0) out += kWriteDelimiter;
    AppendCSVField(out, SavedCellTextRef(grid, col, row, scratch), quote_candidates);
  }
  out += "\r\n";
}

// The line with every quoted section (its quotes included) overwritten by quote characters,
// so that counting delimiters sees only what stands outside quotes.
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

// Character 11 in a stored field becomes CR LF.
void RestoreLineBreaks(std::string& cell) {
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

// Appends `field` to `cell` with every pair of quote characters reduced to one.
void AppendUnquoted(std::string& cell, std::string_view field) {
  size_t q;
  while ((q = field.find("\"\"")) != std::string_view::npos) {
    cell.append(field.substr(0, q + 1));
    field.remove_prefix(q + 2);
  }
  cell.append(field);
}

// Reads a quoted field from `rest`, the text after its opening quote, into `cell` with
// every pair of quotes reduced to one. The closing quote is the last quote of the first run
// of odd length that has a character after it, or a quote that ends `rest`. Returns its
// 1-based position in `rest`, or 0 when there is none (`cell` is then empty).
size_t ReadQuotedField(std::string_view rest, std::string& cell) {
  // One walk over the runs of quotes finds the closing one; the runs met on the way are
  // kept, so the copy needs no second search and the cell gets exactly its size.
  struct Run {
    size_t start;
    size_t length;
  };
  Run runs[16];
  size_t run_count = 0;
  size_t close = 0;
  size_t quotes_dropped = 0;
  bool all_kept = true;
  for (size_t i = rest.find(kQuote); i != std::string_view::npos; i = rest.find(kQuote, i)) {
    size_t end = i;
    while (end + 1 < rest.size() && rest[end + 1] == kQuote) ++end;
    const size_t length = end - i + 1;
    if (run_count < std::size(runs)) {
      runs[run_count++] = {i, length};
    } else {
      all_kept = false;
    }
    if (end + 1 == rest.size() || length % 2 == 1) {
      close = end + 1;
      // The closing quote is not the field's; the ones before it pair from the left.
      quotes_dropped += length - length / 2;
      break;
    }
    quotes_dropped += length / 2;
    i = end + 1;
  }
  cell.clear();
  if (close == 0) return 0;
  const std::string_view field = rest.substr(0, close - 1);
  cell.reserve(close - quotes_dropped);
  if (!all_kept) {
    AppendUnquoted(cell, field);
    return close;
  }
  size_t from = 0;
  for (size_t r = 0; r < run_count; ++r) {
    cell.append(rest.substr(from, runs[r].start - from));
    cell.append(runs[r].length / 2, kQuote);
    from = runs[r].start + runs[r].length;
  }
  return close;
}

// Stores a field into `cell`, doubled quotes reduced when `unquote`.
void StoreField(std::string& cell, std::string_view field, bool unquote) {
  cell.clear();
  // Room for the whole field at once: appending piece by piece would let the string double
  // its buffer, and a large project would hold far more memory than its texts.
  cell.reserve(field.size());
  if (unquote) {
    AppendUnquoted(cell, field);
  } else {
    cell.append(field);
  }
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
  // memchr per character of interest: a project's texts are mostly long count links, which
  // libc scans many bytes at a time, far faster than a loop over the bytes.
  auto has = [text](char c) {
    return !text.empty() && std::memchr(text.data(), c, text.size()) != nullptr;
  };
  const bool quote = has(kQuote);
  const bool breaks = has('\r') || has('\n');
  const bool nul = has('\0');
  const size_t first = text.find_first_not_of('\0');  // NULs are left out
  const bool leading_space = first != std::string_view::npos && text[first] == ' ';
  const bool enclose = quote || breaks || leading_space || has(kWriteDelimiter) ||
                       (quote_candidates && text.find_first_of(kCandidates) != text.npos);
  if (!enclose && !nul) {
    if (text.empty()) {
      out += "\"\"";
    } else {
      out.append(text);
    }
    return;
  }
  const size_t start = out.size();
  if (enclose) out += kQuote;
  if (!breaks && !nul) {
    // Only quotes to double: copy the runs between them.
    size_t q;
    while ((q = text.find(kQuote)) != std::string_view::npos) {
      out.append(text.substr(0, q + 1));
      out += kQuote;
      text.remove_prefix(q + 1);
    }
    out.append(text);
  } else {
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c == kQuote) {
        out += "\"\"";
      } else if (c == '\r' || c == '\n') {
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out += kLineBreakCode;
      } else if (c != '\0') {  // a NUL is left out
        out += c;
      }
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

namespace {

// Hands out the lines of a text one by one, ended by CR LF, lone CR or lone LF. Both break
// characters are found with memchr; lone CRs are rare.
class LineSplitter {
 public:
  explicit LineSplitter(std::string_view text)
      : pos_(text.data()),
        end_(text.data() + text.size()),
        next_cr_(Find(pos_, '\r')),
        next_lf_(Find(pos_, '\n')) {}

  bool Next(std::string_view& line) {
    if (pos_ >= end_) return false;
    if (next_cr_ < pos_) next_cr_ = Find(pos_, '\r');
    if (next_lf_ < pos_) next_lf_ = Find(pos_, '\n');
    const char* stop = std::min(next_cr_, next_lf_);
    line = std::string_view(pos_, static_cast<size_t>(stop - pos_));
    pos_ = stop + 1;
    if (stop < end_ && *stop == '\r' && pos_ < end_ && *pos_ == '\n') ++pos_;
    return true;
  }

 private:
  const char* Find(const char* from, char c) const {
    const void* hit = std::memchr(from, c, static_cast<size_t>(end_ - from));
    return hit != nullptr ? static_cast<const char*>(hit) : end_;
  }

  const char* pos_;
  const char* end_;
  const char* next_cr_;
  const char* next_lf_;
};

// Whether a line holds an odd number of quotes, eight bytes at a time: every pass over a
// large project's text counts, and a byte loop is several times slower.
bool HasOddQuotes(std::string_view line) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  constexpr uint64_t kQuotes = kOnes * static_cast<unsigned char>(kQuote);
  uint64_t marks = 0;  // the high bit of a byte flips with every quote found in that lane
  size_t i = 0;
  for (; i + 8 <= line.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, line.data() + i, 8);
    const uint64_t x = word ^ kQuotes;               // quote bytes become 0
    marks ^= ~(((x & kLow7) + kLow7) | x) & ~kLow7;  // high bit set exactly on zero bytes
  }
  bool odd = std::popcount(marks) % 2 == 1;
  for (; i < line.size(); ++i) odd ^= line[i] == kQuote;
  return odd;
}

}  // namespace

// Earlier versions wrote some multi-line texts with bare line breaks: two neighbouring lines
// that both hold an odd number of quotes are joined back into one row (the last two too).
CSVLineList::CSVLineList(std::string_view text) {
  LineSplitter splitter(text.substr(0, text.find('\0')));
  std::string_view line;
  bool have = splitter.Next(line);
  bool odd = have && HasOddQuotes(line);
  while (have) {
    std::string_view next;
    const bool have_next = splitter.Next(next);
    const bool next_odd = have_next && HasOddQuotes(next);
    if (odd && next_odd) {
      std::string& joined = joined_.emplace_back();
      joined.reserve(line.size() + next.size() + 2);
      joined.append(line).append("\r\n").append(next);
      lines_.push_back(joined);
      // The walk goes on after the pair: a joined line is not joined again.
      have = splitter.Next(line);
      odd = have && HasOddQuotes(line);
      continue;
    }
    lines_.push_back(line);
    have = have_next;
    line = next;
    odd = next_odd;
  }
}

namespace {

// Hands out the lines of a file one by one as LineSplitter does for a whole text, reading
// the file a piece at a time. A line's view is valid until the next call.
class FileLineReader {
 public:
  FileLineReader(FileReader& file, size_t piece)
      : file_(file), buffer_(std::max<size_t>(piece, 1), '\0') {}

  bool Next(std::string_view& line) {
    for (;;) {
      if (cr_ < pos_) cr_ = Find('\r');
      if (lf_ < pos_) lf_ = Find('\n');
      const size_t stop = std::min(cr_, lf_);
      // A CR ending the bytes read so far may be the first half of a CR LF.
      if (stop < end_ && (buffer_[stop] == '\n' || stop + 1 < end_ || at_end_)) {
        line = std::string_view(buffer_.data() + pos_, stop - pos_);
        pos_ = stop + 1;
        if (buffer_[stop] == '\r' && pos_ < end_ && buffer_[pos_] == '\n') ++pos_;
        return true;
      }
      if (at_end_) {
        if (pos_ >= end_) return false;
        line = std::string_view(buffer_.data() + pos_, end_ - pos_);
        pos_ = end_;
        return true;
      }
      Refill();
    }
  }

  // Whether the file held any byte at all.
  bool AnyByte() const { return any_byte_; }

 private:
  size_t Find(char c) const {
    const void* hit = std::memchr(buffer_.data() + pos_, c, end_ - pos_);
    return hit != nullptr ? static_cast<size_t>(static_cast<const char*>(hit) - buffer_.data())
                          : end_;
  }

  // Keeps the unfinished line, moved to the front, and reads behind it; a line longer than
  // the buffer doubles it. The text ends at its first NUL byte.
  void Refill() {
    const size_t rest = end_ - pos_;
    std::memmove(buffer_.data(), buffer_.data() + pos_, rest);
    pos_ = 0;
    end_ = rest;
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    const size_t got = file_.Read(buffer_.data() + end_, buffer_.size() - end_);
    any_byte_ = any_byte_ || got > 0;
    const void* nul = std::memchr(buffer_.data() + end_, '\0', got);
    if (got == 0 || nul != nullptr) at_end_ = true;
    end_ = nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - buffer_.data())
                          : end_ + got;
    cr_ = Find('\r');
    lf_ = Find('\n');
  }

  FileReader& file_;
  std::string buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  size_t cr_ = 0;
  size_t lf_ = 0;
  bool at_end_ = false;
  bool any_byte_ = false;
};

// The lines of a file as CSVLineList gives them for its whole text, joins included, read a
// piece at a time. A line's view is valid until the next call.
class CSVLineStream {
 public:
  CSVLineStream(FileReader& file, size_t piece) : reader_(file, piece) {}

  bool Next(std::string_view& out) {
    std::string_view line;
    if (has_waiting_) {
      line = waiting_;  // the reader has not moved since: the view is still good
      has_waiting_ = false;
    } else if (!reader_.Next(line)) {
      return false;
    }
    if (!HasOddQuotes(line)) {
      out = line;
      return true;
    }
    held_.assign(line);  // the next read may move the reader's buffer
    std::string_view next;
    if (reader_.Next(next)) {
      if (HasOddQuotes(next)) {
        held_.append("\r\n").append(next);
      } else {
        waiting_ = next;
        has_waiting_ = true;
      }
    }
    out = held_;
    return true;
  }

  bool AnyByte() const { return reader_.AnyByte(); }

 private:
  FileLineReader reader_;
  std::string held_;
  std::string_view waiting_;
  bool has_waiting_ = false;
};

// Project files are read this much at a time.
constexpr size_t kReadPiece = 1 << 20;

}  // namespace

void ForEachCSVFileLine(const std::string& file_name, size_t piece,
                        const std::function<void(std::string_view)>& take) {
  FileReader file(file_name);
  CSVLineStream lines(file, piece);
  std::string_view line;
  while (lines.Next(line)) take(line);
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
  const bool has_break_codes = line.find(kLineBreakCode) != std::string_view::npos;
  size_t col = 0;
  // p is 1-based, as the position of the delimiter that ends the current field.
  size_t found;
  while (delimiter != kNoDelimiter && (found = line.find(delimiter)) != std::string_view::npos) {
    size_t p = found + 1;
    p -= DropLeadingSpaces(line);
    std::string& cell = CellAt(cells, col);
    if (line[0] == kQuote) {
      line.remove_prefix(1);
      // Never closed: the field is empty and reading goes on after the delimiter.
      const size_t close = ReadQuotedField(line, cell);
      line.remove_prefix(close);  // text after the closing quote up to the delimiter goes
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
  if (has_break_codes) {
    for (size_t k = 0; k < col; ++k) RestoreLineBreaks(cells[k]);
  }
  return col;
}

void ResultGridModel::SaveCSV(const std::string& file_name) const {
  WriteFileAtomically(file_name, CSVText(*this));
}

void ResultGridModel::LoadCSV(const std::string& file_name, int max_rows) {
  // The file is read a piece at a time, so a large project is never held as text and as
  // cells at once; the cells go into new rows that replace the old ones only once the whole
  // file has been read, so a failed read leaves the grid as it was.
  FileReader file(file_name);
  CSVLineStream lines(file, kReadPiece);
  std::string_view line;
  std::string first;
  std::string second;
  const bool have_first = lines.Next(line);
  if (have_first) first.assign(line);
  const bool have_second = have_first && lines.Next(line);
  if (have_second) second.assign(line);
  if (!have_first) {
    if (!lines.AnyByte()) return;  // a zero-length file changes nothing
    throw Error("File is empty");
  }
  const char delimiter = DetectDelimiter(first, second);
  const size_t take = max_rows > 0 ? static_cast<size_t>(max_rows) : SIZE_MAX;

  std::vector<Row> loaded;
  // Reserving touches no memory; the data lines are about as long as the second one.
  const size_t estimate = static_cast<size_t>(file.Size() / (second.size() + 2)) * 2 + 16;
  loaded.reserve(std::min(take, estimate));
  size_t fields_max = 0;
  auto add = [&](std::string_view text) {
    Row& stored = loaded.emplace_back();
    if (loaded.size() == 1 && !rows_.empty()) {
      // The header row keeps the titles of columns its line does not reach.
      stored = rows_[0];
    }
    const size_t columns = std::max(static_cast<size_t>(col_count_), fields_max);
    if (stored.cells.size() < columns) stored.cells.reserve(columns);
    fields_max = std::max(fields_max, SplitCSVLine(text, delimiter, stored.cells));
  };
  add(first);
  if (have_second && take > 1) add(second);
  while (loaded.size() < take && lines.Next(line)) add(line);

  const int count = static_cast<int>(loaded.size());
  if (listener_ != nullptr) listener_->BeforeReset();
  // Rows beyond the file's keep what they held, out of view.
  for (size_t i = loaded.size(); i < rows_.size(); ++i) loaded.push_back(std::move(rows_[i]));
  rows_ = std::move(loaded);
  if (fields_max > static_cast<size_t>(col_count_)) {
    col_count_ = static_cast<int>(fields_max);
    if (col_widths_.size() < fields_max) col_widths_.resize(fields_max, kDefaultColWidth);
  }
  row_count_ = std::max(count, 1);
  if (listener_ != nullptr) listener_->AfterReset();
}

}  // namespace kelvaro
