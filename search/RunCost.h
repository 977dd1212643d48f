#pragma once

// What a run cost, as its worker and its search session counted it once the run was over. The
// windows make the sentences of it (ui/RunTexts).

#include <cstdint>
#include <optional>
#include <string>

namespace kelvaro {

struct RunCost {
  int queries_sent = 0;
  std::optional<int64_t> searches_left;  // when the service told
  int64_t waited_ms = 0;                 // waiting out the service's limits
  int not_counted = 0;                   // phrases left uncounted when the searches ran out
  int phrases = 0;
  int stored_used = 0;  // stored answers used instead of queries
  // Monthly searches: the credits the volume account has left, and why the volumes are
  // missing when the volume service failed (its message, possibly empty).
  std::optional<int64_t> volume_credits_left{};
  std::optional<std::string> volume_failure{};
  // Why the domain ranks are missing when the rank service failed (its message, possibly
  // empty).
  std::optional<std::string> rank_failure{};
  // A service that charges in money: what the run's tasks cost in dollars (as its answers
  // reported it) and the account's balance after the run, when it told.
  std::optional<double> dollars{};
  std::optional<double> balance{};
};

}  // namespace kelvaro
