#include "tests/support/DownloadGate.h"

#include "web/uHelper.h"

namespace kelvaro::testing {

std::function<std::string(const std::string&)> DownloadGate::Downloader(
    std::function<std::string(const std::string&)> download) {
  if (!download) download = [](const std::string& url) { return DownloadPage(url); };
  return [this, download](const std::string& url) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      starts_.push_back(Clock::now());
      ++waiting_;
      changed_.wait_for(lock, std::chrono::seconds(20), [&] { return permits_ != 0; });
      if (permits_ > 0) --permits_;
      --waiting_;
    }
    return download(url);
  };
}

void DownloadGate::Allow(int n) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (permits_ >= 0) permits_ += n;
  }
  changed_.notify_all();
}

int DownloadGate::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_;
}

std::vector<DownloadGate::Clock::time_point> DownloadGate::Starts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return starts_;
}

void DownloadGate::SetPermits(int n) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    permits_ = n;
  }
  changed_.notify_all();
}

}  // namespace kelvaro::testing
