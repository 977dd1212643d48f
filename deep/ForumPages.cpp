#include "deep/ForumPages.h"

#include <string_view>

#include "base/Text.h"
#include "web/DomainRankService.h"

namespace kelvaro::DeepAnalysisForm {

namespace {

// Sites whose pages are written by their users; their subdomains count too.
constexpr std::string_view kForumHosts[] = {
    "reddit.com", "quora.com", "stackexchange.com", "stackoverflow.com", "medium.com",
};

// Path pieces of forum software and community sections ("/forum" also covers "/forums",
// "/forum.php" and "/forumdisplay.php"; "/t/" is a Discourse topic).
constexpr std::string_view kForumPathPieces[] = {
    "/forum", "/forums/", "/threads/", "/community/", "/discussion/", "/t/",
};

bool IsForumHost(std::string_view host) {
  for (const std::string_view site : kForumHosts) {
    if (host == site) return true;
    if (host.size() > site.size() && host.substr(host.size() - site.size()) == site &&
        host[host.size() - site.size() - 1] == '.') {
      return true;
    }
  }
  return false;
}

// The path of `link` in lower case: from the first "/" after the host to a "?" or "#".
std::string PathOf(const std::string& link) {
  const size_t scheme = link.find("://");
  const size_t host = scheme == std::string::npos ? 0 : scheme + 3;
  const size_t path = link.find_first_of("/?#", host);
  if (path == std::string::npos || link[path] != '/') return std::string();
  return LowerAscii(std::string_view(link).substr(path, link.find_first_of("?#", path) - path));
}

}  // namespace

bool IsForumPage(const std::string& link) {
  if (IsForumHost(RankDomain(link))) return true;
  const std::string path = PathOf(link);
  for (const std::string_view piece : kForumPathPieces) {
    if (path.find(piece) != std::string::npos) return true;
  }
  return false;
}

}  // namespace kelvaro::DeepAnalysisForm
