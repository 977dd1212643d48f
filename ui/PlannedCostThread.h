#pragma once

// The line beside Start, worked out away from the GUI thread. Reading the answer store for
// every line of a long memo takes a good part of a second, far too long to do at each
// keystroke; here only the newest memo counts: a job posted while another waits replaces it,
// and a text whose memo was overtaken by a newer one is never shown.

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace kelvaro {

class PlannedCostThread {
 public:
  // Works out a text; runs on the thread of this object, so it reads nothing the GUI
  // thread writes (it gets its values as captures).
  using Job = std::function<std::string()>;

  // `show` runs on the GUI thread with the text of the newest job posted.
  explicit PlannedCostThread(std::function<void(const std::string&)> show);
  // Drops a job not begun and waits for one under way. GUI thread.
  ~PlannedCostThread();
  PlannedCostThread(const PlannedCostThread&) = delete;
  PlannedCostThread& operator=(const PlannedCostThread&) = delete;

  // Hands `job` to the thread, in place of one still waiting. GUI thread.
  void Post(Job job);
  // A job posted has not been shown yet. GUI thread.
  bool Pending() const { return shown_ != posted_; }

 private:
  void Loop();

  const std::function<void(const std::string&)> show_;
  QObject receiver_;  // the texts arrive through its event queue, on the GUI thread
  uint64_t posted_ = 0;  // GUI thread only
  uint64_t shown_ = 0;   // GUI thread only
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<std::pair<uint64_t, Job>> waiting_;  // under mutex_
  bool quit_ = false;                                // under mutex_
  std::thread thread_;  // last: starts once everything above is there
};

}  // namespace kelvaro
