#pragma once

// Small pieces of byte text that every layer uses: ASCII letter case, prefixes, hexadecimal
// digits and the lines of a text. Only ASCII letters and digits are read as such; every
// other byte stays as it is (UTF-8 letters: base/TextCase.h).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro {

// `c` with A-Z in lower case.
constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
// `text` with A-Z in lower case.
std::string LowerAscii(std::string_view text);

// Whether the texts are the same but for the case of ASCII letters.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
// Whether `text` begins with `prefix`, the case of ASCII letters aside.
bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix);

// `text` with every `secret` in it replaced by "***" (an empty secret changes nothing), so a
// service's message that repeats a key or password never shows it.
std::string WithoutSecret(std::string text, std::string_view secret);

// 0-15 for a hexadecimal digit (either case), -1 for any other byte.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// What ends a line.
enum class LineEnds {
  kAny,  // CR LF, a lone CR or a lone LF: typed text, projects, CSV files
  kLf,   // LF, a CR before it belonging to the break; a lone CR is text (.reg files)
};

// Hands out the lines of a text one by one. A break at the very end starts no further line,
// so "" has no line and "a\n" one. Each line is a view into the text.
class LineSplitter {
 public:
  explicit LineSplitter(std::string_view text, LineEnds ends = LineEnds::kAny);

  // The next line; false when there is none.
  bool Next(std::string_view& line);

 private:
  const char* Find(const char* from, char c) const;

  const char* pos_;
  const char* end_;
  const char* next_cr_;  // end_ when CR ends no line, or none is left
  const char* next_lf_;
};

// All the lines of `text`, as LineSplitter hands them out.
std::vector<std::string_view> SplitLines(std::string_view text, LineEnds ends = LineEnds::kAny);

}  // namespace kelvaro
