#pragma once

// The sentences the windows show about what a run costs. The core counts; these say it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "search/RunCost.h"

namespace kelvaro {

// The line beside each window's Start button: what Start will send for `phrases` phrases at
// `queries_per_phrase` each ("5 phrases: 15 queries"); with `up_to` the count is a bound
// ("3 phrases: up to 33 queries"). Credits of the volume service follow when there are any
// ("12 phrases: 36 queries, 12 volume credits").
std::string PlannedCostText(std::size_t phrases, std::size_t queries_per_phrase, bool up_to,
                            std::size_t volume_credits = 0);
// The same with the answer store: only the `queries` Start will send, then the stored answers
// that stand in for the rest when there are any ("12 phrases: 9 queries, 27 stored").
std::string PlannedQueriesText(std::size_t phrases, int64_t queries, int64_t stored, bool up_to,
                               std::size_t volume_credits = 0);

// What a run cost, in the status bar at its end: "Queries sent: N.", when it used stored
// answers " Stored answers used: S.", when the service told " Searches left: M.", when the run
// waited " Waited W min for the hourly limit." (whole minutes; below a minute "Waited 12 s", at
// least 1 s), and when the searches
// ran out " P of Q phrases not counted: the account has no searches left." Then " Volume credits
// left: 98,753." when the volume service told, and last " Monthly searches unavailable:
// <message>" when it failed.
std::string RunCostText(const RunCost& cost);

// The hint of a count cell filled from the answer store: "Stored answer from 2026-12-09 14:05
// UTC", `arrived` in seconds since 1970 UTC.
std::string StoredAnswerHint(int64_t arrived);

}  // namespace kelvaro
