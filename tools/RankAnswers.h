#pragma once

// What the substitute server answers to Open PageRank's rank request, as plain functions: the
// rank it invents for a domain and the JSON answers.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro::searchsim {

// The rank of a domain (0.00 to 9.99, two decimals), a fixed function of the domain in lower
// case; none for a domain holding "norank", which the service does not know.
std::optional<double> RankFor(std::string_view domain);

// The answer for the domains of one request (decoded domains[] values): an entry per domain in
// the order asked, with status 200 and its rank, or status 404 and "Domain not found".
std::string RankAnswerJson(const std::vector<std::string>& domains);

// The service's refusal of a key, answered with HTTP 401.
inline constexpr char kRankInvalidKey[] = "Invalid API key";
std::string RankErrorJson(int status, std::string_view error);

}  // namespace kelvaro::searchsim
