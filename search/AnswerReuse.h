#pragma once

// How a run reuses the answers the account already paid for. Both workers ask every query
// through one of these: with a fresh stored answer to the same query (service, endpoint,
// engine, kind and text), that answer stands in for the request (the same count, results and link a
// request would give, nothing sent, no pause around it); otherwise the query is asked through the
// account's limits, and an answer with a count is recorded. Without a store, or with reuse
// off, a run asks and pauses exactly as it would without one.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "base/WorkerHost.h"
#include "store/AnswerStore.h"
#include "search/RunLimits.h"
#include "web/ServiceQuery.h"

namespace kelvaro {

// `text` asked as `kind` with `settings`, in the store's terms.
AnswerKey RequestKey(const Credentials& settings, QueryKind kind, const std::string& text);
// The queries of a run over `texts`, each asked as every one of `kinds`, in the store's terms
// (for counting how many are stored).
std::vector<AnswerKey> RunAnswerKeys(const Credentials& settings,
                                     const std::vector<std::string>& texts,
                                     std::initializer_list<QueryKind> kinds);

// What Start would cost now: the queries it sends (for Deep Analysis at most this many) and
// the stored answers that stand in for the others. The one rule for the line beside a
// window's Start button, the question before the run and its refusal. `store` may be nullptr,
// and with `reuse_days` 0 or less, or a store that is unavailable, nothing counts as stored.
// With stored answers reused, a text asked twice is sent once: the second answer comes from
// the store.
struct StartCost {
  int64_t queries = 0;
  int64_t stored = 0;
};
// A keyword run: three queries a phrase.
StartCost KeywordRunStartCost(const AnswerStore* store, int reuse_days,
                              const Credentials& settings,
                              const std::vector<std::string>& phrases);
// Deep Analysis: a query a phrase and one a listed result (at most `max_results`); a stored
// phrase answer tells its results, and so which backlink answers are stored too.
StartCost DeepAnalysisStartCost(const AnswerStore* store, int reuse_days,
                                const Credentials& settings,
                                const std::vector<std::string>& phrases, size_t max_results);

// Autocomplete: one query a seed phrase.
StartCost AutocompleteStartCost(const AnswerStore* store, int reuse_days,
                                const Credentials& settings,
                                const std::vector<std::string>& seeds);

// The phrases (UTF-8) whose monthly searches for `country` a run must still ask for: `phrases`
// with each one whose volume is stored within `reuse_days` emptied (an empty phrase is never
// asked). The stored volumes go to `stored`, by the same index. `store` may be nullptr.
std::vector<std::string> VolumesToAsk(const AnswerStore* store, int reuse_days,
                                      const std::string& country,
                                      const std::vector<std::string>& phrases,
                                      std::vector<std::optional<int64_t>>& stored);

class AnswerReuse {
 public:
  // `store` may be nullptr (nothing reused or recorded). `reuse_days`: how old a stored
  // answer may be to stand in for a request; 0 or less reuses nothing (answers are still
  // recorded). `limits`, `host` (its pauses), `wire` (the settings of now) and `store` outlive
  // this.
  AnswerReuse(AccountLimits& limits, WorkerHost& host, const SearchWire& wire, AnswerStore* store,
              int reuse_days);

  // As AccountLimits::Query, with a stored answer when there is a fresh one: then kCounted,
  // `answer.stored` set and `queries_sent` unchanged. The pauses put off by Pause are made
  // before a request goes out.
  AccountLimits::Action Query(QueryKind kind, const std::string& text, int& queries_sent,
                              ServiceAnswer& answer, std::string& count);

  // A fresh stored answer to `text` as `kind` with the settings of now, counted as used;
  // nullopt when there is none (or reuse is off).
  std::optional<ServiceAnswer> Stored(QueryKind kind, const std::string& text);
  // Keeps a whole answer asked now (with its count) for later runs; a cut-off one, a stored
  // one or a run without a store keeps nothing.
  void Record(QueryKind kind, const std::string& text, const ServiceAnswer& answer,
              const std::string& count);

  // The pause a worker makes after a query to space its requests. With reuse on it is put off
  // until the next request (and dropped when none follows), and a pause after a stored answer
  // is not made at all: requests keep their spacing, stored answers need none.
  void Pause(int ms);

  // AccountLimits::ConfirmStart for the queries the run will send, as `cost`
  // (KeywordRunStartCost or DeepAnalysisStartCost of the run's texts and settings) tells
  // them. A run that will send nothing starts unasked.
  bool ConfirmStart(const StartCost& cost);

  // Stored answers used so far.
  int StoredUsed() const { return stored_used_; }

 private:
  bool Reusing() const { return store_ != nullptr && reuse_days_ > 0; }

  AccountLimits& limits_;
  WorkerHost& host_;
  const SearchWire& wire_;
  AnswerStore* const store_;
  const int reuse_days_;
  int stored_used_ = 0;
  bool last_stored_ = false;
  std::vector<int> pending_ms_;
};

}  // namespace kelvaro
