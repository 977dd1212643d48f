#pragma once

// Which results are forum or user-generated pages: a phrase whose top results hold them is one
// a new page can win. The hosts and path pieces that tell them are kept in ForumPages.cpp.

#include <string>

namespace kelvaro::DeepAnalysisForm {

// Whether the result at `link` is a forum or user-generated page: its host is one of the
// forum sites or a subdomain of one, or its path (letter case aside) holds a forum-like
// piece such as "/forum" or "/threads/".
bool IsForumPage(const std::string& link);

}  // namespace kelvaro::DeepAnalysisForm
