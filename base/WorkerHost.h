#pragma once

#include <functional>
#include <string>

#include "base/ApiCredentials.h"

namespace kelvaro {

// Result codes of the message boxes, as the windows and workers compare them.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

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
};

}  // namespace kelvaro
