#pragma once

// What a run tells the user, as codes and figures. The core says what happened; the window's
// host words it (ui/RunTexts), so no sentence the user reads lives below the Qt layer.

#include <cstdint>
#include <ctime>
#include <string>

namespace kelvaro {

// Which limit a run waits for.
enum class WaitKind { kHourly, kPerMinute };

// Why a query has no count.
struct QueryFailure {
  enum class Kind {
    kServiceAnswer,      // the answer says so; `detail` is the service's reading of it
    kUnknownService,     // `detail`: the service's name as the settings hold it
    kClearTextEndpoint,  // `detail`: the endpoint, which would carry the key unencrypted
    kInvalidEndpoint,    // `detail`: the endpoint, which the settings may not keep
    kTaskNotReady,       // a posted task was not ready in time; the next Start collects it
  };
  Kind kind = Kind::kServiceAnswer;
  std::string detail{};
};

struct RunNotice {
  enum class Kind {
    kNoSearchesLeft,        // a box before Start: the account has none left
    kFewerSearchesLeft,     // the question before Start: `needed` searches, `left` left
    kWaiting,               // the status line: `wait` is waited out until `next_try`
    kWaitOver,              // the status line is cleared
    kRanOut,                // a box: the searches ran out (`detail`: the service's message)
    kQueryFailed,           // a box about `failure` (the last phrase: the run ends)
    kContinueAfterFailure,  // the question after `failure`: go on with the next phrase?
    kEmptyResult,           // a box: a phrase answer without a result list
    kTasksWaiting,          // the status line: `needed` of `left` posted tasks are ready
    kCostOverBalance,       // the question before Start: `needed` of cost, `left` of balance
                            // (millionths of a dollar)
  };
  Kind kind = Kind::kQueryFailed;
  int64_t needed = 0;
  int64_t left = 0;
  WaitKind wait = WaitKind::kHourly;
  int64_t per_hour = 0;
  std::time_t next_try = 0;  // local time is shown
  std::string detail{};
  QueryFailure failure{};
};

// The words of a notice (the windows' and the tests' hosts use ui/RunTexts' NoticeText).
using NoticeWords = std::string (*)(const RunNotice& notice);

}  // namespace kelvaro
