#include "ui/RunTexts.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "web/EndpointPolicy.h"
#include "web/SearchService.h"

namespace kelvaro {

namespace {

// 98753 as "98,753".
std::string WithThousands(int64_t value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  for (int pos = static_cast<int>(digits.size()) - 3; pos > 0; pos -= 3) digits.insert(pos, ",");
  return value < 0 ? "-" + digits : digits;
}

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

constexpr char kEmptyResultText[] = "Empty request result";

// `dollars` with `decimals` places after the point: "$0.0792".
std::string Dollars(double dollars, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "$%.*f", decimals, dollars);
  return text;
}

}  // namespace

std::string DollarText(double dollars) {
  // Cents, except for a sum that would show as none.
  return Dollars(dollars, dollars > 0 && dollars < 0.005 ? 4 : 2);
}

std::string PlannedTasksText(std::size_t phrases, int64_t tasks, int64_t stored, int64_t queued,
                             bool up_to, double dollars, std::size_t volume_credits) {
  std::string text = std::to_string(phrases) + (phrases == 1 ? " phrase: " : " phrases: ");
  if (tasks > 0 && up_to) text += "up to ";
  text += std::to_string(tasks) + (tasks == 1 ? " task" : " tasks");
  if (stored > 0) text += ", " + std::to_string(stored) + " stored";
  if (queued > 0) text += ", " + std::to_string(queued) + " queued before";
  text += ", about " + DollarText(dollars);
  if (volume_credits > 0) {
    text += ", " + std::to_string(volume_credits) +
            (volume_credits == 1 ? " volume credit" : " volume credits");
  }
  return text;
}

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

std::string EndpointRefusal(const std::string& endpoint) {
  if (IsClearTextRemoteEndpoint(endpoint)) {
    return "The endpoint \"" + endpoint +
           "\" would carry the API key unencrypted: use https://, or http:// only for "
           "localhost, 127.0.0.0/8 or [::1]";
  }
  if (!IsValidEndpoint(endpoint)) {
    return "Invalid endpoint \"" + endpoint +
           "\": leave it empty for the service's own address, or give http:// or https:// and "
           "a host, optionally with a port and a path";
  }
  return std::string();
}

std::string FailureText(const QueryFailure& failure) {
  switch (failure.kind) {
    case QueryFailure::Kind::kUnknownService:
      return "Unknown search service \"" + failure.detail + "\"";
    case QueryFailure::Kind::kClearTextEndpoint:
    case QueryFailure::Kind::kInvalidEndpoint:
      return EndpointRefusal(failure.detail);
    case QueryFailure::Kind::kTaskNotReady:
      return "DataForSEO has not finished this task within 60 minutes; it stays queued, and "
             "the next Start collects it.";
    case QueryFailure::Kind::kServiceAnswer:
      break;
  }
  return failure.detail;
}

std::string NoticeText(const RunNotice& notice) {
  switch (notice.kind) {
    case RunNotice::Kind::kNoSearchesLeft:
      return LimitTexts::NoneLeft();
    case RunNotice::Kind::kFewerSearchesLeft:
      return LimitTexts::FewerLeft(notice.needed, notice.left);
    case RunNotice::Kind::kWaiting:
      return LimitTexts::Waiting(notice.wait, notice.per_hour, notice.next_try);
    case RunNotice::Kind::kWaitOver:
      return std::string();
    case RunNotice::Kind::kRanOut:
      return notice.detail.empty() ? LimitTexts::NoneLeft() : notice.detail;
    case RunNotice::Kind::kQueryFailed:
      return FailureText(notice.failure);
    case RunNotice::Kind::kContinueAfterFailure:
      return FailureText(notice.failure) + "\r\n\r\nDo you wish to continue request?";
    case RunNotice::Kind::kEmptyResult:
      return kEmptyResultText;
    case RunNotice::Kind::kTasksWaiting:
      return "Waiting for DataForSEO: " + std::to_string(notice.needed) + " of " +
             std::to_string(notice.left) + " tasks ready.";
    case RunNotice::Kind::kCostOverBalance:
      return "This run costs about " + DollarText(static_cast<double>(notice.needed) / 1e6) +
             "; your balance is " + DollarText(static_cast<double>(notice.left) / 1e6) +
             ".\r\n\r\nStart anyway?";
  }
  return std::string();
}

std::string PlannedCostText(std::size_t phrases, std::size_t queries_per_phrase, bool up_to,
                            std::size_t volume_credits) {
  return PlannedQueriesText(phrases, static_cast<int64_t>(phrases * queries_per_phrase), 0, up_to,
                            volume_credits);
}

std::string PlannedQueriesText(std::size_t phrases, int64_t queries, int64_t stored, bool up_to,
                               std::size_t volume_credits) {
  std::string text = std::to_string(phrases) + (phrases == 1 ? " phrase: " : " phrases: ");
  if (queries > 0 && up_to) text += "up to ";
  text += std::to_string(queries) + " queries";
  if (stored > 0) text += ", " + std::to_string(stored) + " stored";
  if (volume_credits > 0) {
    text += ", " + std::to_string(volume_credits) +
            (volume_credits == 1 ? " volume credit" : " volume credits");
  }
  return text;
}

std::string RunCostText(const RunCost& cost) {
  std::string text = "Queries sent: " + std::to_string(cost.queries_sent) + ".";
  if (cost.stored_used > 0) {
    text += " Stored answers used: " + std::to_string(cost.stored_used) + ".";
  }
  if (cost.searches_left) text += " Searches left: " + std::to_string(*cost.searches_left) + ".";
  if (cost.waited_ms > 0) {
    // Whole seconds below a minute, whole minutes from there on; never "0".
    const int64_t seconds = std::max<int64_t>(1, (cost.waited_ms + 500) / 1000);
    const std::string waited = seconds < 60
                                   ? std::to_string(seconds) + " s"
                                   : std::to_string((cost.waited_ms + 30000) / 60000) + " min";
    text += " Waited " + waited + " for the hourly limit.";
  }
  if (cost.not_counted > 0) {
    text += " " + std::to_string(cost.not_counted) + " of " + std::to_string(cost.phrases) +
            " phrases not counted: the account has no searches left.";
  }
  if (cost.dollars) text += " Cost: " + Dollars(*cost.dollars, 4) + ".";
  if (cost.balance) text += " Balance: " + Dollars(*cost.balance, 2) + ".";
  if (cost.volume_credits_left) {
    text += " Volume credits left: " + WithThousands(*cost.volume_credits_left) + ".";
  }
  if (cost.volume_failure) {
    text += " Monthly searches unavailable: " +
            (cost.volume_failure->empty() ? std::string("the service gave no usable answer.")
                                          : *cost.volume_failure);
  }
  if (cost.rank_failure) {
    text += " Domain ranks unavailable: " +
            (cost.rank_failure->empty() ? std::string("the service gave no usable answer.")
                                        : *cost.rank_failure);
  }
  return text;
}

std::string StoredAnswerHint(int64_t arrived) {
  const auto when = static_cast<std::time_t>(arrived);
  std::tm utc{};
#ifdef _WIN32
  const bool ok = gmtime_s(&utc, &when) == 0;
#else
  const bool ok = gmtime_r(&when, &utc) != nullptr;
#endif
  char text[32] = "";
  if (ok) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &utc);
  return std::string("Stored answer from ") + text + " UTC";
}

}  // namespace kelvaro
