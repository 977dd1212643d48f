#pragma once

#include <cstdint>
#include <string>

#include "base/WorkerHost.h"

namespace kelvaro {

// What both workers do the same way between their own steps.

// num / den to the nearest integer, halves to even (den > 0, num >= 0).
int64_t RoundHalfEven(int64_t num, int64_t den);

// The error path of a failed request: on the last phrase or row a plain box with
// `error_text` and false (the run ends); before it the question
// `error_text` + "\r\n\r\nDo you wish to continue request?" and true for Yes.
bool AskToContinue(WorkerHost& host, const std::string& error_text, bool last);

}  // namespace kelvaro
