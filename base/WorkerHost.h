#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "base/ApiCredentials.h"

namespace kelvaro {

// Result codes of the message boxes, as the windows and workers compare them.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

// An HTTP answer with what the service layer reads beside its body.
struct HttpAnswer {
  std::string body;       // as DownloadPage gives it: empty or partial when anything failed
  int status = 0;         // the HTTP status of the final answer; 0 when unknown
  int retry_after_s = -1;  // the Retry-After header in seconds; -1 when absent or unknown
  // True only when the transfer ended normally with the whole body (as long as its
  // Content-Length said, where it said); a cut-off, timed-out or aborted one is never whole.
  // Only a whole answer is ever kept for later runs.
  bool complete = false;
};

// The only door from a worker's thread back to the program. The windows give their
// workers a host that runs steps on the GUI thread; tests give a fake one.
class WorkerHost {
 public:
  virtual ~WorkerHost() = default;

  // Runs `step` on the GUI thread and returns once it has run (or once the window is
  // gone, in which case the step is dropped). Every change a worker makes to its grid or
  // window is such a step, with the values it needs captured. A step that throws is
  // reported by the host (the window shows the standard error box) and the run goes on.
  virtual void Synchronize(const std::function<void()>& step) = 0;
  // Body of the answer to a GET of `url`; empty (or partial) when anything fails.
  virtual std::string Download(const std::string& url) = 0;
  // The credentials as they are now, read together.
  virtual Credentials CurrentCredentials() = 0;
  // The endpoint start-up was given (the offline demo's or a test's own service), used when
  // the credentials name none; empty: the search service's own address.
  virtual std::string Endpoint() = 0;
  // A plain message box ("Kelvaro", no icon, OK); returns when it is closed. The box
  // leaves its window usable while the worker waits.
  virtual void ShowMessage(const std::string& text) = 0;
  // A confirmation box with Yes and No; returns kResultYes, kResultNo or kResultCancel
  // (kResultNo when the window went away before the answer).
  virtual int AskYesNo(const std::string& text) = 0;
  // Sleeps `ms` milliseconds (0 or less: no pause).
  virtual void Pause(int ms) = 0;

  // Like Download, with the answer's status and Retry-After where the platform tells them,
  // whether it arrived whole, and its own receive time-out. By default the body of Download
  // alone, taken as whole unless empty: a host that hands over bodies only cannot tell a
  // cut-off one.
  virtual HttpAnswer Fetch(const std::string& url, int receive_timeout_ms);
  // A long wait (a service's limit): up to `ms` milliseconds, in slices of at most
  // `slice_ms`, ending early when `stop` is set or the window goes away. True when the
  // whole time passed. By default Pause slices.
  virtual bool Wait(int ms, const std::atomic<bool>& stop, int slice_ms = 1000);
  // POSTs the form-encoded `body` with `headers` ("Name: value" each) added to the usual ones;
  // the answer as Fetch gives it. By default nothing is sent (an empty answer).
  virtual HttpAnswer Post(const std::string& /*url*/, const std::vector<std::string>& /*headers*/,
                          const std::string& /*body*/) {
    return HttpAnswer();
  }
  // Puts `text` in the window's status bar (a wait's notice); empty takes it away.
  virtual void ShowStatus(const std::string& /*text*/) {}
};

}  // namespace kelvaro
