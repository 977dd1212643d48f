#include "base/WorkerSteps.h"

#include <atomic>

namespace kelvaro {

int64_t RoundHalfEven(int64_t num, int64_t den) {
  int64_t quotient = num / den;
  const int64_t twice_rest = 2 * (num % den);
  if (twice_rest > den || (twice_rest == den && quotient % 2 != 0)) ++quotient;
  return quotient;
}

void WorkerHost::Tell(const RunNotice& notice) {
  switch (notice.kind) {
    case RunNotice::Kind::kWaiting:
    case RunNotice::Kind::kTasksWaiting:
      ShowStatus(words_(notice));
      return;
    case RunNotice::Kind::kWaitOver:
      ShowStatus(std::string());
      return;
    default:
      ShowMessage(words_(notice));
  }
}

bool WorkerHost::Wait(int ms, const std::atomic<bool>& stop, int slice_ms) {
  if (slice_ms < 1) slice_ms = 1;
  while (ms > 0) {
    if (stop) return false;
    const int slice = ms < slice_ms ? ms : slice_ms;
    Pause(slice);
    ms -= slice;
  }
  return !stop;
}

bool AskToContinue(WorkerHost& host, const QueryFailure& failure, bool last) {
  RunNotice notice;
  notice.kind = last ? RunNotice::Kind::kQueryFailed : RunNotice::Kind::kContinueAfterFailure;
  notice.failure = failure;
  if (last) {
    host.Tell(notice);
    return false;
  }
  return host.Ask(notice);
}

}  // namespace kelvaro
