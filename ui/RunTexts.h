#pragma once

// The sentences the user reads about runs: what a run will cost and what it cost, the limits'
// notices, the failures of queries and the refusal of an endpoint. The core hands codes and
// figures (RunNotice, QueryFailure, RunCost); these say them. No Qt here, so the tests' hosts
// word notices exactly as the windows do.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ctime>
#include <string>

#include "base/RunNotice.h"
#include "search/RunCost.h"

namespace kelvaro {

// The Keyword Ideas window over a search service whose answers hold no ideas.
inline constexpr char kNoKeywordIdeasText[] = "This search service gives no keyword ideas.";

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

// A sum in dollars as the windows show it: cents ("$0.08"), or four places for a sum below
// half a cent ("$0.0012").
std::string DollarText(double dollars);
// The line beside Start for a service that charges by the task: "12 phrases: 36 tasks, about
// $0.08", with the stored answers and the tasks queued by an earlier run that stand in for
// the rest when there are any ("12 phrases: 30 tasks, 3 stored, 3 queued before, about $0.07"),
// then the volume credits.
std::string PlannedTasksText(std::size_t phrases, int64_t tasks, int64_t stored, int64_t queued,
                             bool up_to, double dollars, std::size_t volume_credits = 0);

// What a run cost, in the status bar at its end: "Queries sent: N.", when it used stored
// answers " Stored answers used: S.", when the service told " Searches left: M.", when the run
// waited " Waited W min for the hourly limit." (whole minutes; below a minute "Waited 12 s", at
// least 1 s), and when the searches
// ran out " P of Q phrases not counted: the account has no searches left." Then " Volume credits
// left: 98,753." when the volume service told, and last " Monthly searches unavailable:
// <message>" when it failed, and " Domain ranks unavailable: <message>" when the rank service
// failed. A service that charges in money adds " Cost: $0.0792." and " Balance: $49.92." after
// the searches left.
std::string RunCostText(const RunCost& cost);

// The sentences of the account's limits.
struct LimitTexts {
  // "This run sends up to N searches; your account has M left.\r\n\r\nStart anyway?"
  static std::string FewerLeft(int64_t needed, int64_t left);
  // "Your account has no searches left."
  static std::string NoneLeft();
  // "Hourly search limit reached (P an hour). Next try at HH:MM; Stop ends the run." or
  // "Search limit per minute reached. Next try at HH:MM:SS; Stop ends the run." (local time).
  static std::string Waiting(WaitKind kind, int64_t per_hour, std::time_t next_try);
};

// Why the settings may not keep `endpoint` (nothing is ever sent to it), as the settings
// dialog and a refused request say it; empty when IsAcceptableEndpoint.
std::string EndpointRefusal(const std::string& endpoint);

// Why a query has no count: the service's own words, `Unknown search service "<name>"`, or
// the endpoint's refusal.
std::string FailureText(const QueryFailure& failure);

// The sentence of `notice` as a box, the question or the status line shows it.
std::string NoticeText(const RunNotice& notice);

// The hint of a count cell filled from the answer store: "Stored answer from 2026-12-09 14:05
// UTC", `arrived` in seconds since 1970 UTC.
std::string StoredAnswerHint(int64_t arrived);

}  // namespace kelvaro
