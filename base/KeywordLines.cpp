#include "base/KeywordLines.h"

#include <algorithm>
#include <cstddef>

namespace kelvaro {
namespace {

constexpr size_t kKeywordQueriesPerPhrase = 3;
constexpr size_t kDeepQueriesPerPhrase = 1 + 10;

// The phrases Start would hand to the worker: none when the memo holds only blanks
// (characters up to the space), as Start then sends nothing.
size_t PhraseCount(const std::string& memo_text) {
  const bool blank = std::all_of(memo_text.begin(), memo_text.end(),
                                 [](char c) { return static_cast<unsigned char>(c) <= 32; });
  return blank ? 0 : KeywordLines(memo_text).size();
}

std::string CostText(size_t phrases, size_t queries_per_phrase, const char* bound) {
  const size_t queries = phrases * queries_per_phrase;
  std::string text = std::to_string(phrases) + (phrases == 1 ? " phrase: " : " phrases: ");
  if (queries > 0) text += bound;
  return text + std::to_string(queries) + " queries";
}

}  // namespace

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

std::string KeywordRunCostText(const std::string& memo_text) {
  return CostText(PhraseCount(memo_text), kKeywordQueriesPerPhrase, "");
}

std::string DeepAnalysisCostText(const std::string& memo_text) {
  return CostText(PhraseCount(memo_text), kDeepQueriesPerPhrase, "up to ");
}

}  // namespace kelvaro
