#pragma once

// A worker's one door to everything outside the program: the search service its settings
// choose (through the endpoint rule), the answer store and its reuse rule, the account's
// limits and the volume service. A worker hands the session the queries its algorithm needs
// and gets each answer back as one value, through a callback, in any order: it places an
// answer by the query it answers. Today the session sends one query at a time; several at once
// and tasks answered minutes later come behind this same door.
//
// What a run will send and what it costs is worked out by one rule (PlanRun): the line beside
// Start, the question before Start and the run itself all use it.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ApiCredentials.h"
#include "base/WorkerHost.h"
#include "search/AnswerReuse.h"
#include "search/RunCost.h"
#include "search/RunLimits.h"
#include "search/SearchWire.h"
#include "web/HttpClient.h"

namespace kelvaro {

class AnswerStore;

// What a window (or a test) hands its worker for the world outside the program. The pointers
// outlive the run.
struct SearchSetup {
  const ApiCredentials* credentials = nullptr;  // read together at every request
  std::string endpoint;       // start-up's, used when the settings name none
  HttpClient* http = nullptr;  // where every request goes
  AnswerStore* store = nullptr;  // nullptr: nothing stored or reused
  int reuse_days = 0;  // how old a stored answer may be to stand in for a request; 0: never
  LimitTimings limits{};
  // Queries under way at once (1 to kMaxSearchesAtOnce). 1: one at a time, with the worker's
  // pauses between them; more: no pauses, the account's hour shared out as a budget.
  int at_once = 1;
};
inline constexpr int kMaxSearchesAtOnce = 16;

// The two kinds of run.
enum class RunShape {
  kKeywords,      // three counts a phrase, and monthly searches with a volume key
  kDeepAnalysis,  // a phrase query and up to kDeepAnalysisMaxResults backlink queries a phrase
  kDeepAnalysisWithoutBacklinks,  // a phrase query a phrase
  kAutocomplete,  // one Autocomplete query a seed phrase
};
inline constexpr size_t kDeepAnalysisMaxResults = 10;

// What a run over some lines will send and what the store stands in for.
struct RunPlan {
  int64_t queries = 0;  // queries it sends (Deep Analysis: at most)
  int64_t stored = 0;   // stored answers that stand in for the others
  size_t volume_credits = 0;  // credits of the volume service
  // A service that answers by task: the tasks an earlier run posted that this one collects
  // instead of posting again, and what the tasks it posts cost in dollars (Deep Analysis: at
  // most); nullopt for a service that does not charge in money.
  int64_t queued = 0;
  std::optional<double> dollars{};
};
// How long a posted task stays collectable (the service keeps its results 30 days).
inline constexpr int kTaskKeepDays = 30;

// The plan of a `shape` run over `lines` with `credentials` (and start-up's `endpoint`), the
// answers in `store` (may be nullptr) younger than `reuse_days`. Any thread.
RunPlan PlanRun(RunShape shape, const std::vector<std::string>& lines,
                const Credentials& credentials, const std::string& endpoint,
                const AnswerStore* store, int reuse_days);

// One query of a worker's algorithm.
struct SearchQuery {
  QueryKind kind = QueryKind::Phrase;
  std::string text;  // the keyword line or result URL, byte for byte
  size_t group = 0;  // the queries of one phrase share one; kSkipRest skips the rest of it
};

// How an answer came out.
enum class AnswerOutcome {
  kCounted,  // it has a count
  kFailed,   // no count: the worker takes its error path (error_text says why)
  kEnd,      // the run ends now: the searches ran out (a box said so) or Stop during a wait
};

// One answer, whether it was asked now or taken from the store.
struct SearchAnswer {
  size_t index = 0;  // of its query in the list given to Ask
  AnswerOutcome outcome = AnswerOutcome::kFailed;
  std::string count;  // the count text as cut from the answer
  // The query URL without its key: what a count cell links to.
  std::string link;
  // Whether the answer holds a result list at all, and its first results.
  bool has_result_list = false;
  std::vector<SearchResult> results;
  // The keyword ideas of a phrase or Autocomplete answer (UTF-8), in the answer's order.
  std::vector<KeywordIdea> ideas;
  // When the stored answer that stood in for the request arrived; nullopt: asked now.
  std::optional<int64_t> stored_at;
  QueryFailure failure;  // why it has no count (kFailed)
};

// What a worker does after an answer.
enum class AnswerFlow {
  kGoOn,      // the next query
  kSkipRest,  // none of the rest of this answer's group
  kEnd,       // none of the rest of this Ask, and the run ends
};

// The monthly searches of a run's lines.
struct LineVolumes {
  bool asked = false;  // a volume key was set
  std::vector<std::optional<int64_t>> volumes;  // per line
  std::optional<std::string> failure;  // the volume service's message when it failed
  std::optional<int64_t> credits_left;
};

// The ranks of a run's domains.
struct DomainRanks {
  bool asked = false;  // a rank key was set
  std::vector<std::optional<double>> ranks;  // per domain
  // The rank service's message when it failed (in the system's code page; may be empty).
  std::optional<std::string> failure;
};

class SearchSession {
 public:
  // `host` (the window's boxes, status line and waits) and `stop` (the worker's Stop flag)
  // outlive the session, and so do the pointers in `setup`.
  SearchSession(const SearchSetup& setup, WorkerHost& host, const std::atomic<bool>& stop);
  SearchSession(const SearchSession&) = delete;
  SearchSession& operator=(const SearchSession&) = delete;

  // PlanRun with the settings and the store of this session.
  RunPlan Plan(RunShape shape, const std::vector<std::string>& lines) const;
  // Before the first query: false when the run must not start (no searches left, or No to
  // the question before it). A plan that sends nothing starts unasked.
  bool ConfirmStart(const RunPlan& plan);

  // Asks `queries` and hands each answer to `on_answer`, at most `max_results` results with
  // it; `on_answer` says whether to go on. Returns false when the run is to end (kEnd from an
  // answer or from `on_answer`, or Stop while several were under way).
  //
  // With several at once, up to `at_once` queries are under way while the answers are handed
  // on; an answer that comes early waits for those before it, so `on_answer` sees them in the
  // order of `queries` and the grid fills as a one-at-a-time run fills it. A failed answer is
  // handed on once nothing is under way (no query goes out while its question is open); a
  // limit answered to one query makes every query wait once, then sends them all again. After
  // Stop or kEnd no query goes out, and the ones under way are answered and stored.
  bool Ask(const std::vector<SearchQuery>& queries, size_t max_results,
           const std::function<AnswerFlow(const SearchAnswer&)>& on_answer);
  // The pause a worker makes between its queries: requests keep their spacing, a stored
  // answer needs none (see AnswerReuse::Pause); with several at once there is none.
  void Pause(int ms);

  // The monthly searches of `lines` (in the system's code page) for the volume settings of
  // now: stored ones reused, the others asked in batches; Stop ends the asking.
  LineVolumes AskVolumes(const std::vector<std::string>& lines);

  // The ranks of `domains` (each once, as RankDomains gives them) for the rank key of now:
  // stored ones reused, the others asked in batches; Stop ends the asking. Without a rank key
  // nothing is asked.
  DomainRanks AskDomainRanks(const std::vector<std::string>& domains);
  // Whether AskDomainRanks would ask now (a rank key is set).
  bool AsksDomainRanks() const;

  // The end of the run: asks the account how many searches are left (when it answered during
  // the run) and returns what the run cost; the worker adds its phrases and those not counted.
  RunCost Finish();
  // The searches (or the account's money) ran out during the run (a box said so).
  bool RanOut() const { return limits_.RanOut() || no_balance_; }

 private:
  bool AskOneByOne(const std::vector<SearchQuery>& queries, size_t max_results,
                   const std::function<AnswerFlow(const SearchAnswer&)>& on_answer);
  bool AskAtOnce(const std::vector<SearchQuery>& queries, size_t max_results,
                 const std::function<AnswerFlow(const SearchAnswer&)>& on_answer);
  // A service that answers by task: every query not stored and not queued by
  // an earlier run is posted, its task's id kept in the store at once, and the answers are
  // collected as the tasks become ready and handed on in the order of `queries`. After Stop
  // or kEnd the tasks still queued stay in the store for the next run to collect.
  bool AskTasks(const std::vector<SearchQuery>& queries, size_t max_results,
                const std::function<AnswerFlow(const SearchAnswer&)>& on_answer);
  // Whether the service of now answers by task.
  bool PostsTasks() const;
  // The account's balance in dollars (DataForSEO's user_data); nullopt when it does not say.
  std::optional<double> AskBalance();

  const SearchSetup setup_;
  WorkerHost& host_;
  const std::atomic<bool>& stop_;
  SearchWire wire_;
  AccountLimits limits_;
  AnswerReuse reuse_;
  int queries_sent_ = 0;
  int64_t sent_in_hour_ = 0;  // sent since the account last told the hour's room
  std::unique_ptr<HttpBatch> batch_;  // the queries under way at once, made at the first
  std::optional<std::string> volume_failure_;
  std::optional<int64_t> volume_credits_left_;
  std::optional<std::string> rank_failure_;
  bool posted_tasks_ = false;  // the run used a service that answers by task
  double task_dollars_ = 0;    // what its posted tasks cost, as the answers reported it
  bool no_balance_ = false;    // the service refused a task for want of money (a box said so)
};

}  // namespace kelvaro
