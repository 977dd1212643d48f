#pragma once

// A worker's requests through the search service its credentials choose. The key, engine
// code, service and endpoint are read together for every request, so a change in the
// settings applies from the next request and a request never mixes two settings.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/WorkerHost.h"
#include "web/SearchService.h"

namespace kelvaro {

// The credentials in memory as the search settings they stand for, and back.
SearchSettings ToSearchSettings(const Credentials& credentials);
Credentials ToCredentials(const SearchSettings& settings);

// The settings a request is made with now: the host's credentials, read once, with the
// stored endpoint when there is one and otherwise the host's (the endpoint start-up was
// given; empty means the service's own address).
SearchSettings RequestSettings(WorkerHost& host);

// One answer, read by the service that built its request.
struct ServiceAnswer {
  const SearchService* service = nullptr;  // nullptr: unknown service, nothing was sent
  std::string service_name;
  std::string url;
  std::string body;
  int status = 0;          // the HTTP status where the host tells it; 0 when unknown
  int retry_after_s = -1;  // the answer's Retry-After in seconds; -1 when absent

  // As the service's ReadCount; false for an unknown service.
  bool ReadCount(std::string& count) const;
  // As the service's ErrorText; `Unknown search service "<name>"` for an unknown one.
  std::string ErrorText() const;
  bool HasResultList() const;
  std::vector<SearchResult> ReadResults(size_t max_results) const;
};

// Asks for `text` as `kind` and adds one to `queries_sent` when the request went out. A
// download that throws is an empty answer (a failed request).
ServiceAnswer QueryService(WorkerHost& host, QueryKind kind, const std::string& text,
                           int& queries_sent);

// How long an account request may take: it never holds a run or its window for long.
inline constexpr int kAccountTimeoutMs = 2000;

// The account answer's figures, asked once with the settings as they are now and a
// kAccountTimeoutMs time-out; nullopt when the service has no account request or the
// answer does not say.
std::optional<AccountFigures> AskAccount(WorkerHost& host);

// The searches left on the account as AskAccount tells them.
std::optional<int64_t> AskSearchesLeft(WorkerHost& host);

}  // namespace kelvaro
