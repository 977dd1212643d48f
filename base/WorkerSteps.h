#pragma once

#include <cstdint>
#include <string>

#include "base/WorkerHost.h"

namespace kelvaro {

// What both workers do the same way between their own steps.

// num / den to the nearest integer, halves to even (den > 0, num >= 0).
int64_t RoundHalfEven(int64_t num, int64_t den);

// The error path of a failed request: on the last phrase or row a plain box about `failure`
// and false (the run ends); before it the question whether to go on, true for Yes.
bool AskToContinue(WorkerHost& host, const QueryFailure& failure, bool last);

}  // namespace kelvaro
