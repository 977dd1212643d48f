#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kelvaro {

// A keyword memo's text split into phrases as the user typed them: split at line breaks
// only (never where the memo wraps), each cut to 4096 characters; an empty last line is
// no entry, empty lines in between are. Both windows read their memo this way.
std::vector<std::string> KeywordLines(const std::string& memo_text);

// The phrases Start hands to the worker for the memo: as KeywordLines counts them, and none
// for a memo of blanks only (Start refuses it).
std::size_t StartPhraseCount(const std::string& memo_text);

// Queries per phrase: a keyword run asks three counts; a deep analysis asks one query and
// one per listed result, at most ten of them.
inline constexpr std::size_t kKeywordRunQueriesPerPhrase = 3;
inline constexpr std::size_t kDeepAnalysisMaxQueriesPerPhrase = 1 + 10;

}  // namespace kelvaro
