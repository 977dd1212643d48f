#include "base/KeywordLines.h"

#include <algorithm>
#include <cstddef>

#include "base/Text.h"

namespace kelvaro {

std::vector<std::string> KeywordLines(const std::string& memo_text) {
  constexpr size_t kLineLimit = 4096;
  std::vector<std::string> lines;
  for (const std::string_view line : SplitLines(memo_text)) {
    lines.emplace_back(line.substr(0, kLineLimit));
  }
  return lines;
}

size_t StartPhraseCount(const std::string& memo_text) {
  // Blanks are the characters up to the space, as Start trims them.
  const bool blank = std::all_of(memo_text.begin(), memo_text.end(),
                                 [](char c) { return static_cast<unsigned char>(c) <= 32; });
  return blank ? 0 : KeywordLines(memo_text).size();
}

}  // namespace kelvaro
