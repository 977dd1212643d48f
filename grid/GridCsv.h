#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro {

class ResultGridModel;

// The grid's delimited text files (projects and the CSV export). The writer always uses ","
// and ends every line, the last one included, with CR LF; the reader detects the delimiter
// of each file anew. The model's SaveCSV (GridCsvWriter.cpp) and LoadCSV (GridCsvReader.cpp)
// are the two entry points; the pieces below are the format's steps, exposed for the tests.

// The format's characters, the same for the writer and the reader.
inline constexpr char kCSVQuote = '"';
// A line break inside a field, as written (the reader gives CR LF back for it).
inline constexpr char kCSVLineBreakCode = '\x0B';
// What ends every line written, and what the reader joins lines and restores breaks with.
inline constexpr std::string_view kCSVLineEnd = "\r\n";
// The delimiters the reader tries, in this order.
inline constexpr std::string_view kCSVDelimiterCandidates = ",;#\t|@*-+&";

// What DetectDelimiter gives when no candidate fits: every line is then one field.
inline constexpr char kNoDelimiter = '\0';

// Appends the field for `text` (a saved cell text) to `out`: bare when it needs no quoting,
// otherwise (a quote, a line break, a comma or a leading space) enclosed in quotes with inner
// quotes doubled, "" for the empty text, every line
// break (CR LF, lone CR, lone LF) as character 11, NUL bytes left out. With
// quote_candidates, a text holding any other delimiter candidate is enclosed as well.
void AppendCSVField(std::string& out, std::string_view text, bool quote_candidates = false);

// The whole file the grid writes: one line per row, header row first.
std::string CSVText(const ResultGridModel& grid);

// The lines of a file's text as the reader takes them: the text ends at its first NUL byte;
// lines end at CR LF, lone CR and lone LF (a break at the very end starts no further line);
// then neighbouring lines that both hold an odd number of quote characters are joined with
// CR LF, from the top, the last pair included, a joined line not being joined again.
// The views point into `text` (which must outlive the list) or into the list itself.
class CSVLineList {
 public:
  explicit CSVLineList(std::string_view text);
  CSVLineList(const CSVLineList&) = delete;
  CSVLineList& operator=(const CSVLineList&) = delete;

  const std::vector<std::string_view>& lines() const { return lines_; }

 private:
  std::deque<std::string> joined_;  // a deque, so views into it stay valid as it grows
  std::vector<std::string_view> lines_;
};

// The same lines for a file, read `piece` bytes at a time (LoadCSV reads so, and never holds
// a large project as text and as cells at once), each handed to `take`. Throws
// kelvaro::Error as ReadWholeFile does.
void ForEachCSVFileLine(const std::string& file_name, size_t piece,
                        const std::function<void(std::string_view)>& take);

// The delimiter of a file from its first two lines (second empty for a one-line file),
// tried in the order , ; # tab | @ * - + & . Only characters outside quoted sections
// count: a quote opens a section and the next one closes it; a last quote that nothing
// closes opens none. Gives kNoDelimiter when no candidate fits.
char DetectDelimiter(std::string_view first, std::string_view second);

// Splits one line into fields and stores field k into cells[k] (growing `cells` as needed,
// leaving cells past the last field alone). Bare fields lose their leading spaces; quoted
// fields are unquoted; character 11 becomes CR LF. Returns the number of fields stored.
// With kNoDelimiter the whole line is one field.
size_t SplitCSVLine(std::string_view line, char delimiter, std::vector<std::string>& cells);

}  // namespace kelvaro
