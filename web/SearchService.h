#pragma once

// The search services Kelvaro can ask for its counts and results, behind one interface: a
// worker builds its query URLs and reads the answers through SearchServiceNamed(settings.service)
// and never knows which service it talks to. Nothing here sends a request or throws, except
// SearchServiceNamed for a name it does not know.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/ApiCredentials.h"
#include "web/CustomSearch.h"
#include "web/KeywordIdea.h"

namespace kelvaro {

// The service names, as stored and as the settings dialog offers them.
inline constexpr char kGoogleCustomSearch[] = "Google Custom Search";
inline constexpr char kSerpApi[] = "SerpApi";

// SerpApi's own address.
inline constexpr char kSerpApiEndpoint[] = "https://serpapi.com";

// The values a request is built from, read together. Texts exactly as typed (the services trim
// the key and engine code when they build a URL).
// What an account answer tells about the searches left and the hour's use; each figure
// nullopt when the answer does not give it as an integer of 0 or more.
struct AccountFigures {
  std::optional<int64_t> searches_left;  // total_searches_left
  std::optional<int64_t> this_hour;      // this_hour_searches
  std::optional<int64_t> per_hour;       // account_rate_limit_per_hour
};

// A limit a failed answer says it met by itself (without asking the account).
enum class AnswerLimit {
  kNone,
  kPerMinute,  // wait a little and send the same query again
  kPerDay,     // no more searches today: the run ends
};

class SearchService {
 public:
  virtual ~SearchService() = default;

  // kGoogleCustomSearch, kSerpApi or kDataForSeo.
  virtual const char* Name() const = 0;
  // The service's own address (scheme and host), used when settings.endpoint is empty.
  virtual const char* DefaultEndpoint() const = 0;
  // Whether a request needs an engine code besides the key.
  virtual bool NeedsEngineCode() const = 0;
  // Whether the service answers by task (posted, then collected when ready) rather than by
  // one GET a query.
  virtual bool PostsTasks() const { return false; }

  // The GET URL asking for `text` as `kind`. The query text is QueryText(kind, text).
  virtual std::string QueryURL(QueryKind kind, const std::string& text,
                               const Credentials& settings) const = 0;
  // The result count of an answer, as the text the grid shows. False for a failed request
  // (any answer without a valid count: an error, an empty body, a cut-off or foreign text).
  virtual bool ReadCount(const std::string& response, std::string& count) const = 0;
  // The text shown for a failed request: kAbnormalTermination, followed by the service's own
  // message when the answer carries one.
  virtual std::string ErrorText(const std::string& response) const = 0;
  // Whether an answer lists results at all (an answer without a list gets "Empty request
  // result" in Deep Analysis; an empty list does not).
  virtual bool HasResultList(const std::string& response) const = 0;
  // The listed results in order, at most max_results; entries without a title or a link are
  // left out.
  virtual std::vector<SearchResult> ReadResults(const std::string& response,
                                                size_t max_results) const = 0;

  // Whether the service's answers hold keyword ideas: the related searches and questions of
  // a phrase answer, and the suggestions of an Autocomplete query. A service without them is
  // never sent an Autocomplete query.
  virtual bool GivesIdeas() const = 0;
  // The related searches, then the questions, of a phrase answer, in the answer's order;
  // empty for an answer without them. Members that are not objects with a non-empty text are
  // left out.
  virtual std::vector<KeywordIdea> ReadIdeas(const std::string& response) const = 0;
  // The suggestions of an Autocomplete answer, in order (empty texts left out); nullopt when
  // the answer is not one (an error, a cut-off or foreign text, no suggestion list).
  virtual std::optional<std::vector<std::string>> ReadSuggestions(
      const std::string& response) const = 0;

  // The GET URL of the account request that tells how many searches are left; empty when
  // the service has none.
  virtual std::string AccountURL(const Credentials& settings) const = 0;
  // The searches left according to an account answer; nullopt when the answer does not say
  // (a failed request, a missing or non-integer value).
  virtual std::optional<int64_t> ReadSearchesLeft(const std::string& response) const = 0;
  // The figures of an account answer; nullopt for a failed request or not an account answer.
  virtual std::optional<AccountFigures> ReadAccount(const std::string& response) const = 0;
  // The limit a failed answer names itself (Google's per-minute and per-day quotas).
  virtual AnswerLimit LimitIn(const std::string& response) const = 0;
  // The service's own message in a failed answer ("" when it has none).
  std::string MessageIn(const std::string& response) const;
};

// The service called `name` (an empty name is kGoogleCustomSearch), or nullptr when there is
// no such service. The services live as long as the program.
const SearchService* FindSearchService(const std::string& name);

// Like FindSearchService, but an unknown name throws kelvaro::Error
// `Unknown search service "<name>"`.
const SearchService& SearchServiceNamed(const std::string& name);

// The service names in the order the settings dialog offers them.
std::vector<std::string> SearchServiceNames();

// Whether `endpoint` may be stored as the "Endpoint" setting: empty (the service's own
// address), or "http://" or "https://" (any letter case), a host (letters, digits, "-" and
// "."; or an IPv6 address in brackets), optionally ":" and a port 1-65535, and optionally a
// path prefix (from "/", bytes 33-126 except ? # & % " < > ' \ ` { } | ^). Spaces around it
// are allowed; nothing else is (so never user information, "name@host").
bool IsValidEndpoint(const std::string& endpoint);

// The address requests go to: the trimmed endpoint without trailing "/", or
// default_endpoint when that is empty.
std::string EndpointOrDefault(const std::string& endpoint, const std::string& default_endpoint);

// `url` without the API key, as the grid's count links hold it: for a query URL of either
// service (its path ending in "/customsearch/v1" or "/search.json"), the first parameter
// named "key" or "api_key", everything after it and the "&" or "?" before it are cut (the
// key is the last parameter of both services' query URLs, and a Custom Search key goes in
// unencoded, so it may hold "&"). The engine code stays. Any other text comes back as it is.
std::string WithoutKey(const std::string& url);

// The public results page for the count behind `query_url`, a query URL built by either
// service: "https://www.google.com/search?q=" followed by that URL's query text. Only the q
// parameter is carried over (bytes outside 0-9 a-z A-Z - . _ ~ % + re-encoded), never the key
// or the engine code. Empty when `query_url` is not a query URL of a known service, so the
// caller keeps the link's text only.
std::string PublicResultsURL(const std::string& query_url);

}  // namespace kelvaro
