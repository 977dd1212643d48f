#pragma once

// The frame both workers run their algorithm in: the Stop flag, what the run reaches the world
// outside with, the search session made for each run, and what the run cost.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/WorkerHost.h"
#include "search/RunCost.h"
#include "search/SearchSession.h"

namespace kelvaro {

class SearchRun {
 public:
  SearchRun(const SearchRun&) = delete;
  SearchRun& operator=(const SearchRun&) = delete;

  // Set by the window's Stop button, from any thread; each worker reads it at its own points.
  std::atomic<bool> StopRequested{false};
  void RequestStop() { StopRequested = true; }

  // What the run cost, read once it is over: the queries it sent, the searches left on the
  // account as the service told at the end (nullopt: not told), how long it waited for the
  // service's limits (ms), the phrases left uncounted because the searches ran out, and the
  // stored answers it used instead of queries.
  const RunCost& Cost() const { return cost_; }
  int QueriesSent() const { return cost_.queries_sent; }
  std::optional<int64_t> SearchesLeft() const { return cost_.searches_left; }
  int64_t WaitedMs() const { return cost_.waited_ms; }
  int NotCounted() const { return cost_.not_counted; }
  int StoredUsed() const { return cost_.stored_used; }
  // The phrases of the run.
  int Phrases() const { return static_cast<int>(Keywords.size()); }

  // The clock of the waits for the service's limits (tests shorten it). Before the run.
  void SetLimitTimings(const LimitTimings& timings) { search_.limits = timings; }
  // The answer store the run records in and, with `reuse_days` > 0, reuses answers of that
  // age from (nullptr: none). Before the run; the store outlives it.
  void SetAnswerStore(AnswerStore* store, int reuse_days) {
    search_.store = store;
    search_.reuse_days = reuse_days;
  }

 protected:
  // `keywords`: the run's lines as typed. `host` and what `search` points to outlive the run.
  SearchRun(std::vector<std::string> keywords, WorkerHost& host, SearchSetup search)
      : Keywords(std::move(keywords)), host_(host), search_(std::move(search)) {}
  ~SearchRun() = default;

  // One `shape` run over the Keywords: a session, the check before the first query (the
  // run's plan), `body`, and the run's cost; `uncounted` tells, when the searches ran out,
  // how many phrases are left without all their counts. Never throws.
  void RunSession(RunShape shape, const std::function<void(SearchSession&)>& body,
                  const std::function<int()>& uncounted) noexcept {
    try {
      SearchSession session(search_, host_, StopRequested);
      if (!session.ConfirmStart(session.Plan(shape, Keywords))) return;
      body(session);
      cost_ = session.Finish();
      cost_.phrases = Phrases();
      if (session.RanOut()) cost_.not_counted = uncounted();
    } catch (...) {
      // The thread's edge: a failure here ends the run like any other end.
    }
  }

  const std::vector<std::string> Keywords;
  WorkerHost& host_;
  SearchSetup search_;
  RunCost cost_;
};

}  // namespace kelvaro
