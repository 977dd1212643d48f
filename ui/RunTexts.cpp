#include "ui/RunTexts.h"

#include <algorithm>

namespace kelvaro {

std::string PlannedCostText(std::size_t phrases, std::size_t queries_per_phrase, bool up_to) {
  const std::size_t queries = phrases * queries_per_phrase;
  std::string text = std::to_string(phrases) + (phrases == 1 ? " phrase: " : " phrases: ");
  if (queries > 0 && up_to) text += "up to ";
  return text + std::to_string(queries) + " queries";
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
  return text;
}

}  // namespace kelvaro
