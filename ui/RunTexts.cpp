#include "ui/RunTexts.h"

#include <algorithm>

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
  const std::size_t queries = phrases * queries_per_phrase;
  std::string text = std::to_string(phrases) + (phrases == 1 ? " phrase: " : " phrases: ");
  if (queries > 0 && up_to) text += "up to ";
  text += std::to_string(queries) + " queries";
  if (volume_credits > 0) {
    text += ", " + std::to_string(volume_credits) +
            (volume_credits == 1 ? " volume credit" : " volume credits");
  }
  return text;
}

std::string RunCostText(const RunCost& cost) {
  std::string text = "Queries sent: " + std::to_string(cost.queries_sent) + ".";
  if (cost.searches_left) text += " Searches left: " + std::to_string(*cost.searches_left) + ".";
  if (cost.waited_ms > 0) {
    const int64_t minutes = std::max<int64_t>(1, (cost.waited_ms + 30000) / 60000);
    text += " Waited " + std::to_string(minutes) + " min for the hourly limit.";
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

}  // namespace kelvaro
