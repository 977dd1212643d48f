#include "web/RunLimits.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>

namespace kelvaro {

namespace {

using SteadyClock = std::chrono::steady_clock;

// HH:MM (or HH:MM:SS) of `when` in local time.
std::string LocalClock(std::time_t when, bool seconds) {
  static std::mutex mutex;  // std::localtime shares one buffer
  std::lock_guard lock(mutex);
  const std::tm* local = std::localtime(&when);
  if (local == nullptr) return "--:--";
  char text[16];
  if (seconds) {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local->tm_hour, local->tm_min, local->tm_sec);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d", local->tm_hour, local->tm_min);
  }
  return text;
}

// A Retry-After in milliseconds; one of 0 still waits a moment, so that a service answering
// so is not asked in a tight loop.
int64_t RetryAfterMs(int retry_after_s) { return std::max(retry_after_s * 1000LL, 200LL); }

}  // namespace

std::string LimitTexts::FewerLeft(int64_t needed, int64_t left) {
  return "This run sends up to " + std::to_string(needed) + " searches; your account has " +
         std::to_string(left) + " left.\r\n\r\nStart anyway?";
}

std::string LimitTexts::NoneLeft() { return "Your account has no searches left."; }

std::string LimitTexts::Waiting(WaitKind kind, int64_t per_hour, std::time_t next_try) {
  if (kind == WaitKind::kPerMinute) {
    return "Search limit per minute reached. Next try at " + LocalClock(next_try, true) +
           "; Stop ends the run.";
  }
  // The minute shown is never before the try: a part minute counts as a whole one.
  const std::time_t minute_up = (next_try + 59) / 60 * 60;
  return "Hourly search limit reached (" + std::to_string(per_hour) + " an hour). Next try at " +
         LocalClock(minute_up, false) + "; Stop ends the run.";
}

AccountLimits::AccountLimits(WorkerHost& host, const std::atomic<bool>& stop, LimitTimings timings)
    : host_(host), stop_(stop), timings_(timings) {}

bool AccountLimits::ConfirmStart(int64_t searches_needed) {
  const std::optional<int64_t> left = AskSearchesLeft(host_, timings_.account_timeout_ms);
  if (!left) return true;
  if (*left == 0) {
    host_.ShowMessage(LimitTexts::NoneLeft());
    return false;
  }
  if (*left >= searches_needed) return true;
  return host_.AskYesNo(LimitTexts::FewerLeft(searches_needed, *left)) == kResultYes;
}

AccountLimits::Action AccountLimits::Query(QueryKind kind, const std::string& text,
                                           int& queries_sent, ServiceAnswer& answer,
                                           std::string& count) {
  for (;;) {
    answer = QueryService(host_, kind, text, queries_sent);
    answered_ = answered_ || !answer.body.empty();
    if (answer.ReadCount(count)) return Action::kCounted;
    const Action action = AfterFailure(answer);
    if (action != Action::kResend) return action;
  }
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
  const std::optional<AccountFigures> figures = AskAccount(host_, timings_.account_timeout_ms);
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
      host_.ShowStatus(std::string());
      return Action::kErrorPath;
    }
    const int64_t ms = std::min<int64_t>(timings_.poll_ms, left);
    if (!WaitOnce(WaitKind::kHourly, per_hour, static_cast<int>(ms))) return Action::kEnd;
    waited += ms;
    const std::optional<AccountFigures> figures = AskAccount(host_, timings_.account_timeout_ms);
    // An account that cannot say the hour is still full gets the query again: its answer
    // decides.
    if (!figures || !figures->this_hour || !figures->per_hour || *figures->per_hour == 0 ||
        *figures->this_hour < *figures->per_hour) {
      const int64_t rest =
          std::min(query_not_before - waited, timings_.max_wait_ms - budget_used_ms_);
      if (rest > 0 && !WaitOnce(WaitKind::kHourly, per_hour, static_cast<int>(rest))) {
        return Action::kEnd;
      }
      host_.ShowStatus(std::string());
      return Action::kResend;
    }
    per_hour = *figures->per_hour;
  }
}

bool AccountLimits::WaitOnce(WaitKind kind, int64_t per_hour, int ms) {
  ms = std::max(ms, 1);  // every wait uses up some of the run's allowance for waiting
  const std::time_t next_try = std::time(nullptr) + (ms + 999) / 1000;
  host_.ShowStatus(LimitTexts::Waiting(kind, per_hour, next_try));
  const auto start = SteadyClock::now();
  const bool waited = host_.Wait(ms, stop_, timings_.stop_check_ms);
  budget_used_ms_ += ms;
  waited_ms_ += std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
                    .count();
  if (!waited) host_.ShowStatus(std::string());
  return waited;
}

AccountLimits::Action AccountLimits::EndRun(const ServiceAnswer& answer) {
  ran_out_ = true;
  std::string message = answer.service->MessageIn(answer.body);
  if (message.empty()) message = LimitTexts::NoneLeft();
  host_.ShowMessage(message);
  return Action::kEnd;
}

}  // namespace kelvaro
