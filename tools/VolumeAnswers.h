#pragma once

// What the substitute server answers to Keywords Everywhere's keyword-data request, as plain
// functions: the monthly searches it invents for a phrase and the JSON answers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro::searchsim {

// The monthly searches of a phrase, a fixed function of its words (letter case and spacing do
// not matter): a phrase with the word "novolume" has none (it is left out of the answer), one
// with "nothing" has 0, one with "few" has 120 (with its allintitle count of 2, a golden ratio);
// any other phrase one of 90, 210, 880, 1300, 2400, 5400, 12100, 49500, picked by its words.
std::optional<int64_t> VolumeFor(std::string_view phrase);

// The answer for the phrases of one request (decoded kw[] values): a data entry per phrase
// with a volume, in the order asked, keyword as asked, and the credits left after the request.
std::string VolumeAnswerJson(const std::vector<std::string>& phrases, int64_t credits_left);

// The service's refusal of a key: {"message": ...}.
inline constexpr char kVolumeInvalidKey[] = "Invalid API key.";
std::string VolumeErrorJson(std::string_view message);

}  // namespace kelvaro::searchsim
