#include "tools/RankAnswers.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "tools/SearchAnswers.h"

namespace kelvaro::searchsim {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace

std::optional<double> RankFor(std::string_view domain) {
  const std::string name = Lower(domain);
  if (name.find("norank") != std::string::npos) return std::nullopt;
  uint64_t hash = 1469598103934665603ull;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return static_cast<double>(hash % 1000) / 100.0;
}

std::string RankAnswerJson(const std::vector<std::string>& domains) {
  std::string json = "{\"status_code\": 200, \"response\": [";
  for (size_t i = 0; i < domains.size(); ++i) {
    if (i > 0) json += ", ";
    const std::optional<double> rank = RankFor(domains[i]);
    if (rank) {
      // Written without the C library's locale, which may put a comma in a number.
      char decimal[32];
      const std::to_chars_result end =
          std::to_chars(decimal, decimal + sizeof decimal, *rank, std::chars_format::fixed, 2);
      const auto hundredths = static_cast<int>(std::lround(*rank * 100));
      json += "{\"status_code\": 200, \"error\": \"\", \"page_rank_integer\": " +
              std::to_string((hundredths + 50) / 100) + ", \"page_rank_decimal\": " +
              std::string(decimal, end.ptr) + ", \"rank\": \"" +
              std::to_string(1000000 - hundredths * 100) + "\", \"domain\": " +
              JsonQuote(domains[i]) + "}";
    } else {
      json += "{\"status_code\": 404, \"error\": \"Domain not found\", \"page_rank_integer\": 0, "
              "\"page_rank_decimal\": 0, \"rank\": null, \"domain\": " +
              JsonQuote(domains[i]) + "}";
    }
  }
  json += "], \"last_updated\": \"15th Nov 2026\"}";
  return json;
}

std::string RankErrorJson(int status, std::string_view error) {
  return "{\"status_code\": " + std::to_string(status) + ", \"error\": " + JsonQuote(error) + "}";
}

}  // namespace kelvaro::searchsim
