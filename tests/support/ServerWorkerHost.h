#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/FakeWorkerHost.h"

namespace kelvaro::testing {

// A FakeWorkerHost whose requests really go out (to a loopback search server) and whose
// waits really pass, so a run meets a server's time windows as it would in a window. Boxes
// and questions are recorded and answered as by FakeWorkerHost; the status texts are
// recorded too ("" when one is taken away).
class ServerWorkerHost : public FakeWorkerHost {
 public:
  std::string Download(const std::string& url) override;
  HttpAnswer Get(const std::string& url, int receive_timeout_ms) override;
  HttpAnswer Post(const std::string& url, const std::vector<std::string>& headers,
                  const std::string& body, int receive_timeout_ms) override;
  // The platform's batch (every GET under way at once), each GET recorded as it is added.
  std::unique_ptr<HttpBatch> StartBatch() override;
  HttpAnswer GetWithHeaders(const std::string& url, const std::vector<std::string>& headers,
                            int receive_timeout_ms) override;
  bool Wait(int ms, const std::atomic<bool>& stop, int slice_ms) override;
  void ShowStatus(const std::string& text) override;

  // With a hook, a wait passes no real time: the hook is given the milliseconds to move the
  // server's clock on by (SubstituteSearchServer::PassAccountTime). Without one a wait sleeps,
  // as a window's host does (the benchmark's case).
  void PassTimeWith(std::function<void(int ms)> pass_time) { pass_time_ = std::move(pass_time); }
  // Called with each status text as it is shown (to press Stop during a wait).
  void OnStatus(std::function<void(const std::string&)> hook);
  std::vector<std::string> Statuses() const;

 private:
  mutable std::mutex status_mutex_;
  std::vector<std::string> statuses_;
  std::function<void(const std::string&)> on_status_;
  std::function<void(int ms)> pass_time_;
};

}  // namespace kelvaro::testing
