#include "ui/RunTexts.h"

namespace kelvaro {

std::string PlannedCostText(std::size_t phrases, std::size_t queries_per_phrase, bool up_to) {
  const std::size_t queries = phrases * queries_per_phrase;
  std::string text = std::to_string(phrases) + (phrases == 1 ? " phrase: " : " phrases: ");
  if (queries > 0 && up_to) text += "up to ";
  return text + std::to_string(queries) + " queries";
}

std::string RunCostText(int queries_sent, std::optional<int64_t> searches_left) {
  std::string text = "Queries sent: " + std::to_string(queries_sent) + ".";
  if (searches_left) text += " Searches left: " + std::to_string(*searches_left) + ".";
  return text;
}

}  // namespace kelvaro
