#include "web/ServiceQuery.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "web/DataForSeo.h"
#include "web/EndpointPolicy.h"
#include "web/uHelper.h"

namespace kelvaro {

namespace {

HttpAnswer SafeFetch(HttpClient& http, const std::string& url, int receive_timeout_ms) {
  try {
    return http.Get(url, receive_timeout_ms);
  } catch (...) {
    // A failed download is an empty answer; the caller's error path deals with it.
    return HttpAnswer();
  }
}

}  // namespace

Credentials RequestSettings(const Credentials& credentials, const std::string& endpoint) {
  Credentials settings = credentials;
  if (Trim(settings.endpoint).empty()) settings.endpoint = endpoint;
  return settings;
}

bool ServiceAnswer::ReadCount(std::string& count) const {
  if (stored) {
    count = stored->count;
    return true;
  }
  if (service == nullptr) return false;
  if (kind == QueryKind::Autocomplete) {
    const std::optional<std::vector<std::string>> suggestions = service->ReadSuggestions(body);
    if (!suggestions) return false;
    count = std::to_string(suggestions->size());
    return true;
  }
  return service->ReadCount(body, count);
}

QueryFailure ServiceAnswer::Failure() const {
  if (service == nullptr) return {QueryFailure::Kind::kUnknownService, service_name};
  if (endpoint_refused) {
    return {IsClearTextRemoteEndpoint(endpoint) ? QueryFailure::Kind::kClearTextEndpoint
                                                : QueryFailure::Kind::kInvalidEndpoint,
            endpoint};
  }
  return {QueryFailure::Kind::kServiceAnswer, service->ErrorText(body)};
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

std::vector<KeywordIdea> ServiceAnswer::ReadIdeas() const {
  if (stored) return stored->ideas;
  if (service == nullptr) return {};
  if (kind == QueryKind::Phrase) return service->ReadIdeas(body);
  std::vector<KeywordIdea> ideas;
  if (kind != QueryKind::Autocomplete) return ideas;
  if (std::optional<std::vector<std::string>> suggestions = service->ReadSuggestions(body)) {
    for (std::string& text : *suggestions) ideas.push_back({IdeaKind::kAutocomplete, std::move(text)});
  }
  return ideas;
}

ServiceAnswer PrepareQuery(const Credentials& settings, QueryKind kind, const std::string& text) {
  ServiceAnswer answer;
  answer.service_name = settings.service;
  answer.service = FindSearchService(settings.service);
  answer.kind = kind;
  answer.kind = kind;
  answer.endpoint = settings.endpoint;
  answer.engine_code = settings.engine_code;
  if (answer.service == nullptr) return answer;
  if (answer.service->PostsTasks()) answer.location = DfsLocationKey(settings.volume_country);
  if (!IsAcceptableEndpoint(settings.endpoint)) {
    answer.endpoint_refused = true;
    return answer;
  }
  // A service without suggestions is never asked for them: the answer is a failed one.
  if (kind == QueryKind::Autocomplete && !answer.service->GivesIdeas()) return answer;
  answer.url = answer.service->QueryURL(kind, text, settings);
  return answer;
}

void TakeReply(ServiceAnswer& answer, HttpAnswer reply) {
  answer.body = std::move(reply.body);
  answer.status = reply.status;
  answer.retry_after_s = reply.retry_after_s;
  answer.complete = reply.complete;
}

ServiceAnswer QueryService(HttpClient& http, const Credentials& settings, QueryKind kind,
                           const std::string& text, int& queries_sent) {
  ServiceAnswer answer = PrepareQuery(settings, kind, text);
  if (!answer.Sendable()) return answer;
  ++queries_sent;
  TakeReply(answer, SafeFetch(http, answer.url, kReceiveTimeoutMs));
  return answer;
}

std::optional<AccountFigures> AskAccount(HttpClient& http, const Credentials& settings,
                                         int timeout_ms) {
  const SearchService* service = FindSearchService(settings.service);
  if (service == nullptr) return std::nullopt;
  if (!IsAcceptableEndpoint(settings.endpoint)) return std::nullopt;
  const std::string url = service->AccountURL(settings);
  if (url.empty()) return std::nullopt;
  return service->ReadAccount(SafeFetch(http, url, timeout_ms).body);
}


}  // namespace kelvaro
