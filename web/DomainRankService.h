#pragma once

// Domain ranks from Open PageRank: the domain of a result's link, the requests a run's domains
// need and the reading of their answers. Nothing here sends a request or throws. The key
// travels in a header only (RankHeaders), never in a URL or a returned text.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kelvaro {

// The service's own address and the path of its rank request.
inline constexpr char kRankEndpoint[] = "https://openpagerank.com";
inline constexpr char kRankPath[] = "/api/v1.0/getPageRank";
// Domains per request.
inline constexpr size_t kRankBatchSize = 100;

// The domain a rank is asked for of a result link: its host in lower case, without a port,
// user name, trailing dot or leading "www."; "" when the link has no host a rank can be asked
// for (no scheme's "//" part and no host before the first "/", or a host holding anything but
// letters, digits, '-', '.' and non-ASCII bytes). A link without a scheme counts from its start.
std::string RankDomain(const std::string& link);

// The domains of `links` as RankDomain gives them, each once, in the order they first appear;
// links without a domain are left out.
std::vector<std::string> RankDomains(const std::vector<std::string>& links);

// The request URLs for `domains` (each once, as RankDomains gives them), at most
// kRankBatchSize domains a URL, in order. `endpoint`: empty for the service's own address; a
// trailing "/" is dropped.
std::vector<std::string> RankURLs(const std::string& endpoint,
                                  const std::vector<std::string>& domains);

// The request's headers, "Name: value" each: the key in API-OPR, JSON accepted.
std::vector<std::string> RankHeaders(const std::string& api_key);

// What one answer says.
struct RankAnswer {
  bool ok = false;
  // The service's own words ("error" or "message") when it failed; may be empty.
  std::string message;
  // One entry per domain asked, in its order: the rank (0 to 10), or nothing when the answer
  // gives none for it (absent, a status other than 200, not a number from 0 to 10).
  std::vector<std::optional<double>> ranks;
};

// Reads an answer to a request for `domains`. A failure when the HTTP status is not 2xx, the
// body is not a JSON object, its own "status_code" is there and not 200, or its "response" is
// not a list. Entries match domains by their "domain" (letter case and a leading "www." do not
// count), never by position. `api_key` never appears in the message, even when the service
// repeats it.
RankAnswer ReadRankAnswer(long http_status, const std::string& body,
                          const std::vector<std::string>& domains, const std::string& api_key);

// A rank as its cells show it: two decimals, a point whatever the locale ("4.57").
std::string FormatRank(double rank);

// A rank as the answer store keeps it (the shortest text that reads back as the same number)
// and its reading; nullopt for a text that is not a number from 0 to 10.
std::string RankText(double rank);
std::optional<double> ParseRank(const std::string& text);

}  // namespace kelvaro
