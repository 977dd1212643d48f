#include "tools/VolumeAnswers.h"

#include <algorithm>

#include "tools/SearchAnswers.h"

namespace kelvaro::searchsim {

std::optional<int64_t> VolumeFor(std::string_view phrase) {
  const std::vector<std::string> words = Words(phrase);
  const auto has = [&](const char* word) {
    return std::find(words.begin(), words.end(), word) != words.end();
  };
  if (has("novolume")) return std::nullopt;
  if (has("nothing")) return 0;
  if (has("few")) return 120;
  static constexpr int64_t kVolumes[] = {90, 210, 880, 1300, 2400, 5400, 12100, 49500};
  uint64_t hash = 1469598103934665603ull;
  for (const std::string& word : words) {
    for (const char c : word + " ") {
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
  }
  return kVolumes[hash % 8];
}

std::string VolumeAnswerJson(const std::vector<std::string>& phrases, int64_t credits_left) {
  std::string json = "{\"data\": [";
  bool first = true;
  for (const std::string& phrase : phrases) {
    const std::optional<int64_t> volume = VolumeFor(phrase);
    if (!volume) continue;
    if (!first) json += ", ";
    first = false;
    json += "{\"keyword\": " + JsonQuote(phrase) + ", \"vol\": " + std::to_string(*volume) +
            ", \"cpc\": {\"currency\": \"$\", \"value\": \"0.52\"}, \"competition\": 0.03, "
            "\"trend\": []}";
  }
  json += "], \"credits\": " + std::to_string(credits_left) + ", \"time\": 0.01}";
  return json;
}

std::string VolumeErrorJson(std::string_view message) {
  return "{\"message\": " + JsonQuote(message) + "}";
}

}  // namespace kelvaro::searchsim
