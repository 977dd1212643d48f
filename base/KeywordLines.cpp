#include "base/KeywordLines.h"

#include <algorithm>
#include <cstddef>

namespace kelvaro {

std::vector<std::string> KeywordLines(const std::string& memo_text) {
  constexpr size_t kLineLimit = 4096;
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = memo_text.find_first_of("\r\n", start);
    const size_t stop = end == std::string::npos ? memo_text.size() : end;
    lines.push_back(memo_text.substr(start, std::min(stop - start, kLineLimit)));
    if (end == std::string::npos) break;
    start = end + (memo_text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

size_t StartPhraseCount(const std::string& memo_text) {
  // Blanks are the characters up to the space, as Start trims them.
  const bool blank = std::all_of(memo_text.begin(), memo_text.end(),
                                 [](char c) { return static_cast<unsigned char>(c) <= 32; });
  return blank ? 0 : KeywordLines(memo_text).size();
}

}  // namespace kelvaro
