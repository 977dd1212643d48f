#include "base/WorkerSteps.h"

#include <atomic>

namespace kelvaro {

int64_t RoundHalfEven(int64_t num, int64_t den) {
  int64_t quotient = num / den;
  const int64_t twice_rest = 2 * (num % den);
  if (twice_rest > den || (twice_rest == den && quotient % 2 != 0)) ++quotient;
  return quotient;
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

bool AskToContinue(WorkerHost& host, const std::string& error_text, bool last) {
  if (last) {
    host.ShowMessage(error_text);
    return false;
  }
  return host.AskYesNo(error_text + "\r\n\r\nDo you wish to continue request?") == kResultYes;
}

}  // namespace kelvaro
