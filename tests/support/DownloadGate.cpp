#include "tests/support/DownloadGate.h"


namespace kelvaro::testing {

void DownloadGate::Enter() {
  std::unique_lock<std::mutex> lock(mutex_);
  starts_.push_back(Clock::now());
  ++waiting_;
  changed_.wait_for(lock, std::chrono::seconds(20), [&] { return permits_ != 0; });
  if (permits_ > 0) --permits_;
  --waiting_;
}

HttpAnswer DownloadGate::Get(const std::string& url, int receive_timeout_ms) {
  Enter();
  return platform_.Get(url, receive_timeout_ms);
}

HttpAnswer DownloadGate::Post(const std::string& url, const std::vector<std::string>& headers,
                              const std::string& body, int receive_timeout_ms) {
  Enter();
  return platform_.Post(url, headers, body, receive_timeout_ms);
}

HttpAnswer DownloadGate::GetWithHeaders(const std::string& url,
                                        const std::vector<std::string>& headers,
                                        int receive_timeout_ms) {
  Enter();
  return platform_.GetWithHeaders(url, headers, receive_timeout_ms);
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
