#include "search/SearchSession.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <cstddef>
#include <utility>

#include "base/CodePage.h"
#include "base/Text.h"
#include "store/AnswerStore.h"
#include "web/DataForSeo.h"
#include "web/EndpointPolicy.h"
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

bool TaskService(const Credentials& settings) {
  const SearchService* service = FindSearchService(settings.service);
  return service != nullptr && service->PostsTasks();
}

// A keyword run's tasks on a service that answers by task: each phrase's three queries, less
// the stored answers and the tasks an earlier run posted, priced by kind.
void PlanKeywordTasks(const std::vector<std::string>& lines, const Credentials& settings,
                      const AnswerStore* store, int reuse_days, RunPlan& plan) {
  const bool reuses = store != nullptr && reuse_days > 0 && store->Available();
  const bool holds_tasks = store != nullptr && store->Available();
  const std::string account = Trim(settings.dfs_login);
  std::unordered_set<std::string> seen;
  double dollars = 0;
  for (const std::string& line : lines) {
    const bool repeat = !seen.insert(line).second;
    for (const QueryKind kind : {QueryKind::Phrase, QueryKind::Title, QueryKind::URL}) {
      // A repeat is answered by the first one's task (and the store keeps its answer).
      if (repeat) {
        ++plan.stored;
        continue;
      }
      const AnswerKey key = RequestKey(settings, kind, line);
      if (reuses && store->Lookup(key, reuse_days)) {
        ++plan.stored;
      } else if (holds_tasks && store->LookupTask(key, account, kTaskKeepDays)) {
        ++plan.queued;
      } else {
        ++plan.queries;
        dollars += TaskPrice(kind, settings.dfs_priority);
      }
    }
  }
  plan.dollars = dollars;
}

}  // namespace

RunPlan PlanRun(RunShape shape, const std::vector<std::string>& lines,
                const Credentials& credentials, const std::string& endpoint,
                const AnswerStore* store, int reuse_days) {
  const Credentials settings = RequestSettings(credentials, endpoint);
  if (TaskService(settings) && shape == RunShape::kKeywords) {
    RunPlan plan;
    PlanKeywordTasks(lines, settings, store, reuse_days, plan);
    if (WantsVolumes(credentials)) {
      std::vector<std::optional<int64_t>> stored;
      plan.volume_credits = VolumeCredits(VolumesToAsk(
          store, reuse_days, credentials.volume_country, Utf8Lines(lines), stored));
    }
    return plan;
  }
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
  if (TaskService(settings)) {
    // A task a phrase at the phrase price, the rest backlink tasks (link:) at the operator's.
    std::unordered_set<std::string> distinct(lines.begin(), lines.end());
    int64_t phrase_tasks = 0;
    for (const std::string& line : distinct) {
      const bool stored = store != nullptr && reuse_days > 0 &&
                          store->Lookup(RequestKey(settings, QueryKind::Phrase, line), reuse_days);
      if (!stored) ++phrase_tasks;
    }
    phrase_tasks = std::min(phrase_tasks, plan.queries);
    plan.dollars =
        static_cast<double>(phrase_tasks) * TaskPrice(QueryKind::Phrase, settings.dfs_priority) +
        static_cast<double>(plan.queries - phrase_tasks) *
            TaskPrice(QueryKind::Backlinks, settings.dfs_priority);
  }
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
      host_(host),
      stop_(stop),
      wire_(*setup_.credentials, setup_.endpoint, *setup_.http),
      limits_(host, wire_, stop, setup_.limits),
      reuse_(limits_, host, wire_, setup_.store, setup_.reuse_days) {}

RunPlan SearchSession::Plan(RunShape shape, const std::vector<std::string>& lines) const {
  return PlanRun(shape, lines, wire_.CurrentCredentials(), wire_.Endpoint(), setup_.store,
                 setup_.reuse_days);
}

bool SearchSession::ConfirmStart(const RunPlan& plan) {
  if (PostsTasks()) {
    // The account's money against the run's price: asked only when it may not be enough.
    if (plan.queries == 0 || !plan.dollars) return true;
    const std::optional<double> balance = AskBalance();
    if (!balance || *balance >= *plan.dollars) return true;
    RunNotice question{RunNotice::Kind::kCostOverBalance};
    question.needed = std::llround(*plan.dollars * 1e6);
    question.left = std::llround(std::max(0.0, *balance) * 1e6);
    return host_.Ask(question);
  }
  return reuse_.ConfirmStart(StartCost{plan.queries, plan.stored});
}

bool SearchSession::PostsTasks() const { return TaskService(wire_.Settings()); }

std::optional<double> SearchSession::AskBalance() {
  const Credentials settings = wire_.Settings();
  if (!IsAcceptableEndpoint(settings.endpoint)) return std::nullopt;
  const HttpAnswer http = wire_.GetWithHeaders(UserDataURL(settings.endpoint),
                                               DfsHeaders(settings),
                                               setup_.limits.account_timeout_ms);
  return ReadBalance(http.body);
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
                        const std::function<AnswerFlow(const SearchAnswer&)>& handed) {
  // A failure's reason goes to a box or the status line: no key, login or password in it,
  // whatever the service's message repeats.
  const auto on_answer = [&](const SearchAnswer& answer) {
    if (answer.outcome != AnswerOutcome::kFailed) return handed(answer);
    const Credentials secrets = wire_.CurrentCredentials();
    SearchAnswer masked = answer;
    for (const std::string& secret :
         {secrets.api_key, secrets.dfs_login, secrets.dfs_password, secrets.volume_key,
          secrets.rank_key}) {
      masked.failure.detail = WithoutSecret(std::move(masked.failure.detail), Trim(secret));
    }
    return handed(masked);
  };
  if (PostsTasks()) return AskTasks(queries, max_results, on_answer);
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

namespace {

// An answer without a count whose reason is `failure`.
SearchAnswer FailedAnswer(size_t index, QueryFailure failure) {
  SearchAnswer answer;
  answer.index = index;
  answer.outcome = AnswerOutcome::kFailed;
  answer.failure = std::move(failure);
  return answer;
}

QueryFailure ServiceFailure(const std::string& message) {
  return {QueryFailure::Kind::kServiceAnswer, kAbnormalTermination + message};
}

}  // namespace

bool SearchSession::AskTasks(const std::vector<SearchQuery>& queries, size_t max_results,
                             const std::function<AnswerFlow(const SearchAnswer&)>& on_answer) {
  posted_tasks_ = true;
  const Credentials settings = wire_.Settings();
  const std::string account = Trim(settings.dfs_login);
  const std::vector<std::string> headers = DfsHeaders(settings);
  const DfsLocation location = DfsLocationFor(settings.volume_country);
  AnswerStore* const store = setup_.store;
  const size_t n = queries.size();
  constexpr size_t kNone = SIZE_MAX;

  // By index: the request as prepared, the answer once it is known, the task while it is
  // queued (its id, and the run's waited time when the run began waiting for it).
  std::vector<ServiceAnswer> replies(n);
  std::vector<std::optional<SearchAnswer>> ready(n);
  std::vector<std::string> ids(n);
  std::vector<int64_t> queued_at(n, 0);
  std::vector<size_t> same_as(n, kNone);  // a repeat takes the answer of the first
  std::vector<size_t> earlier;  // queued by an earlier run: collected without asking first
  std::vector<size_t> to_post;
  std::unordered_map<std::string, size_t> by_id;
  std::map<std::pair<QueryKind, std::string>, size_t> first_of;
  bool ended = false;

  for (size_t i = 0; i < n; ++i) {
    const QueryKind kind = queries[i].kind;
    const std::string& text = queries[i].text;
    replies[i] = wire_.Prepare(kind, text);
    if (!replies[i].Sendable()) {
      ready[i] = MakeAnswer(i, queries[i], replies[i], std::nullopt, max_results);
      continue;
    }
    if (const auto first = first_of.emplace(std::make_pair(kind, text), i); !first.second) {
      same_as[i] = first.first->second;
      continue;
    }
    if (std::optional<ServiceAnswer> stored = reuse_.Stored(kind, text)) {
      ready[i] = MakeAnswer(i, queries[i], *stored, stored->stored->count, max_results);
      continue;
    }
    if (store != nullptr) {
      if (std::optional<std::string> id =
              store->LookupTask(RequestKey(settings, kind, text), account, kTaskKeepDays)) {
        ids[i] = *id;
        by_id[*id] = i;
        earlier.push_back(i);
        continue;
      }
    }
    to_post.push_back(i);
  }

  // Posting: a hundred tasks a request, each id kept the moment it is known.
  const auto no_balance = [&](const std::string& message) {
    if (!no_balance_) {
      RunNotice notice{RunNotice::Kind::kRanOut};
      notice.detail = kAbnormalTermination + message;
      host_.Tell(notice);
    }
    no_balance_ = true;
    ended = true;
  };
  for (size_t from = 0; from < to_post.size() && !ended; from += kTasksPerPost) {
    if (stop_) {
      ended = true;
      break;
    }
    const size_t to = std::min(to_post.size(), from + kTasksPerPost);
    std::vector<TaskToPost> tasks;
    for (size_t j = from; j < to; ++j) {
      const size_t i = to_post[j];
      tasks.push_back({TaskKeyword(queries[i].kind, queries[i].text),
                       std::to_string(i) + " " + QueryKindName(queries[i].kind)});
    }
    const HttpAnswer http = wire_.Post(TaskPostURL(settings.endpoint), headers,
                                       TaskPostBody(tasks, location, settings.dfs_priority),
                                       kReceiveTimeoutMs);
    const PostAnswer answer = ReadPostAnswer(http.body);
    if (answer.status != kDfsOk) {
      if (answer.status == kDfsNoBalance) {
        no_balance(answer.message);
        break;
      }
      // The request was refused as a whole (a bad login, a wrong field): no task of it, nor
      // of the rest, is queued.
      for (size_t j = from; j < to_post.size(); ++j) {
        ready[to_post[j]] = FailedAnswer(to_post[j], ServiceFailure(answer.message));
      }
      break;
    }
    task_dollars_ += answer.cost;
    for (size_t j = from; j < to; ++j) {
      const size_t i = to_post[j];
      const PostedTask* posted = j - from < answer.tasks.size() ? &answer.tasks[j - from] : nullptr;
      // The answer lists the tasks as posted; a tag that names another query is not taken.
      if (posted != nullptr && !posted->tag.empty() && posted->tag != tasks[j - from].tag) {
        posted = nullptr;
      }
      if (posted != nullptr && posted->status == kDfsTaskCreated && !posted->id.empty()) {
        ids[i] = posted->id;
        by_id[posted->id] = i;
        ++queries_sent_;
        if (store != nullptr) {
          store->RecordTask(RequestKey(settings, queries[i].kind, queries[i].text), account,
                            posted->id);
        }
      } else if (posted != nullptr && posted->status == kDfsNoBalance) {
        no_balance(posted->message);
        ready[i] = FailedAnswer(i, ServiceFailure(posted->message));
      } else {
        ready[i] = FailedAnswer(i, ServiceFailure(posted != nullptr ? posted->message : ""));
      }
    }
  }

  // Hand on what is ready, in order.
  std::unordered_set<size_t> skipped_groups;
  size_t next_hand = 0;
  const auto hand_on = [&] {
    while (next_hand < n && !ended) {
      const size_t i = next_hand;
      if (skipped_groups.count(queries[i].group) > 0) {
        ++next_hand;
        continue;
      }
      const size_t source = same_as[i] == kNone ? i : same_as[i];
      if (!ready[source]) return;
      SearchAnswer answer = *ready[source];
      answer.index = i;
      const AnswerFlow flow = on_answer(answer);
      ++next_hand;
      if (flow == AnswerFlow::kSkipRest) skipped_groups.insert(queries[i].group);
      if (flow == AnswerFlow::kEnd) ended = true;
    }
  };

  // A task's answer collected: recorded, the task forgotten, the answer ready.
  const auto collect = [&](size_t i) {
    const HttpAnswer http = wire_.GetWithHeaders(TaskGetURL(settings.endpoint, ids[i]), headers,
                                                 kReceiveTimeoutMs);
    std::string message;
    const int status = TaskStatus(http.body, message);
    // Not done yet, or an answer that did not arrive: asked again later.
    if (status == 0 || status == kDfsTaskInQueue || status == kDfsTaskHanded) return;
    ServiceAnswer& reply = replies[i];
    TakeReply(reply, HttpAnswer(http));
    task_dollars_ += TaskCost(http.body);
    std::string count;
    const bool counted = status == kDfsOk && reply.ReadCount(count);
    if (counted) reuse_.Record(queries[i].kind, queries[i].text, reply, count);
    if (store != nullptr) {
      store->ForgetTask(RequestKey(settings, queries[i].kind, queries[i].text), account);
    }
    if (status == kDfsNoBalance) no_balance(message);
    ready[i] = MakeAnswer(i, queries[i], reply,
                          counted ? std::optional<std::string>(count) : std::nullopt, max_results);
    reply = ServiceAnswer();
    by_id.erase(ids[i]);
    ids[i].clear();
  };

  int64_t waited_ms = 0;
  const size_t tasks_total = by_id.size();
  bool first_look = true;
  bool first_ask = true;
  bool follow_page = false;
  constexpr size_t kReadyPage = 1000;  // tasks_ready lists at most this many
  auto last_ask = std::chrono::steady_clock::now();
  for (;;) {
    hand_on();
    if (ended || next_hand >= n) break;
    if (by_id.empty() || stop_) {
      // Nothing queued is left to wait for: the rest was never posted (Stop, or the money ran
      // out), or Stop leaves the queued tasks to the next run.
      ended = true;
      break;
    }
    RunNotice waiting{RunNotice::Kind::kTasksWaiting};
    waiting.needed = static_cast<int64_t>(tasks_total - by_id.size());
    waiting.left = static_cast<int64_t>(tasks_total);
    host_.Tell(waiting);
    std::vector<size_t> now_ready;
    if (first_look && !earlier.empty()) {
      // An earlier run's tasks may be done already, or collected by a run that ended before
      // it could keep their answers: each is asked for itself once.
      now_ready = earlier;
    } else {
      // The interval runs from the last ask: the time spent collecting counts towards it.
      const int interval = setup_.limits.tasks_ready_interval_ms;
      const auto since_ask = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - last_ask)
                                 .count();
      const int rest = first_ask ? interval
                                 : static_cast<int>(std::max<int64_t>(0, interval - since_ask));
      if (rest > 0 && !host_.Wait(rest, stop_, setup_.limits.stop_check_ms)) {
        if (stop_) continue;  // ends above, the tasks left in the store
      }
      waited_ms += interval;
      first_ask = false;
      last_ask = std::chrono::steady_clock::now();
      const HttpAnswer http = wire_.GetWithHeaders(TasksReadyURL(settings.endpoint), headers,
                                                   kReceiveTimeoutMs);
      int status = 0;
      std::string message;
      const std::optional<std::vector<std::string>> listed =
          ReadReadyIds(http.body, status, message);
      if (listed) {
        for (const std::string& id : *listed) {
          if (const auto found = by_id.find(id); found != by_id.end()) {
            now_ready.push_back(found->second);
          }
        }
        // A full page may leave ready tasks unlisted: those are asked for one by one, in the
        // order they were posted, up to the first still queued (collecting has no such limit
        // as asking which are ready).
        follow_page = listed->size() >= kReadyPage;
      } else if (status != 0) {
        // The account refused to say (a bad login): the queued tasks fail for this run and
        // stay in the store.
        if (status == kDfsNoBalance) no_balance(message);
        for (const auto& [id, i] : by_id) ready[i] = FailedAnswer(i, ServiceFailure(message));
        by_id.clear();
        continue;
      }
    }
    first_look = false;
    std::sort(now_ready.begin(), now_ready.end());
    for (const size_t i : now_ready) {
      if (stop_ || ended) break;
      collect(i);
    }
    if (follow_page) {
      std::vector<size_t> rest;
      rest.reserve(by_id.size());
      for (const auto& [id, i] : by_id) rest.push_back(i);
      std::sort(rest.begin(), rest.end());
      for (const size_t i : rest) {
        if (stop_ || ended) break;
        collect(i);
        if (!ready[i]) break;  // still queued: the next ask tells when
      }
      follow_page = false;
    }
    // A task not ready in time is given up for this run; it stays in the store.
    for (auto it = by_id.begin(); it != by_id.end();) {
      const size_t i = it->second;
      if (waited_ms - queued_at[i] >= setup_.limits.task_give_up_ms) {
        ready[i] = FailedAnswer(i, {QueryFailure::Kind::kTaskNotReady});
        it = by_id.erase(it);
      } else {
        ++it;
      }
    }
  }
  host_.Tell({RunNotice::Kind::kWaitOver});
  return !ended;
}

void SearchSession::Pause(int ms) {
  // Tasks are posted together and answered by the service's queue: no pauses between them.
  if (setup_.at_once <= 1 && !PostsTasks()) reuse_.Pause(ms);
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
  if (posted_tasks_) {
    cost.dollars = task_dollars_;
    cost.balance = AskBalance();
  }
  return cost;
}

}  // namespace kelvaro
