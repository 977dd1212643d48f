#include "base/WorkerSteps.h"

namespace kelvaro {

int64_t RoundHalfEven(int64_t num, int64_t den) {
  int64_t quotient = num / den;
  const int64_t twice_rest = 2 * (num % den);
  if (twice_rest > den || (twice_rest == den && quotient % 2 != 0)) ++quotient;
  return quotient;
}

bool AskToContinue(WorkerHost& host, const std::string& error_text, bool last) {
  if (last) {
    host.ShowMessage(error_text);
    return false;
  }
  return host.AskYesNo(error_text + "\r\n\r\nDo you wish to continue request?") == kResultYes;
}

}  // namespace kelvaro
