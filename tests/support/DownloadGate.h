#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "web/HttpClient.h"

namespace kelvaro::testing {

// A window's HTTP client for tests (RunServices::http): the platform's client, with a gate that
// records when each request began and can hold the worker inside its requests, so a test can
// act while a run is certainly under way. Never holds a request longer than 20 s.
class DownloadGate : public HttpClient {
 public:
  using Clock = std::chrono::steady_clock;

  HttpAnswer Get(const std::string& url, int receive_timeout_ms) override;
  HttpAnswer Post(const std::string& url, const std::vector<std::string>& headers,
                  const std::string& body, int receive_timeout_ms) override;
  // The platform's batch: several searches at once pass no gate.
  std::unique_ptr<HttpBatch> StartBatch() override { return platform_.StartBatch(); }
  HttpAnswer GetWithHeaders(const std::string& url, const std::vector<std::string>& headers,
                            int receive_timeout_ms) override;
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
  // Waits at the gate until a permit lets the request through.
  void Enter();

  PlatformHttpClient platform_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int permits_ = -1;  // negative: no limit
  int waiting_ = 0;
  std::vector<Clock::time_point> starts_;
};

}  // namespace kelvaro::testing
