#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "base/RunNotice.h"

namespace kelvaro {

// Result codes of the message boxes, as the windows and workers compare them.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

// A worker's only door back to its window: steps on the GUI thread, the boxes, the status line
// and the waits that Stop cuts short. Everything outside the program (the services, the answer
// store, the account) a worker reaches through its search session instead. The windows give
// their workers a host that runs steps on the GUI thread; tests give a fake one.
class WorkerHost {
 public:
  // `words` turn the run's notices into the sentences the boxes and the status line show.
  explicit WorkerHost(NoticeWords words) : words_(words) {}
  virtual ~WorkerHost() = default;

  // Runs `step` on the GUI thread and returns once it has run (or once the window is
  // gone, in which case the step is dropped). Every change a worker makes to its grid or
  // window is such a step, with the values it needs captured. A step that throws is
  // reported by the host (the window shows the standard error box) and the run goes on.
  virtual void Synchronize(const std::function<void()>& step) = 0;
  // A plain message box ("Kelvaro", no icon, OK); returns when it is closed. The box
  // leaves its window usable while the worker waits.
  virtual void ShowMessage(const std::string& text) = 0;
  // A confirmation box with Yes and No; returns kResultYes, kResultNo or kResultCancel
  // (kResultNo when the window went away before the answer).
  virtual int AskYesNo(const std::string& text) = 0;
  // Sleeps `ms` milliseconds (0 or less: no pause).
  virtual void Pause(int ms) = 0;

  // A long wait (a service's limit): up to `ms` milliseconds, in slices of at most
  // `slice_ms`, ending early when `stop` is set or the window goes away. True when the
  // whole time passed. By default Pause slices.
  virtual bool Wait(int ms, const std::atomic<bool>& stop, int slice_ms = 1000);
  // Puts `text` in the window's status bar (a wait's notice); empty takes it away.
  virtual void ShowStatus(const std::string& /*text*/) {}

  // Tells the user `notice`: a wait's notice in the status bar (kWaitOver takes it away),
  // anything else in a plain box. Returns once it is shown or the box is closed.
  void Tell(const RunNotice& notice);
  // Asks `notice`'s question; true for Yes.
  bool Ask(const RunNotice& notice) { return AskYesNo(words_(notice)) == kResultYes; }

 private:
  NoticeWords words_;
};

}  // namespace kelvaro
