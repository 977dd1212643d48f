#include "store/AnswerReuse.h"

#include <optional>
#include <utility>

#include "base/CodePage.h"

namespace kelvaro {

std::vector<AnswerKey> RunAnswerKeys(const SearchSettings& settings,
                                     const std::vector<std::string>& texts,
                                     std::initializer_list<QueryKind> kinds) {
  std::vector<AnswerKey> keys;
  keys.reserve(texts.size() * kinds.size());
  for (const std::string& text : texts) {
    for (const QueryKind kind : kinds)
      keys.push_back({settings.service, settings.endpoint, kind, text});
  }
  return keys;
}

StartCost KeywordRunStartCost(const AnswerStore* store, int reuse_days,
                              const SearchSettings& settings,
                              const std::vector<std::string>& phrases) {
  const std::vector<AnswerKey> keys =
      RunAnswerKeys(settings, phrases, {QueryKind::Phrase, QueryKind::Title, QueryKind::URL});
  StartCost cost;
  if (store != nullptr) cost.stored = store->CountFresh(keys, reuse_days);
  cost.queries = static_cast<int64_t>(keys.size()) - cost.stored;
  return cost;
}

StartCost DeepAnalysisStartCost(const AnswerStore* store, int reuse_days,
                                const SearchSettings& settings,
                                const std::vector<std::string>& phrases, size_t max_results) {
  StartCost cost;
  const auto per_phrase = static_cast<int64_t>(1 + max_results);
  if (store == nullptr || reuse_days <= 0) {
    cost.queries = static_cast<int64_t>(phrases.size()) * per_phrase;
    return cost;
  }
  // The worker asks for the backlinks of a result as the grid shows its link.
  const unsigned code_page = SystemCodePage();
  for (const std::string& phrase : phrases) {
    const std::optional<StoredAnswer> answer =
        store->Lookup(settings.service, settings.endpoint, QueryKind::Phrase, phrase, reuse_days);
    if (!answer) {
      cost.queries += per_phrase;
      continue;
    }
    ++cost.stored;
    if (!answer->results) continue;  // no result list: no backlinks to ask
    std::vector<std::string> links;
    for (size_t i = 0; i < answer->results->size() && i < max_results; ++i) {
      links.push_back(FromUtf8((*answer->results)[i].link, code_page));
    }
    const int stored_links =
        store->CountFresh(RunAnswerKeys(settings, links, {QueryKind::Backlinks}), reuse_days);
    cost.stored += stored_links;
    cost.queries += static_cast<int64_t>(links.size()) - stored_links;
  }
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

AnswerReuse::AnswerReuse(AccountLimits& limits, WorkerHost& host, AnswerStore* store,
                         int reuse_days)
    : limits_(limits), host_(host), store_(store), reuse_days_(reuse_days) {}

AccountLimits::Action AnswerReuse::Query(QueryKind kind, const std::string& text, int& queries_sent,
                                         ServiceAnswer& answer, std::string& count) {
  if (Reusing()) {
    // The settings of now, as a request would read them: the link is built from them too.
    const SearchSettings settings = RequestSettings(host_);
    const SearchService* service = FindSearchService(settings.service);
    std::optional<StoredAnswer> stored;
    if (service != nullptr) {
      stored = store_->Lookup(settings.service, settings.endpoint, kind, text, reuse_days_);
    }
    if (stored) {
      answer = ServiceAnswer();
      answer.service = service;
      answer.service_name = settings.service;
      answer.endpoint = settings.endpoint;
      answer.url = service->QueryURL(kind, text, settings);
      count = stored->count;
      answer.stored = std::move(stored);
      ++stored_used_;
      last_stored_ = true;
      return AccountLimits::Action::kCounted;
    }
  }
  for (const int ms : pending_ms_) host_.Pause(ms);
  pending_ms_.clear();
  last_stored_ = false;
  const AccountLimits::Action action = limits_.Query(kind, text, queries_sent, answer, count);
  if (action == AccountLimits::Action::kCounted && answer.complete && store_ != nullptr) {
    std::optional<std::vector<SearchResult>> results;
    if (kind == QueryKind::Phrase && answer.HasResultList()) {
      results = answer.ReadResults(kStoredResults);
    }
    // A record that fails (a full disk, a locked or damaged file) costs the run nothing.
    store_->Record(answer.service_name, answer.endpoint, kind, text, count, results);
  }
  return action;
}

void AnswerReuse::Pause(int ms) {
  if (!Reusing()) {
    host_.Pause(ms);
  } else if (!last_stored_ && ms > 0) {
    pending_ms_.push_back(ms);
  }
}

bool AnswerReuse::ConfirmStart(const std::vector<std::string>& texts,
                               std::initializer_list<QueryKind> kinds, int more_per_text) {
  const auto n = static_cast<int64_t>(texts.size());
  int64_t needed = n * (static_cast<int64_t>(kinds.size()) + more_per_text);
  if (Reusing()) {
    const int stored =
        store_->CountFresh(RunAnswerKeys(RequestSettings(host_), texts, kinds), reuse_days_);
    if (stored > 0 && stored == needed) return true;
    needed -= stored;
  }
  return limits_.ConfirmStart(needed);
}

}  // namespace kelvaro
