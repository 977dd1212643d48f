#include "search/AnswerReuse.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/CodePage.h"
#include "web/DataForSeo.h"
#include "web/SearchService.h"

namespace kelvaro {

AnswerKey RequestKey(const Credentials& settings, QueryKind kind, const std::string& text) {
  // DataForSEO is told a location and a language: its answers are filed under them.
  const SearchService* service = FindSearchService(settings.service);
  std::string location;
  if (service != nullptr && service->PostsTasks()) location = DfsLocationKey(settings.volume_country);
  return {settings.service, settings.endpoint, kind, text, settings.engine_code, location};
}

std::vector<AnswerKey> RunAnswerKeys(const Credentials& settings,
                                     const std::vector<std::string>& texts,
                                     std::initializer_list<QueryKind> kinds) {
  std::vector<AnswerKey> keys;
  keys.reserve(texts.size() * kinds.size());
  for (const std::string& text : texts) {
    for (const QueryKind kind : kinds) keys.push_back(RequestKey(settings, kind, text));
  }
  return keys;
}

namespace {

bool Reuses(const AnswerStore* store, int reuse_days) {
  return store != nullptr && reuse_days > 0 && store->Available();
}

// `texts` without the repeats; each repeat counts `per_repeat` stored answers in `cost`.
std::vector<std::string> FirstOfEach(const std::vector<std::string>& texts, int64_t per_repeat,
                                     std::unordered_set<std::string>& seen, StartCost& cost) {
  std::vector<std::string> first;
  for (const std::string& text : texts) {
    if (seen.insert(text).second) {
      first.push_back(text);
    } else {
      cost.stored += per_repeat;
    }
  }
  return first;
}

}  // namespace

StartCost KeywordRunStartCost(const AnswerStore* store, int reuse_days,
                              const Credentials& settings,
                              const std::vector<std::string>& phrases) {
  const std::initializer_list<QueryKind> kKinds = {QueryKind::Phrase, QueryKind::Title,
                                                   QueryKind::URL};
  StartCost cost;
  if (!Reuses(store, reuse_days)) {
    cost.queries = static_cast<int64_t>(phrases.size() * kKinds.size());
    return cost;
  }
  std::unordered_set<std::string> seen;
  const std::vector<AnswerKey> keys = RunAnswerKeys(
      settings, FirstOfEach(phrases, static_cast<int64_t>(kKinds.size()), seen, cost), kKinds);
  const int fresh = store->CountFresh(keys, reuse_days);
  cost.stored += fresh;
  cost.queries = static_cast<int64_t>(keys.size()) - fresh;
  return cost;
}

StartCost DeepAnalysisStartCost(const AnswerStore* store, int reuse_days,
                                const Credentials& settings,
                                const std::vector<std::string>& phrases, size_t max_results) {
  StartCost cost;
  const auto per_phrase = static_cast<int64_t>(1 + max_results);
  if (!Reuses(store, reuse_days)) {
    cost.queries = static_cast<int64_t>(phrases.size()) * per_phrase;
    return cost;
  }
  // A repeated phrase is answered from the store, and so are its results' backlinks (how
  // many is known only of a stored answer): the stored answers each repeat uses, by phrase.
  std::unordered_map<std::string, int64_t> repeat_uses;
  std::unordered_set<std::string> seen_links;
  std::vector<std::string> links;
  // The worker asks for the backlinks of a result as the grid shows its link.
  const unsigned code_page = SystemCodePage();
  for (const std::string& phrase : phrases) {
    if (const auto repeat = repeat_uses.find(phrase); repeat != repeat_uses.end()) {
      cost.stored += repeat->second;
      continue;
    }
    const std::optional<StoredAnswer> answer =
        store->Lookup(RequestKey(settings, QueryKind::Phrase, phrase), reuse_days);
    if (!answer) {
      cost.queries += per_phrase;
      repeat_uses.emplace(phrase, 1);
      continue;
    }
    ++cost.stored;
    std::vector<std::string> listed;
    // No result list: no backlinks to ask.
    for (size_t i = 0; answer->results && i < answer->results->size() && i < max_results; ++i) {
      listed.push_back(FromUtf8((*answer->results)[i].link, code_page));
    }
    repeat_uses.emplace(phrase, 1 + static_cast<int64_t>(listed.size()));
    for (std::string& link : FirstOfEach(listed, 1, seen_links, cost)) {
      links.push_back(std::move(link));
    }
  }
  const int stored_links =
      store->CountFresh(RunAnswerKeys(settings, links, {QueryKind::Backlinks}), reuse_days);
  cost.stored += stored_links;
  cost.queries += static_cast<int64_t>(links.size()) - stored_links;
  return cost;
}

StartCost AutocompleteStartCost(const AnswerStore* store, int reuse_days,
                                 const Credentials& settings,
                                 const std::vector<std::string>& seeds) {
  StartCost cost;
  if (!Reuses(store, reuse_days)) {
    cost.queries = static_cast<int64_t>(seeds.size());
    return cost;
  }
  std::unordered_set<std::string> seen;
  const std::vector<AnswerKey> keys =
      RunAnswerKeys(settings, FirstOfEach(seeds, 1, seen, cost), {QueryKind::Autocomplete});
  const int fresh = store->CountFresh(keys, reuse_days);
  cost.stored += fresh;
  cost.queries = static_cast<int64_t>(keys.size()) - fresh;
  return cost;
}

std::vector<std::string> VolumesToAsk(const AnswerStore* store, int reuse_days,
                                      const std::string& country,
                                      const std::vector<std::string>& phrases,
                                      std::vector<std::optional<int64_t>>& stored) {
  std::vector<std::string> to_ask = phrases;
  stored.assign(phrases.size(), std::nullopt);
  if (store == nullptr || reuse_days <= 0) return to_ask;
  for (size_t i = 0; i < phrases.size(); ++i) {
    stored[i] = store->LookupVolume(country, phrases[i], reuse_days);
    if (stored[i]) to_ask[i].clear();
  }
  return to_ask;
}

AnswerReuse::AnswerReuse(AccountLimits& limits, WorkerHost& host, const SearchWire& wire,
                         AnswerStore* store,
                         int reuse_days)
    : limits_(limits), host_(host), wire_(wire), store_(store), reuse_days_(reuse_days) {}

std::optional<ServiceAnswer> AnswerReuse::Stored(QueryKind kind, const std::string& text) {
  if (!Reusing()) return std::nullopt;
  // The settings of now, as a request would read them: the link is built from them too.
  const Credentials settings = wire_.Settings();
  const SearchService* service = FindSearchService(settings.service);
  if (service == nullptr) return std::nullopt;
  std::optional<StoredAnswer> stored = store_->Lookup(RequestKey(settings, kind, text), reuse_days_);
  if (!stored) return std::nullopt;
  ServiceAnswer answer;
  answer.service = service;
  answer.kind = kind;
  answer.service_name = settings.service;
  answer.endpoint = settings.endpoint;
  answer.engine_code = settings.engine_code;
  answer.url = service->QueryURL(kind, text, settings);
  answer.stored = std::move(stored);
  ++stored_used_;
  return answer;
}

void AnswerReuse::Record(QueryKind kind, const std::string& text, const ServiceAnswer& answer,
                         const std::string& count) {
  if (!answer.complete || answer.stored || store_ == nullptr) return;
  std::optional<std::vector<SearchResult>> results;
  if (kind == QueryKind::Phrase && answer.HasResultList()) {
    results = answer.ReadResults(kStoredResults);
  }
  // A record that fails (a full disk, a locked or damaged file) costs the run nothing.
  store_->Record({answer.service_name, answer.endpoint, kind, text, answer.engine_code,
                  answer.location},
                 count,
                 results, answer.ReadIdeas());
}

AccountLimits::Action AnswerReuse::Query(QueryKind kind, const std::string& text, int& queries_sent,
                                         ServiceAnswer& answer, std::string& count) {
  if (std::optional<ServiceAnswer> stored = Stored(kind, text)) {
    answer = std::move(*stored);
    count = answer.stored->count;
    last_stored_ = true;
    return AccountLimits::Action::kCounted;
  }
  for (const int ms : pending_ms_) host_.Pause(ms);
  pending_ms_.clear();
  last_stored_ = false;
  const AccountLimits::Action action = limits_.Query(kind, text, queries_sent, answer, count);
  if (action == AccountLimits::Action::kCounted) Record(kind, text, answer, count);
  return action;
}

void AnswerReuse::Pause(int ms) {
  if (!Reusing()) {
    host_.Pause(ms);
  } else if (!last_stored_ && ms > 0) {
    pending_ms_.push_back(ms);
  }
}

bool AnswerReuse::ConfirmStart(const StartCost& cost) {
  if (cost.queries == 0 && cost.stored > 0) return true;
  return limits_.ConfirmStart(cost.queries);
}

}  // namespace kelvaro
