#pragma once

#include <string>
#include <vector>

namespace kelvaro {

// A keyword memo's text split into phrases as the user typed them: split at line breaks
// only (never where the memo wraps), each cut to 4096 characters; an empty last line is
// no entry, empty lines in between are. Both windows read their memo this way.
std::vector<std::string> KeywordLines(const std::string& memo_text);

// The line under each window's Start button that says what Start will send for the memo:
// the phrases as KeywordLines counts them (none for a memo of blanks only, which Start
// refuses), then the queries. A keyword run asks three counts per phrase
// ("5 phrases: 15 queries"); a deep analysis asks one query per phrase and one per listed
// result, at most ten of them ("3 phrases: up to 33 queries").
std::string KeywordRunCostText(const std::string& memo_text);
std::string DeepAnalysisCostText(const std::string& memo_text);

}  // namespace kelvaro
