#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kelvaro::testing {

// A window's downloader for tests: records when each download began and can hold the
// worker inside its downloads, so a test can act while a run is certainly under way.
// Never holds a download longer than 20 s.
class DownloadGate {
 public:
  using Clock = std::chrono::steady_clock;

  // Wraps `download` (DownloadPage when empty) in the gate.
  std::function<std::string(const std::string&)> Downloader(
      std::function<std::string(const std::string&)> download = {});
  // Holds every download from now on.
  void Close() { SetPermits(0); }
  // Lets every download through.
  void Open() { SetPermits(-1); }
  // Lets the next n held or coming downloads through (after Close).
  void Allow(int n);
  int Waiting() const;
  std::vector<Clock::time_point> Starts() const;

 private:
  void SetPermits(int n);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int permits_ = -1;  // negative: no limit
  int waiting_ = 0;
  std::vector<Clock::time_point> starts_;
};

}  // namespace kelvaro::testing
