#pragma once

#include <string>
#include <vector>

namespace kelvaro {

// A keyword memo's text split into phrases as the user typed them: split at line breaks
// only (never where the memo wraps), each cut to 4096 characters; an empty last line is
// no entry, empty lines in between are. Both windows read their memo this way.
std::vector<std::string> KeywordLines(const std::string& memo_text);

}  // namespace kelvaro
