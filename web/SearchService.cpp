#include "web/SearchService.h"

#include <nlohmann/json.hpp>
#include <string_view>

#include "base/Error.h"
#include "base/Text.h"
#include "web/DataForSeo.h"
#include "web/uHelper.h"

namespace kelvaro {

namespace {

using nlohmann::json;

// SerpApi answers a search that finds nothing with HTTP 200 and this error.
constexpr char kSerpApiNoResults[] = "Google hasn't returned any results for this query.";

constexpr char kPublicResultsPage[] = "https://www.google.com/search?q=";

class GoogleCustomSearch final : public SearchService {
 public:
  const char* Name() const override { return kGoogleCustomSearch; }
  const char* DefaultEndpoint() const override { return kSearchEndpoint; }
  bool NeedsEngineCode() const override { return true; }

  std::string QueryURL(QueryKind kind, const std::string& text,
                       const Credentials& settings) const override {
    return BuildQueryURL(kind, text, settings.api_key, settings.engine_code,
                         EndpointOrDefault(settings.endpoint, DefaultEndpoint()));
  }
  bool ReadCount(const std::string& response, std::string& count) const override {
    return kelvaro::ReadCount(response, count);
  }
  std::string ErrorText(const std::string& response) const override {
    return kelvaro::ErrorText(response);
  }
  bool HasResultList(const std::string& response) const override { return HasItems(response); }
  std::vector<SearchResult> ReadResults(const std::string& response,
                                        size_t max_results) const override {
    return ReadItems(response, max_results);
  }
  bool GivesIdeas() const override { return false; }
  std::vector<KeywordIdea> ReadIdeas(const std::string&) const override { return {}; }
  std::optional<std::vector<std::string>> ReadSuggestions(const std::string&) const override {
    return std::nullopt;
  }
  std::string AccountURL(const Credentials&) const override { return std::string(); }
  std::optional<int64_t> ReadSearchesLeft(const std::string&) const override {
    return std::nullopt;
  }
  std::optional<AccountFigures> ReadAccount(const std::string&) const override {
    return std::nullopt;
  }
  // Google answers 429 rateLimitExceeded for both quotas; the message names the one met.
  AnswerLimit LimitIn(const std::string& response) const override {
    if (response.find("rateLimitExceeded") == std::string::npos) return AnswerLimit::kNone;
    const std::string message = MessageIn(response);
    if (message.find("'Queries per minute") != std::string::npos) return AnswerLimit::kPerMinute;
    if (message.find("'Queries per day'") != std::string::npos) return AnswerLimit::kPerDay;
    return AnswerLimit::kNone;
  }
};

// The answer as a JSON object; nullopt for anything else (empty, cut off, not JSON).
std::optional<json> ParseObject(const std::string& response) {
  json document = json::parse(response, nullptr, /*allow_exceptions=*/false);
  if (!document.is_object()) return std::nullopt;
  return document;
}

// The integer at `member` of `object` when it is a JSON integer that fits in 64 bits.
std::optional<int64_t> IntegerMember(const json& object, const char* member) {
  const auto it = object.find(member);
  if (it == object.end()) return std::nullopt;
  if (it->is_number_unsigned()) {
    const uint64_t value = it->get<uint64_t>();
    if (value > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<int64_t>(value);
  }
  if (it->is_number_integer()) return it->get<int64_t>();
  return std::nullopt;
}

// The string at `member` of `object`, or nullopt when there is none.
std::optional<std::string> StringMember(const json& object, const char* member) {
  const auto it = object.find(member);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

class SerpApi final : public SearchService {
 public:
  const char* Name() const override { return kSerpApi; }
  const char* DefaultEndpoint() const override { return kSerpApiEndpoint; }
  bool NeedsEngineCode() const override { return false; }

  std::string QueryURL(QueryKind kind, const std::string& text,
                       const Credentials& settings) const override {
    if (kind == QueryKind::Autocomplete) {
      return EndpointOrDefault(settings.endpoint, DefaultEndpoint()) +
             "/search.json?engine=google_autocomplete&q=" + QueryText(kind, text) +
             "&hl=en&api_key=" + KeyParameter(settings);
    }
    return EndpointOrDefault(settings.endpoint, DefaultEndpoint()) +
           "/search.json?engine=google&q=" + QueryText(kind, text) +
           "&hl=en&lr=lang_en&api_key=" + KeyParameter(settings);
  }

  bool ReadCount(const std::string& response, std::string& count) const override {
    const std::optional<json> answer = ParseObject(response);
    if (!answer) return false;
    if (const auto error = StringMember(*answer, "error")) {
      if (*error != kSerpApiNoResults) return false;
      count = "0";
      return true;
    }
    const auto info = answer->find("search_information");
    if (info == answer->end() || !info->is_object()) return false;
    const std::optional<int64_t> total = IntegerMember(*info, "total_results");
    if (!total || *total < 0) return false;
    count = std::to_string(*total);
    return true;
  }

  std::string ErrorText(const std::string& response) const override {
    const std::optional<json> answer = ParseObject(response);
    if (answer) {
      const std::optional<std::string> error = StringMember(*answer, "error");
      if (error && !error->empty()) return kAbnormalTermination + *error;
      if (ListsResultsWithoutCount(*answer)) return std::string(kAbnormalTermination) + kNoCountReason;
    }
    return kAbnormalTermination;
  }

  bool HasResultList(const std::string& response) const override {
    const std::optional<json> answer = ParseObject(response);
    if (!answer) return false;
    const auto list = answer->find("organic_results");
    return list != answer->end() && list->is_array();
  }

  std::vector<SearchResult> ReadResults(const std::string& response,
                                        size_t max_results) const override {
    std::vector<SearchResult> results;
    const std::optional<json> answer = ParseObject(response);
    if (!answer) return results;
    const auto list = answer->find("organic_results");
    if (list == answer->end() || !list->is_array()) return results;
    for (const json& entry : *list) {
      if (results.size() >= max_results) break;
      if (!entry.is_object()) continue;
      std::optional<std::string> title = StringMember(entry, "title");
      std::optional<std::string> link = StringMember(entry, "link");
      // An empty URL cell would read as a spacer row in Deep Analysis's second pass.
      if (!title || title->empty() || !link || link->empty()) continue;
      results.push_back({std::move(*title), std::move(*link)});
    }
    return results;
  }

  bool GivesIdeas() const override { return true; }

  std::vector<KeywordIdea> ReadIdeas(const std::string& response) const override {
    std::vector<KeywordIdea> ideas;
    const std::optional<json> answer = ParseObject(response);
    if (!answer) return ideas;
    ReadTexts(*answer, "related_searches", "query", IdeaKind::kRelatedSearch, ideas);
    ReadTexts(*answer, "related_questions", "question", IdeaKind::kQuestion, ideas);
    return ideas;
  }

  std::optional<std::vector<std::string>> ReadSuggestions(
      const std::string& response) const override {
    const std::optional<json> answer = ParseObject(response);
    if (!answer || answer->contains("error")) return std::nullopt;
    const auto list = answer->find("suggestions");
    if (list == answer->end() || !list->is_array()) return std::nullopt;
    std::vector<KeywordIdea> ideas;
    ReadTexts(*answer, "suggestions", "value", IdeaKind::kAutocomplete, ideas);
    std::vector<std::string> suggestions;
    suggestions.reserve(ideas.size());
    for (KeywordIdea& idea : ideas) suggestions.push_back(std::move(idea.text));
    return suggestions;
  }

  std::string AccountURL(const Credentials& settings) const override {
    return EndpointOrDefault(settings.endpoint, DefaultEndpoint()) +
           "/account.json?api_key=" + KeyParameter(settings);
  }

  std::optional<int64_t> ReadSearchesLeft(const std::string& response) const override {
    const std::optional<json> answer = ParseObject(response);
    if (!answer || answer->contains("error")) return std::nullopt;
    const std::optional<int64_t> left = IntegerMember(*answer, "total_searches_left");
    if (!left || *left < 0) return std::nullopt;
    return left;
  }

  std::optional<AccountFigures> ReadAccount(const std::string& response) const override {
    const std::optional<json> answer = ParseObject(response);
    if (!answer || answer->contains("error")) return std::nullopt;
    const auto figure = [&](const char* member) -> std::optional<int64_t> {
      const std::optional<int64_t> value = IntegerMember(*answer, member);
      if (!value || *value < 0) return std::nullopt;
      return value;
    };
    return AccountFigures{figure("total_searches_left"), figure("this_hour_searches"),
                          figure("account_rate_limit_per_hour")};
  }

  // SerpApi's 429 does not say which limit was met: its account answer does.
  AnswerLimit LimitIn(const std::string&) const override { return AnswerLimit::kNone; }

 private:
  static constexpr char kNoCountReason[] = "The answer lists results but no result count.";

  // SerpApi sometimes sends its organic results without search_information.total_results.
  static bool ListsResultsWithoutCount(const json& answer) {
    const auto list = answer.find("organic_results");
    if (list == answer.end() || !list->is_array() || list->empty()) return false;
    const auto info = answer.find("search_information");
    return info == answer.end() || !info->is_object() || !info->contains("total_results");
  }

  // The non-empty strings at `member` of the objects listed at `list` of `answer`, as ideas
  // of `kind`; anything else in the list is passed over.
  static void ReadTexts(const json& answer, const char* list, const char* member, IdeaKind kind,
                        std::vector<KeywordIdea>& ideas) {
    const auto entries = answer.find(list);
    if (entries == answer.end() || !entries->is_array()) return;
    for (const json& entry : *entries) {
      if (!entry.is_object()) continue;
      std::optional<std::string> text = StringMember(entry, member);
      if (text && !Trim(*text).empty()) ideas.push_back({kind, std::move(*text)});
    }
  }

  // A key holding "&" or "#" must not add parameters to the request or cut it short;
  // SerpApi's keys (hexadecimal) come through unchanged.
  static std::string KeyParameter(const Credentials& settings) {
    return URLEncode(Trim(settings.api_key));
  }
};

// DataForSEO answers by task: the session posts the queries and collects the answers
// (search/TaskRun); this reads a collected task's answer. The URL is the link a count cell
// keeps: the task_post address with the query text, never the login or the password.
class DataForSeoService final : public SearchService {
 public:
  const char* Name() const override { return kDataForSeo; }
  const char* DefaultEndpoint() const override { return kDataForSeoEndpoint; }
  bool NeedsEngineCode() const override { return false; }
  bool PostsTasks() const override { return true; }

  std::string QueryURL(QueryKind kind, const std::string& text,
                       const Credentials& settings) const override {
    return TaskPostURL(settings.endpoint) + "?q=" + QueryText(kind, text);
  }
  bool ReadCount(const std::string& response, std::string& count) const override {
    return ReadTaskCount(response, count);
  }
  std::string ErrorText(const std::string& response) const override {
    return TaskErrorText(response);
  }
  bool HasResultList(const std::string& response) const override {
    return TaskHasResultList(response);
  }
  std::vector<SearchResult> ReadResults(const std::string& response,
                                        size_t max_results) const override {
    return ReadTaskResults(response, max_results);
  }
  bool GivesIdeas() const override { return false; }
  std::vector<KeywordIdea> ReadIdeas(const std::string&) const override { return {}; }
  std::optional<std::vector<std::string>> ReadSuggestions(const std::string&) const override {
    return std::nullopt;
  }
  // The balance is asked with the login in a header (search/TaskRun), not by URL.
  std::string AccountURL(const Credentials&) const override { return std::string(); }
  std::optional<int64_t> ReadSearchesLeft(const std::string&) const override {
    return std::nullopt;
  }
  std::optional<AccountFigures> ReadAccount(const std::string&) const override {
    return std::nullopt;
  }
  AnswerLimit LimitIn(const std::string&) const override { return AnswerLimit::kNone; }
};

const GoogleCustomSearch kGoogleService;
const SerpApi kSerpApiService;
const DataForSeoService kDataForSeoService;
const SearchService* const kServices[] = {&kGoogleService, &kSerpApiService,
                                          &kDataForSeoService};

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Where the parameters of a query URL of either service begin (its first "?"), or npos for
// any other text.
size_t QueryStart(const std::string& url) {
  const size_t question = url.find('?');
  if (question == std::string::npos) return question;
  const std::string_view path = std::string_view(url).substr(0, question);
  if (!path.ends_with("/customsearch/v1") && !path.ends_with("/search.json") &&
      !path.ends_with("/task_post")) {
    return std::string::npos;
  }
  return question;
}

}  // namespace

std::string SearchService::MessageIn(const std::string& response) const {
  const std::string text = ErrorText(response);
  const std::string prefix = kAbnormalTermination;
  return text.compare(0, prefix.size(), prefix) == 0 ? text.substr(prefix.size()) : text;
}

const SearchService* FindSearchService(const std::string& name) {
  if (name.empty()) return &kGoogleService;
  for (const SearchService* service : kServices) {
    if (name == service->Name()) return service;
  }
  return nullptr;
}

const SearchService& SearchServiceNamed(const std::string& name) {
  const SearchService* service = FindSearchService(name);
  if (service == nullptr) throw Error("Unknown search service \"" + name + "\"");
  return *service;
}

std::vector<std::string> SearchServiceNames() {
  std::vector<std::string> names;
  for (const SearchService* service : kServices) names.emplace_back(service->Name());
  return names;
}

bool IsValidEndpoint(const std::string& endpoint) {
  const std::string text = Trim(endpoint);
  if (text.empty()) return true;
  std::string_view rest(text);
  if (StartsWithIgnoringAsciiCase(rest, "https://")) {
    rest.remove_prefix(8);
  } else if (StartsWithIgnoringAsciiCase(rest, "http://")) {
    rest.remove_prefix(7);
  } else {
    return false;
  }
  const size_t path_start = rest.find('/');
  std::string_view authority = rest.substr(0, path_start);
  const std::string_view path =
      path_start == std::string_view::npos ? std::string_view() : rest.substr(path_start);

  // The host: a name, or an IPv6 address in brackets.
  size_t host_end;
  if (!authority.empty() && authority[0] == '[') {
    host_end = authority.find(']');
    if (host_end == std::string_view::npos || host_end == 1) return false;
    for (const char c : authority.substr(1, host_end - 1)) {
      if (!IsAsciiAlnum(c) && c != ':' && c != '.') return false;
    }
    ++host_end;
  } else {
    host_end = authority.find(':');
    if (host_end == std::string_view::npos) host_end = authority.size();
    if (host_end == 0) return false;
    for (const char c : authority.substr(0, host_end)) {
      if (!IsAsciiAlnum(c) && c != '-' && c != '.') return false;
    }
  }
  const std::string_view port = authority.substr(host_end);
  if (!port.empty()) {
    if (port[0] != ':' || port.size() < 2 || port.size() > 6) return false;
    long number = 0;
    for (const char c : port.substr(1)) {
      if (c < '0' || c > '9') return false;
      number = number * 10 + (c - '0');
    }
    if (number < 1 || number > 65535) return false;
  }
  // Only what a URL path may hold as it is: a quote or an angle bracket would end the link
  // the address goes into, and the rest is not sent as typed.
  static constexpr std::string_view kNotInPath = "?#&%\"<>'\\`{}|^";
  for (const char c : path) {
    if (c <= ' ' || c > '~' || kNotInPath.find(c) != std::string_view::npos) return false;
  }
  return true;
}

std::string EndpointOrDefault(const std::string& endpoint, const std::string& default_endpoint) {
  std::string address = Trim(endpoint);
  while (!address.empty() && address.back() == '/') address.pop_back();
  return address.empty() ? default_endpoint : address;
}

std::string WithoutKey(const std::string& url) {
  const size_t question = QueryStart(url);
  if (question == std::string::npos) return url;
  size_t from = question + 1;
  while (from <= url.size()) {
    size_t to = url.find('&', from);
    if (to == std::string::npos) to = url.size();
    const std::string_view parameter = std::string_view(url).substr(from, to - from);
    if (parameter.substr(0, 4) == "key=" || parameter.substr(0, 8) == "api_key=") {
      return url.substr(0, from - 1);
    }
    from = to + 1;
  }
  return url;
}

std::string PublicResultsURL(const std::string& query_url) {
  const size_t question = QueryStart(query_url);
  if (question == std::string::npos) return std::string();
  // The first q wins, as the services read it; the key and engine code come after it.
  size_t from = question + 1;
  while (from <= query_url.size()) {
    size_t to = query_url.find('&', from);
    if (to == std::string::npos) to = query_url.size();
    const std::string_view parameter = std::string_view(query_url).substr(from, to - from);
    if (parameter.substr(0, 2) == "q=") {
      std::string link = kPublicResultsPage;
      for (const char c : parameter.substr(2)) {
        if (IsAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '%' ||
            c == '+') {
          link += c;
        } else {
          link += '%' + HexByte(static_cast<unsigned char>(c));
        }
      }
      return link;
    }
    from = to + 1;
  }
  return std::string();
}

}  // namespace kelvaro
