#include "ui/RunTexts.h"

#include <algorithm>
#include <ctime>

namespace kelvaro {

namespace {

// 98753 as "98,753".
std::string WithThousands(int64_t value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  for (int pos = static_cast<int>(digits.size()) - 3; pos > 0; pos -= 3) digits.insert(pos, ",");
  return value < 0 ? "-" + digits : digits;
}

}  // namespace

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
  if (cost.volume_credits_left) {
    text += " Volume credits left: " + WithThousands(*cost.volume_credits_left) + ".";
  }
  if (cost.volume_failure) {
    text += " Monthly searches unavailable: " +
            (cost.volume_failure->empty() ? std::string("the service gave no usable answer.")
                                          : *cost.volume_failure);
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
