#pragma once

// The sentences the windows show about what a run costs. The core counts; these say it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kelvaro {

// The line beside each window's Start button: what Start will send for `phrases` phrases at
// `queries_per_phrase` each ("5 phrases: 15 queries"); with `up_to` the count is a bound
// ("3 phrases: up to 33 queries").
std::string PlannedCostText(std::size_t phrases, std::size_t queries_per_phrase, bool up_to);

// What a run cost, in the status bar at its end: "Queries sent: N." and, when the service
// told, " Searches left: M.".
std::string RunCostText(int queries_sent, std::optional<int64_t> searches_left);

}  // namespace kelvaro
