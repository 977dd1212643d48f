#include "web/ServiceQuery.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "web/EndpointPolicy.h"
#include "web/uHelper.h"

namespace kelvaro {

namespace {

HttpAnswer SafeFetch(WorkerHost& host, const std::string& url, int receive_timeout_ms) {
  try {
    return host.Fetch(url, receive_timeout_ms);
  } catch (...) {
    // A failed download is an empty answer; the caller's error path deals with it.
    return HttpAnswer();
  }
}

}  // namespace

SearchSettings ToSearchSettings(const Credentials& credentials) {
  return {credentials.api_key, credentials.engine_code, credentials.search_service,
          credentials.endpoint};
}

Credentials ToCredentials(const SearchSettings& settings) {
  return {settings.api_key, settings.engine_code, settings.service, settings.endpoint};
}

SearchSettings RequestSettings(WorkerHost& host) {
  return RequestSettings(host.CurrentCredentials(), host.Endpoint());
}

SearchSettings RequestSettings(const Credentials& credentials, const std::string& endpoint) {
  SearchSettings settings = ToSearchSettings(credentials);
  if (Trim(settings.endpoint).empty()) settings.endpoint = endpoint;
  return settings;
}

bool ServiceAnswer::ReadCount(std::string& count) const {
  if (stored) {
    count = stored->count;
    return true;
  }
  return service != nullptr && service->ReadCount(body, count);
}

std::string ServiceAnswer::ErrorText() const {
  if (service == nullptr) return "Unknown search service \"" + service_name + "\"";
  if (endpoint_refused) return EndpointRefusal(endpoint);
  return service->ErrorText(body);
}

bool ServiceAnswer::HasResultList() const {
  if (stored) return stored->results.has_value();
  return service != nullptr && service->HasResultList(body);
}

std::vector<SearchResult> ServiceAnswer::ReadResults(size_t max_results) const {
  if (stored) {
    if (!stored->results) return {};
    const size_t n = std::min(max_results, stored->results->size());
    return {stored->results->begin(), stored->results->begin() + static_cast<std::ptrdiff_t>(n)};
  }
  if (service == nullptr) return {};
  return service->ReadResults(body, max_results);
}

ServiceAnswer QueryService(WorkerHost& host, QueryKind kind, const std::string& text,
                           int& queries_sent) {
  const SearchSettings settings = RequestSettings(host);
  ServiceAnswer answer;
  answer.service_name = settings.service;
  answer.service = FindSearchService(settings.service);
  answer.endpoint = settings.endpoint;
  answer.engine_code = settings.engine_code;
  if (answer.service == nullptr) return answer;
  if (!IsAcceptableEndpoint(settings.endpoint)) {
    answer.endpoint_refused = true;
    return answer;
  }
  answer.url = answer.service->QueryURL(kind, text, settings);
  ++queries_sent;
  HttpAnswer got = SafeFetch(host, answer.url, kReceiveTimeoutMs);
  answer.body = std::move(got.body);
  answer.status = got.status;
  answer.retry_after_s = got.retry_after_s;
  return answer;
}

std::optional<AccountFigures> AskAccount(WorkerHost& host, int timeout_ms) {
  const SearchSettings settings = RequestSettings(host);
  const SearchService* service = FindSearchService(settings.service);
  if (service == nullptr) return std::nullopt;
  if (!IsAcceptableEndpoint(settings.endpoint)) return std::nullopt;
  const std::string url = service->AccountURL(settings);
  if (url.empty()) return std::nullopt;
  return service->ReadAccount(SafeFetch(host, url, timeout_ms).body);
}

std::optional<int64_t> AskSearchesLeft(WorkerHost& host, int timeout_ms) {
  const std::optional<AccountFigures> figures = AskAccount(host, timeout_ms);
  return figures ? figures->searches_left : std::nullopt;
}

}  // namespace kelvaro
