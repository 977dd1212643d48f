#pragma once

// How a run lives within the account it searches with: the question before the first query
// when the account has fewer searches left than the run may send, waiting out an hourly or
// per-minute limit and sending the same query again, and one clear end when the searches
// run out. Both workers use it the same way; every box and status notice goes through the
// host, which words it.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "base/WorkerHost.h"
#include "search/SearchWire.h"
#include "web/ServiceQuery.h"

namespace kelvaro {

// The clock of the waits. Tests shorten it; the run never waits a real minute there.
struct LimitTimings {
  int poll_ms = 60000;                            // between account requests while the hour is full
  int per_minute_wait_ms = 60000;                 // a per-minute limit without Retry-After
  int64_t max_wait_ms = int64_t{65} * 60 * 1000;  // all waits of one run together, at most
  int stop_check_ms = 1000;                       // Stop is heard within this while waiting
  int account_timeout_ms = kAccountTimeoutMs;     // an account request, at most
  // A service that answers by task: the wait between two asks which tasks are ready (at most
  // 20 a minute), and how long a posted task is waited for before the run gives it up.
  int tasks_ready_interval_ms = 3000;
  int64_t task_give_up_ms = int64_t{60} * 60 * 1000;
};

class AccountLimits {
 public:
  enum class Action {
    kCounted,    // the answer has a count
    kResend,     // the limit has room again: send the same query again
    kEnd,        // the run ends now (the searches ran out, or Stop during a wait)
    kErrorPath,  // not a limit the run can live with: the usual error path
  };

  // `stop` is the worker's Stop flag; `host` (the window's boxes, status line and waits) and
  // `wire` (the service and its account) outlive this.
  AccountLimits(WorkerHost& host, SearchWire& wire, const std::atomic<bool>& stop,
                LimitTimings timings = {});

  // Before the first query of a run that may send `searches_needed`: false when it must not
  // start (no searches left, said in a plain box, or No to the question). An account that
  // cannot be asked, or a service without one, starts the run without a box.
  bool ConfirmStart(int64_t searches_needed);

  // After a query whose answer has no count: what the run does next. Waits (through the
  // host, its notice in the status bar) before kResend.
  Action AfterFailure(const ServiceAnswer& answer);

  // Asks for `text` as `kind` (QueryService), and again each time AfterFailure waited a limit
  // out. kCounted with `count` read, or kEnd or kErrorPath for the failed `answer`.
  Action Query(QueryKind kind, const std::string& text, int& queries_sent, ServiceAnswer& answer,
               std::string& count);
  // Some query sent through Query got an answer (the account is worth asking at the end).
  bool Answered() const { return answered_; }
  // An answer to a query sent elsewhere (several at once) arrived.
  void NoteAnswer(const ServiceAnswer& answer) { answered_ = answered_ || !answer.body.empty(); }
  // Whether `answer` (without a count) may be a limit AfterFailure waits out or ends the run
  // for, rather than a plain failure for the error path.
  static bool MayBeLimit(const ServiceAnswer& answer);

  // The searches this hour still allows, as the account told before the run (ConfirmStart);
  // nullopt when it did not tell.
  std::optional<int64_t> HourRoom() const { return hour_room_; }
  // Waits (as for a full hour) until the account's hour has room again: kResend with
  // HourRoom told anew, kEnd (Stop during the wait) or kErrorPath (the waits ran out).
  Action WaitForRoom();

  // The run ended because the searches ran out (a box said so).
  bool RanOut() const { return ran_out_; }
  // How long the run waited for limits, in milliseconds.
  int64_t WaitedMs() const { return waited_ms_; }

 private:
  // Waits once for `kind` (ms at most); false when Stop or the host cut it short.
  bool WaitOnce(WaitKind kind, int64_t per_hour, int ms);
  Action WaitForHour(int64_t per_hour, int retry_after_s);
  void KeepHourRoom(const std::optional<AccountFigures>& figures);
  Action EndRun(const ServiceAnswer& answer);

  WorkerHost& host_;
  SearchWire& wire_;
  const std::atomic<bool>& stop_;
  const LimitTimings timings_;
  int64_t budget_used_ms_ = 0;  // the waits asked for, whatever the host made of them
  int64_t waited_ms_ = 0;       // the time the waits took
  bool ran_out_ = false;
  bool answered_ = false;
  std::optional<int64_t> hour_room_;
};

}  // namespace kelvaro
