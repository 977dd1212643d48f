// The grid's CSV files as read: projects of every Kelvaro version and other programs' files.
// The reader detects the delimiter of each file anew, joins the lines an earlier version broke,
// and reads a project a piece at a time.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "base/AtomicFile.h"
#include "base/Error.h"
#include "base/Text.h"
#include "grid/GridCsv.h"
#include "grid/ResultGridModel.h"

namespace kelvaro {
namespace {

// The line with every quoted section (its quotes included) overwritten by quote characters,
// so that counting delimiters sees only what stands outside quotes.
std::string MaskQuotedSections(std::string_view line) {
  std::string masked(line);
  const size_t quotes = static_cast<size_t>(std::count(line.begin(), line.end(), kCSVQuote));
  // A last quote that no later quote closes is ordinary text, as the field splitter takes it.
  const size_t unmatched = quotes % 2 == 1 ? line.rfind(kCSVQuote) : std::string_view::npos;
  bool inside = false;
  for (size_t i = 0; i < masked.size(); ++i) {
    if (masked[i] == kCSVQuote && i != unmatched) {
      inside = !inside;
    } else if (inside) {
      masked[i] = kCSVQuote;
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
  if (cell.find(kCSVLineBreakCode) == std::string::npos) return;
  std::string with_breaks;
  with_breaks.reserve(cell.size() + 8);
  for (char c : cell) {
    if (c == kCSVLineBreakCode) {
      with_breaks += kCSVLineEnd;
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
  for (size_t i = rest.find(kCSVQuote); i != std::string_view::npos; i = rest.find(kCSVQuote, i)) {
    size_t end = i;
    while (end + 1 < rest.size() && rest[end + 1] == kCSVQuote) ++end;
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
    cell.append(runs[r].length / 2, kCSVQuote);
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

// Whether a line holds an odd number of quotes, eight bytes at a time: every pass over a
// large project's text counts, and a byte loop is several times slower.
bool HasOddQuotes(std::string_view line) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  constexpr uint64_t kQuotes = kOnes * static_cast<unsigned char>(kCSVQuote);
  uint64_t marks = 0;  // the high bit of a byte flips with every quote found in that lane
  size_t i = 0;
  for (; i + 8 <= line.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, line.data() + i, 8);
    const uint64_t x = word ^ kQuotes;               // quote bytes become 0
    marks ^= ~(((x & kLow7) + kLow7) | x) & ~kLow7;  // high bit set exactly on zero bytes
  }
  bool odd = std::popcount(marks) % 2 == 1;
  for (; i < line.size(); ++i) odd ^= line[i] == kCSVQuote;
  return odd;
}

// The line-join rule: earlier versions wrote some multi-line texts with bare line breaks, so a
// line holding an odd number of quotes and the line after it, when that one holds an odd
// number too, are one row, joined with CR LF (the last two too); a joined line is not joined
// again. `Lines` hands out the lines (Next(std::string_view&)), each view valid until its
// next call.
template <typename Lines>
class JoinedLines {
 public:
  explicit JoinedLines(Lines& lines) : lines_(lines) {}

  // The next row's line, valid until the next call; false when there is none.
  bool Next(std::string_view& out) {
    std::string_view line;
    if (has_waiting_) {
      line = waiting_;  // the lines have not moved on since: the view is still good
      has_waiting_ = false;
    } else if (!lines_.Next(line)) {
      return false;
    }
    held_line_ = false;
    if (!HasOddQuotes(line)) {
      out = line;
      return true;
    }
    held_.assign(line);  // the next line may replace the bytes this one is in
    held_line_ = true;
    std::string_view next;
    if (lines_.Next(next)) {
      if (HasOddQuotes(next)) {
        held_.append(kCSVLineEnd).append(next);
      } else {
        waiting_ = next;
        has_waiting_ = true;
      }
    }
    out = held_;
    return true;
  }

  // Whether the last line handed out is a copy of this object's (valid until the next call
  // only), not a view of the lines' own.
  bool HeldLine() const { return held_line_; }

 private:
  Lines& lines_;
  std::string held_;
  bool held_line_ = false;
  std::string_view waiting_;
  bool has_waiting_ = false;
};

// Hands out the lines of a file one by one as LineSplitter (base/Text.h) does for a whole
// text, reading the file a piece at a time. A line's view is valid until the next call.
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

// Project files are read this much at a time.
constexpr size_t kReadPiece = 1 << 20;

}  // namespace

CSVLineList::CSVLineList(std::string_view text) {
  LineSplitter splitter(text.substr(0, text.find('\0')));
  JoinedLines<LineSplitter> rows(splitter);
  std::string_view line;
  while (rows.Next(line)) {
    // A view into `text` stays good; a line the rule held is kept here.
    lines_.push_back(rows.HeldLine() ? std::string_view(joined_.emplace_back(line)) : line);
  }
}

void ForEachCSVFileLine(const std::string& file_name, size_t piece,
                        const std::function<void(std::string_view)>& take) {
  FileReader file(file_name);
  FileLineReader reader(file, piece);
  JoinedLines<FileLineReader> lines(reader);
  std::string_view line;
  while (lines.Next(line)) take(line);
}

char DetectDelimiter(std::string_view first, std::string_view second) {
  const std::string a = MaskQuotedSections(first);
  const std::string b = MaskQuotedSections(second);
  char found = kNoDelimiter;
  int best = 0;
  for (char x : kCSVDelimiterCandidates) {
    const int ra = RunCount(x, a);
    if (ra == RunCount(x, b) && ra > best) {
      found = x;
      best = ra;
    }
  }
  if (best == 0) {
    for (char x : kCSVDelimiterCandidates) {
      const int na = PlainCount(x, a);
      if (na == PlainCount(x, b) && na > best) {
        found = x;
        best = na;
      }
    }
  }
  if (best == 0) {
    for (char x : kCSVDelimiterCandidates) {
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
  const bool has_break_codes = line.find(kCSVLineBreakCode) != std::string_view::npos;
  size_t col = 0;
  // p is 1-based, as the position of the delimiter that ends the current field.
  size_t found;
  while (delimiter != kNoDelimiter && (found = line.find(delimiter)) != std::string_view::npos) {
    size_t p = found + 1;
    p -= DropLeadingSpaces(line);
    std::string& cell = CellAt(cells, col);
    if (line[0] == kCSVQuote) {
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
    if (line[0] == kCSVQuote) {
      quoted = true;
      line.remove_prefix(1);
      if (!line.empty() && line.back() == kCSVQuote) line.remove_suffix(1);
    }
    StoreField(CellAt(cells, col), line, quoted);
    ++col;
  }
  if (has_break_codes) {
    for (size_t k = 0; k < col; ++k) RestoreLineBreaks(cells[k]);
  }
  return col;
}

void ResultGridModel::LoadCSV(const std::string& file_name, int max_rows) {
  // The file is read a piece at a time, so a large project is never held as text and as
  // cells at once; the cells go into new rows that replace the old ones only once the whole
  // file has been read, so a failed read leaves the grid as it was.
  FileReader file(file_name);
  FileLineReader reader(file, kReadPiece);
  JoinedLines<FileLineReader> lines(reader);
  std::string_view line;
  std::string first;
  std::string second;
  const bool have_first = lines.Next(line);
  if (have_first) first.assign(line);
  const bool have_second = have_first && lines.Next(line);
  if (have_second) second.assign(line);
  if (!have_first) {
    if (!reader.AnyByte()) return;  // a zero-length file changes nothing
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
