#pragma once

// One request through the search service its settings choose, and the reading of its answer.
// The search session reads the key, engine code, service and endpoint together for every
// request, so a change in the settings applies from the next request and a request never mixes
// two settings.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/ApiCredentials.h"
#include "base/RunNotice.h"
#include "web/HttpClient.h"
#include "web/SearchService.h"

namespace kelvaro {

// The settings a request is made with: `credentials`, with their stored endpoint when there is
// one and otherwise `endpoint` (the one start-up was given; empty means the service's own
// address).
Credentials RequestSettings(const Credentials& credentials, const std::string& endpoint);

// An answer the account paid for before, as the answer store keeps it.
struct StoredAnswer {
  std::string count;  // the count text as cut from the answer
  // A phrase answer's listed results, in order; nullopt when the answer had no result list
  // at all (and for the other kinds), which is not the same as an empty list.
  std::optional<std::vector<SearchResult>> results;
  int64_t arrived = 0;  // when it arrived, seconds since 1970 UTC
  // The keyword ideas the answer held (a phrase answer's related searches and questions, an
  // Autocomplete answer's suggestions); empty for an answer stored without any.
  std::vector<KeywordIdea> ideas{};
};

// One answer, read by the service that built its request, or taken from the answer store
// instead of a request (`stored`; its body is then empty and its URL the one a request would
// use now).
struct ServiceAnswer {
  const SearchService* service = nullptr;  // nullptr: unknown service, nothing was sent
  QueryKind kind = QueryKind::Phrase;  // what was asked
  std::string service_name;
  std::string endpoint;  // as the request's settings had it; empty: the service's own address
  std::string engine_code;  // as the request's settings had it (the key is never kept)
  std::string location;  // what the service was told to answer for (AnswerKey::location)
  std::string url;
  std::string body;
  int status = 0;          // the HTTP status where the host tells it; 0 when unknown
  int retry_after_s = -1;  // the answer's Retry-After in seconds; -1 when absent
  // The transfer ended normally with the whole body: only such an answer may be kept for later
  // runs (a cut-off one still counts for this run, with what arrived).
  bool complete = false;
  std::optional<StoredAnswer> stored;
  // Set when the request was not sent because the settings may not keep its endpoint (one
  // that would carry the key in clear text to another computer, or no valid endpoint at all:
  // a settings file from before the rule, or edited by hand).
  bool endpoint_refused = false;

  // As the service's ReadCount; false for an unknown service. An Autocomplete answer's count
  // is the number of its suggestions.
  bool ReadCount(std::string& count) const;
  // Why the answer has no count: the service's ErrorText, an unknown service, or a refused
  // endpoint (ui/RunTexts words it).
  QueryFailure Failure() const;
  bool HasResultList() const;
  // When the stored answer arrived; nullopt for an answer asked now.
  std::optional<int64_t> StoredAt() const {
    return stored ? std::optional<int64_t>(stored->arrived) : std::nullopt;
  }
  std::vector<SearchResult> ReadResults(size_t max_results) const;
  // A prepared request that may go out: its service is known, its endpoint accepted and the
  // service answers its kind.
  bool Sendable() const { return service != nullptr && !endpoint_refused && !url.empty(); }
  // The keyword ideas of a phrase or Autocomplete answer (empty for the other kinds).
  std::vector<KeywordIdea> ReadIdeas() const;
};

// The request for `text` as `kind` with `settings`, not sent yet: its service and URL, or why
// it may not go (Sendable is false).
ServiceAnswer PrepareQuery(const Credentials& settings, QueryKind kind, const std::string& text);
// What came back for the prepared `answer`.
void TakeReply(ServiceAnswer& answer, HttpAnswer reply);

// Asks for `text` as `kind` with `settings` and adds one to `queries_sent` when the request
// went out. A download that throws is an empty answer (a failed request).
ServiceAnswer QueryService(HttpClient& http, const Credentials& settings, QueryKind kind,
                           const std::string& text, int& queries_sent);

// How long an account request may take: it never holds a run or its window for long.
inline constexpr int kAccountTimeoutMs = 2000;

// The account answer's figures, asked once with `settings` and a `timeout_ms` time-out;
// nullopt when the service has no account request or the answer does not say.
std::optional<AccountFigures> AskAccount(HttpClient& http, const Credentials& settings,
                                         int timeout_ms = kAccountTimeoutMs);

}  // namespace kelvaro
