#include "search/RunLimits.h"

#include <algorithm>
#include <chrono>

namespace kelvaro {

namespace {

using SteadyClock = std::chrono::steady_clock;

// A Retry-After in milliseconds; one of 0 still waits a moment, so that a service answering
// so is not asked in a tight loop.
int64_t RetryAfterMs(int retry_after_s) { return std::max(retry_after_s * 1000LL, 200LL); }

}  // namespace

AccountLimits::AccountLimits(WorkerHost& host, SearchWire& wire, const std::atomic<bool>& stop,
                             LimitTimings timings)
    : host_(host), wire_(wire), stop_(stop), timings_(timings) {}

void AccountLimits::KeepHourRoom(const std::optional<AccountFigures>& figures) {
  hour_room_.reset();
  if (figures && figures->per_hour && *figures->per_hour > 0 && figures->this_hour) {
    hour_room_ = std::max<int64_t>(*figures->per_hour - *figures->this_hour, 0);
  }
}

bool AccountLimits::ConfirmStart(int64_t searches_needed) {
  const std::optional<AccountFigures> figures = wire_.AskAccount(timings_.account_timeout_ms);
  KeepHourRoom(figures);
  const std::optional<int64_t> left = figures ? figures->searches_left : std::nullopt;
  if (!left) return true;
  if (*left == 0) {
    host_.Tell({RunNotice::Kind::kNoSearchesLeft});
    return false;
  }
  if (*left >= searches_needed) return true;
  RunNotice question{RunNotice::Kind::kFewerSearchesLeft};
  question.needed = searches_needed;
  question.left = *left;
  return host_.Ask(question);
}

AccountLimits::Action AccountLimits::Query(QueryKind kind, const std::string& text,
                                           int& queries_sent, ServiceAnswer& answer,
                                           std::string& count) {
  for (;;) {
    answer = wire_.Query(kind, text, queries_sent);
    answered_ = answered_ || !answer.body.empty();
    if (answer.ReadCount(count)) return Action::kCounted;
    const Action action = AfterFailure(answer);
    if (action != Action::kResend) return action;
  }
}

bool AccountLimits::MayBeLimit(const ServiceAnswer& answer) {
  if (answer.service == nullptr) return false;
  if (answer.service->LimitIn(answer.body) != AnswerLimit::kNone) return true;
  return !answer.body.empty() && (answer.status == 429 || answer.status == 0);
}

AccountLimits::Action AccountLimits::WaitForRoom() {
  const std::optional<AccountFigures> figures = wire_.AskAccount(timings_.account_timeout_ms);
  KeepHourRoom(figures);
  // The hour may have moved on since the room was told.
  if (!hour_room_ || *hour_room_ > 0) return Action::kResend;
  const Action action = WaitForHour(*figures->per_hour, -1);
  if (action == Action::kResend) {
    KeepHourRoom(wire_.AskAccount(timings_.account_timeout_ms));
  } else {
    hour_room_.reset();  // the service's own answers decide from here on
  }
  return action;
}

AccountLimits::Action AccountLimits::AfterFailure(const ServiceAnswer& answer) {
  if (answer.service == nullptr) return Action::kErrorPath;
  switch (answer.service->LimitIn(answer.body)) {
    case AnswerLimit::kPerDay:
      return EndRun(answer);
    case AnswerLimit::kPerMinute: {
      // The service knows best when the next query may go, even beyond a minute.
      const int64_t ms = answer.retry_after_s >= 0 ? RetryAfterMs(answer.retry_after_s)
                                                   : timings_.per_minute_wait_ms;
      const int64_t left = timings_.max_wait_ms - budget_used_ms_;
      if (left <= 0) return Action::kErrorPath;
      return WaitOnce(WaitKind::kPerMinute, 0, static_cast<int>(std::min<int64_t>(ms, left)))
                 ? Action::kResend
                 : Action::kEnd;
    }
    case AnswerLimit::kNone:
      break;
  }
  // Only a refused answer is worth asking the account about: nothing arrived is a network
  // failure, and any other status is not a limit.
  if (answer.body.empty() || (answer.status != 429 && answer.status != 0)) {
    return Action::kErrorPath;
  }
  const std::optional<AccountFigures> figures = wire_.AskAccount(timings_.account_timeout_ms);
  if (!figures || !figures->searches_left) return Action::kErrorPath;
  if (*figures->searches_left == 0) return EndRun(answer);
  const bool hour_full = figures->per_hour && *figures->per_hour > 0 && figures->this_hour &&
                         *figures->this_hour >= *figures->per_hour;
  if (!hour_full) return Action::kErrorPath;
  return WaitForHour(*figures->per_hour, answer.retry_after_s);
}

AccountLimits::Action AccountLimits::WaitForHour(int64_t per_hour, int retry_after_s) {
  // The account is asked once a poll interval, whatever the answer's Retry-After says: that
  // only tells when the next query may go, so the query waits for it after the hour has room.
  const int64_t query_not_before = retry_after_s >= 0 ? RetryAfterMs(retry_after_s) : 0;
  int64_t waited = 0;
  for (;;) {
    const int64_t left = timings_.max_wait_ms - budget_used_ms_;
    if (left <= 0) {
      host_.Tell({RunNotice::Kind::kWaitOver});
      return Action::kErrorPath;
    }
    const int64_t ms = std::min<int64_t>(timings_.poll_ms, left);
    if (!WaitOnce(WaitKind::kHourly, per_hour, static_cast<int>(ms))) return Action::kEnd;
    waited += ms;
    const std::optional<AccountFigures> figures = wire_.AskAccount(timings_.account_timeout_ms);
    // An account that cannot say the hour is still full gets the query again: its answer
    // decides.
    if (!figures || !figures->this_hour || !figures->per_hour || *figures->per_hour == 0 ||
        *figures->this_hour < *figures->per_hour) {
      const int64_t rest =
          std::min(query_not_before - waited, timings_.max_wait_ms - budget_used_ms_);
      if (rest > 0 && !WaitOnce(WaitKind::kHourly, per_hour, static_cast<int>(rest))) {
        return Action::kEnd;
      }
      host_.Tell({RunNotice::Kind::kWaitOver});
      return Action::kResend;
    }
    per_hour = *figures->per_hour;
  }
}

bool AccountLimits::WaitOnce(WaitKind kind, int64_t per_hour, int ms) {
  ms = std::max(ms, 1);  // every wait uses up some of the run's allowance for waiting
  const std::time_t next_try = std::time(nullptr) + (ms + 999) / 1000;
  RunNotice waiting{RunNotice::Kind::kWaiting};
  waiting.wait = kind;
  waiting.per_hour = per_hour;
  waiting.next_try = next_try;
  host_.Tell(waiting);
  const auto start = SteadyClock::now();
  const bool waited = host_.Wait(ms, stop_, timings_.stop_check_ms);
  budget_used_ms_ += ms;
  waited_ms_ += std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
                    .count();
  if (!waited) host_.Tell({RunNotice::Kind::kWaitOver});
  return waited;
}

AccountLimits::Action AccountLimits::EndRun(const ServiceAnswer& answer) {
  ran_out_ = true;
  RunNotice ran_out{RunNotice::Kind::kRanOut};
  ran_out.detail = answer.service->MessageIn(answer.body);
  host_.Tell(ran_out);
  return Action::kEnd;
}

}  // namespace kelvaro
