#include "search/SearchSession.h"

#include <algorithm>
#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <cstddef>
#include <utility>

#include "base/CodePage.h"
#include "store/AnswerStore.h"
#include "web/SearchService.h"
#include "web/DomainRankService.h"
#include "web/VolumeService.h"
#include "web/uHelper.h"

namespace kelvaro {

namespace {

// The lines as the volume service reads them (UTF-8; the lines are in the system's code page).
std::vector<std::string> Utf8Lines(const std::vector<std::string>& lines) {
  std::vector<std::string> phrases;
  phrases.reserve(lines.size());
  const unsigned code_page = SystemCodePage();
  for (const std::string& line : lines) phrases.push_back(ToUtf8(line, code_page));
  return phrases;
}

bool WantsVolumes(const Credentials& credentials) { return !Trim(credentials.volume_key).empty(); }

// What a count cell links to: the query built again without the key, so no placeholder in the
// other settings can carry the key into the link, then without its empty key parameter.
std::string KeylessLink(const ServiceAnswer& reply, const SearchQuery& query) {
  if (reply.service == nullptr) return std::string();
  Credentials keyless;
  keyless.engine_code = reply.engine_code;
  keyless.service = reply.service_name;
  keyless.endpoint = reply.endpoint;
  return WithoutKey(reply.service->QueryURL(query.kind, query.text, keyless));
}

}  // namespace

RunPlan PlanRun(RunShape shape, const std::vector<std::string>& lines,
                const Credentials& credentials, const std::string& endpoint,
                const AnswerStore* store, int reuse_days) {
  const Credentials settings = RequestSettings(credentials, endpoint);
  if (shape == RunShape::kAutocomplete) {
    const StartCost asked = AutocompleteStartCost(store, reuse_days, settings, lines);
    return RunPlan{asked.queries, asked.stored, 0};
  }
  RunPlan plan;
  const StartCost cost =
      shape == RunShape::kKeywords
          ? KeywordRunStartCost(store, reuse_days, settings, lines)
          : DeepAnalysisStartCost(store, reuse_days, settings, lines,
                                  shape == RunShape::kDeepAnalysis ? kDeepAnalysisMaxResults : 0);
  plan.queries = cost.queries;
  plan.stored = cost.stored;
  if (shape == RunShape::kKeywords && WantsVolumes(credentials)) {
    // Volumes in the store cost nothing.
    std::vector<std::optional<int64_t>> stored;
    plan.volume_credits = VolumeCredits(VolumesToAsk(store, reuse_days, credentials.volume_country,
                                                     Utf8Lines(lines), stored));
  }
  return plan;
}

SearchSession::SearchSession(const SearchSetup& setup, WorkerHost& host,
                             const std::atomic<bool>& stop)
    : setup_(setup),
      stop_(stop),
      wire_(*setup_.credentials, setup_.endpoint, *setup_.http),
      limits_(host, wire_, stop, setup_.limits),
      reuse_(limits_, host, wire_, setup_.store, setup_.reuse_days) {}

RunPlan SearchSession::Plan(RunShape shape, const std::vector<std::string>& lines) const {
  return PlanRun(shape, lines, wire_.CurrentCredentials(), wire_.Endpoint(), setup_.store,
                 setup_.reuse_days);
}

bool SearchSession::ConfirmStart(const RunPlan& plan) {
  return reuse_.ConfirmStart(StartCost{plan.queries, plan.stored});
}

namespace {

// The answer handed to a worker for `query`, the `index`th of its Ask.
SearchAnswer MakeAnswer(size_t index, const SearchQuery& query, const ServiceAnswer& reply,
                        const std::optional<std::string>& count, size_t max_results) {
  SearchAnswer answer;
  answer.index = index;
  if (!count) {
    answer.outcome = AnswerOutcome::kFailed;
    answer.failure = reply.Failure();
    return answer;
  }
  answer.outcome = AnswerOutcome::kCounted;
  answer.count = *count;
  answer.link = KeylessLink(reply, query);
  answer.has_result_list = reply.HasResultList();
  if (max_results > 0 && answer.has_result_list) answer.results = reply.ReadResults(max_results);
  answer.stored_at = reply.StoredAt();
  answer.ideas = reply.ReadIdeas();
  return answer;
}

}  // namespace

bool SearchSession::Ask(const std::vector<SearchQuery>& queries, size_t max_results,
                        const std::function<AnswerFlow(const SearchAnswer&)>& on_answer) {
  return setup_.at_once > 1 ? AskAtOnce(queries, max_results, on_answer)
                            : AskOneByOne(queries, max_results, on_answer);
}

bool SearchSession::AskOneByOne(const std::vector<SearchQuery>& queries, size_t max_results,
                                const std::function<AnswerFlow(const SearchAnswer&)>& on_answer) {
  std::optional<size_t> skipped_group;
  for (size_t i = 0; i < queries.size(); ++i) {
    if (skipped_group == queries[i].group) continue;
    ServiceAnswer reply;
    std::string count;
    const AccountLimits::Action action =
        reuse_.Query(queries[i].kind, queries[i].text, queries_sent_, reply, count);
    if (action == AccountLimits::Action::kEnd) return false;
    const bool counted = action == AccountLimits::Action::kCounted;
    const SearchAnswer answer = MakeAnswer(
        i, queries[i], reply, counted ? std::optional<std::string>(count) : std::nullopt,
        max_results);
    switch (on_answer(answer)) {
      case AnswerFlow::kGoOn:
        break;
      case AnswerFlow::kSkipRest:
        skipped_group = queries[i].group;
        break;
      case AnswerFlow::kEnd:
        return false;
    }
  }
  return true;
}

bool SearchSession::AskAtOnce(const std::vector<SearchQuery>& queries, size_t max_results,
                              const std::function<AnswerFlow(const SearchAnswer&)>& on_answer) {
  const size_t n = queries.size();
  const auto at_once = static_cast<size_t>(std::min(setup_.at_once, kMaxSearchesAtOnce));
  if (batch_ == nullptr) batch_ = wire_.StartBatch();
  HttpBatch& batch = *batch_;
  // By index, only while they are needed: the requests under way (or answered with a limit)
  // and the answers not handed on yet. A long run holds no answer it handed on.
  std::unordered_map<size_t, ServiceAnswer> replies;
  std::unordered_map<size_t, SearchAnswer> ready;
  std::unordered_set<size_t> skipped_groups;
  std::deque<size_t> resend;   // sent again after a limit, before the next new one
  std::vector<size_t> limited;  // answered with a limit; dealt with once nothing is under way
  size_t next_send = 0;
  size_t next_hand = 0;
  size_t end_at = n;  // no answer from here on is handed on
  bool sending = true;  // false after Stop, kEnd or the end at a limit
  bool ended = false;   // the run ends with this Ask
  bool question_waits = false;
  const auto skipped = [&](size_t i) { return skipped_groups.count(queries[i].group) > 0; };
  const auto ended_at = [&](size_t i) {
    sending = false;
    ended = true;
    end_at = std::min(end_at, i);
  };

  for (;;) {
    // Hand on what is ready, in order.
    question_waits = false;
    while (next_hand < end_at) {
      const size_t i = next_hand;
      if (skipped(i)) {
        ready.erase(i);
        ++next_hand;
        continue;
      }
      const auto answer = ready.find(i);
      if (answer == ready.end()) break;
      if (answer->second.outcome == AnswerOutcome::kFailed && batch.Pending() > 0) {
        question_waits = true;
        break;
      }
      const AnswerFlow flow = on_answer(answer->second);
      ready.erase(answer);
      ++next_hand;
      if (flow == AnswerFlow::kSkipRest) skipped_groups.insert(queries[i].group);
      if (flow == AnswerFlow::kEnd) ended_at(next_hand);
    }
    if (next_hand >= end_at) break;

    // Send while there is room.
    while (sending && !question_waits && limited.empty() && batch.Pending() < at_once) {
      size_t i = 0;
      if (!resend.empty()) {
        i = resend.front();
        resend.pop_front();
      } else if (next_send < n) {
        i = next_send++;
      } else {
        break;
      }
      if (skipped(i)) continue;
      if (stop_) {
        ended_at(i);
        break;
      }
      const QueryKind kind = queries[i].kind;
      const std::string& text = queries[i].text;
      if (std::optional<ServiceAnswer> stored = reuse_.Stored(kind, text)) {
        ready.emplace(i, MakeAnswer(i, queries[i], *stored, stored->stored->count, max_results));
        continue;
      }
      // The account's hour shared out: a run of many at once never runs into its limit.
      if (const std::optional<int64_t> room = limits_.HourRoom(); room && sent_in_hour_ >= *room) {
        resend.push_front(i);
        if (batch.Pending() > 0) break;
        const AccountLimits::Action action = limits_.WaitForRoom();
        sent_in_hour_ = 0;
        if (action == AccountLimits::Action::kEnd) ended_at(i);
        continue;
      }
      ServiceAnswer prepared = wire_.Prepare(kind, text);
      if (!prepared.Sendable()) {
        ready.emplace(i, MakeAnswer(i, queries[i], prepared, std::nullopt, max_results));
        continue;
      }
      ++queries_sent_;
      ++sent_in_hour_;
      batch.Add(i, prepared.url, kReceiveTimeoutMs);
      replies[i] = std::move(prepared);
    }

    if (batch.Pending() == 0) {
      if (limited.empty()) {
        // Nothing under way and nothing more to send: the run stopped short of the rest.
        if (!sending || (next_send >= n && resend.empty())) {
          if (ready.count(next_hand) > 0 || skipped(next_hand)) continue;
          ended_at(next_hand);
          break;
        }
        continue;
      }
      // Every query answered with a limit waits once, behind the first of them.
      std::sort(limited.begin(), limited.end());
      const AccountLimits::Action action = limits_.AfterFailure(replies[limited.front()]);
      if (action == AccountLimits::Action::kResend) {
        resend.insert(resend.begin(), limited.begin(), limited.end());
      } else if (action == AccountLimits::Action::kEnd) {
        ended_at(limited.front());
      } else {
        for (const size_t i : limited) {
          ready.emplace(i, MakeAnswer(i, queries[i], replies[i], std::nullopt, max_results));
        }
      }
      for (const size_t i : limited) replies.erase(i);
      limited.clear();
      continue;
    }

    for (auto& [i, http] : batch.Next()) {
      ServiceAnswer& reply = replies[i];
      TakeReply(reply, std::move(http));
      limits_.NoteAnswer(reply);
      std::string count;
      const bool counted = reply.ReadCount(count);
      if (counted) reuse_.Record(queries[i].kind, queries[i].text, reply, count);
      if (i >= end_at || skipped(i)) {
        // Nobody waits for it any more.
      } else if (!counted && AccountLimits::MayBeLimit(reply)) {
        limited.push_back(i);
        continue;  // AfterFailure reads it
      } else {
        ready.emplace(i, MakeAnswer(i, queries[i], reply,
                                    counted ? std::optional<std::string>(count) : std::nullopt,
                                    max_results));
      }
      replies.erase(i);
    }
  }
  // What is still under way is answered and stored; nobody waits for it.
  while (batch.Pending() > 0) {
    for (auto& [i, http] : batch.Next()) {
      ServiceAnswer& reply = replies[i];
      TakeReply(reply, std::move(http));
      limits_.NoteAnswer(reply);
      std::string count;
      if (reply.ReadCount(count)) reuse_.Record(queries[i].kind, queries[i].text, reply, count);
      replies.erase(i);
    }
  }
  return !ended;
}

void SearchSession::Pause(int ms) {
  if (setup_.at_once <= 1) reuse_.Pause(ms);
}

LineVolumes SearchSession::AskVolumes(const std::vector<std::string>& lines) {
  LineVolumes result;
  const Credentials credentials = wire_.CurrentCredentials();
  if (!WantsVolumes(credentials)) return result;
  result.asked = true;
  result.volumes.assign(lines.size(), std::nullopt);
  const std::vector<std::string> phrases = Utf8Lines(lines);
  const std::string url = VolumeURL(wire_.Endpoint());
  const std::vector<std::string> headers = VolumeHeaders(credentials.volume_key);
  // Volumes already paid for stand in for a request, as stored counts do; the others are asked.
  std::vector<std::optional<int64_t>> asked;
  const std::vector<std::string> to_ask = VolumesToAsk(setup_.store, setup_.reuse_days,
                                                       credentials.volume_country, phrases, asked);
  for (const VolumeRequest& request : VolumeRequests(to_ask, credentials.volume_country)) {
    if (stop_) break;
    const HttpAnswer http = wire_.Post(url, headers, request.body, kReceiveTimeoutMs);
    const VolumeAnswer answer = ReadVolumeAnswer(http.status, http.body, request, to_ask);
    if (answer.credits) result.credits_left = answer.credits;
    if (!answer.ok) {
      result.failure = FromUtf8(answer.message, SystemCodePage());
      break;
    }
    for (size_t j = 0; j < request.phrases.size(); ++j) {
      const size_t i = request.phrases[j];
      asked[i] = answer.volumes[j];
      // Only a whole answer is kept: a cut-off one is used for this run alone.
      if (asked[i] && http.complete && setup_.store != nullptr) {
        setup_.store->RecordVolume(credentials.volume_country, phrases[i], *asked[i]);
      }
    }
  }
  const std::vector<size_t> sources = VolumeSources(phrases);
  for (size_t i = 0; i < sources.size(); ++i) {
    if (sources[i] != SIZE_MAX) result.volumes[i] = asked[sources[i]];
  }
  volume_failure_ = result.failure;
  volume_credits_left_ = result.credits_left;
  return result;
}

bool SearchSession::AsksDomainRanks() const {
  return !Trim(wire_.CurrentCredentials().rank_key).empty();
}

DomainRanks SearchSession::AskDomainRanks(const std::vector<std::string>& domains) {
  DomainRanks result;
  const Credentials credentials = wire_.CurrentCredentials();
  if (Trim(credentials.rank_key).empty()) return result;
  result.asked = true;
  result.ranks.assign(domains.size(), std::nullopt);
  // Ranks already asked for stand in for a request, as stored counts do.
  std::vector<std::string> to_ask;
  std::vector<size_t> asked_index;
  for (size_t i = 0; i < domains.size(); ++i) {
    if (setup_.store != nullptr) {
      result.ranks[i] = setup_.store->LookupDomainRank(domains[i], setup_.reuse_days);
    }
    if (!result.ranks[i]) {
      to_ask.push_back(domains[i]);
      asked_index.push_back(i);
    }
  }
  const std::vector<std::string> headers = RankHeaders(credentials.rank_key);
  const std::vector<std::string> urls = RankURLs(wire_.Endpoint(), to_ask);
  for (size_t batch = 0; batch < urls.size(); ++batch) {
    if (stop_) break;
    const size_t first = batch * kRankBatchSize;
    const size_t last = std::min(first + kRankBatchSize, to_ask.size());
    const std::vector<std::string> asked(to_ask.begin() + static_cast<std::ptrdiff_t>(first),
                                         to_ask.begin() + static_cast<std::ptrdiff_t>(last));
    const HttpAnswer http = wire_.GetWithHeaders(urls[batch], headers, kReceiveTimeoutMs);
    const RankAnswer answer = ReadRankAnswer(http.status, http.body, asked, credentials.rank_key);
    if (!answer.ok) {
      result.failure = FromUtf8(answer.message, SystemCodePage());
      break;
    }
    for (size_t j = 0; j < asked.size(); ++j) {
      const size_t i = asked_index[first + j];
      result.ranks[i] = answer.ranks[j];
      // Only a whole answer is kept: a cut-off one is used for this run alone.
      if (answer.ranks[j] && http.complete && setup_.store != nullptr) {
        setup_.store->RecordDomainRank(domains[i], *answer.ranks[j]);
      }
    }
  }
  rank_failure_ = result.failure;
  return result;
}

RunCost SearchSession::Finish() {
  RunCost cost;
  cost.queries_sent = queries_sent_;
  cost.stored_used = reuse_.StoredUsed();
  cost.waited_ms = limits_.WaitedMs();
  // An account nobody could reach during the run is not asked again.
  if (limits_.Answered()) {
    const std::optional<AccountFigures> figures = wire_.AskAccount(setup_.limits.account_timeout_ms);
    if (figures) cost.searches_left = figures->searches_left;
  }
  cost.volume_credits_left = volume_credits_left_;
  cost.volume_failure = volume_failure_;
  cost.rank_failure = rank_failure_;
  return cost;
}

}  // namespace kelvaro
