#include "tests/support/ServerWorkerHost.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "web/DownloadBackend.h"
#include "web/uHelper.h"

namespace kelvaro::testing {

std::string ServerWorkerHost::Download(const std::string& url) {
  return Get(url, kReceiveTimeoutMs).body;
}

HttpAnswer ServerWorkerHost::Get(const std::string& url, int receive_timeout_ms) {
  FakeWorkerHost::Download(url);  // records it
  return internal::DownloadAnswer(url, std::chrono::milliseconds(receive_timeout_ms),
                                  internal::ConnectionUse::kReuse);
}

HttpAnswer ServerWorkerHost::Post(const std::string& url, const std::vector<std::string>& headers,
                                  const std::string& body, int receive_timeout_ms) {
  FakeWorkerHost::Download(url);  // records it
  return PostForm(url, headers, body, receive_timeout_ms);
}

namespace {

class RecordedBatch final : public HttpBatch {
 public:
  RecordedBatch(FakeWorkerHost& host, std::unique_ptr<HttpBatch> batch)
      : host_(host), batch_(std::move(batch)) {}
  void Add(size_t tag, const std::string& url, int receive_timeout_ms) override {
    host_.FakeWorkerHost::Download(url);  // records it
    batch_->Add(tag, url, receive_timeout_ms);
  }
  size_t Pending() const override { return batch_->Pending(); }
  std::vector<std::pair<size_t, HttpAnswer>> Next() override { return batch_->Next(); }

 private:
  FakeWorkerHost& host_;
  std::unique_ptr<HttpBatch> batch_;
};

}  // namespace

std::unique_ptr<HttpBatch> ServerWorkerHost::StartBatch() {
  std::unique_ptr<HttpBatch> batch = internal::StartBatch(nullptr);
  if (batch == nullptr) return HttpClient::StartBatch();
  return std::make_unique<RecordedBatch>(*this, std::move(batch));
}

HttpAnswer ServerWorkerHost::GetWithHeaders(const std::string& url,
                                            const std::vector<std::string>& headers,
                                            int receive_timeout_ms) {
  FakeWorkerHost::Download(url);  // records it
  return DownloadWithHeaders(url, headers, receive_timeout_ms);
}

bool ServerWorkerHost::Wait(int ms, const std::atomic<bool>& stop, int slice_ms) {
  if (pass_time_) {
    if (stop) return false;
    pass_time_(ms);
    return !stop;
  }
  // The server's windows are time: a wait lets it pass as a window's host would (the
  // ordinary pauses stay instant, as FakeWorkerHost's).
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!stop && std::chrono::steady_clock::now() < end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(slice_ms)));
  }
  return !stop;
}

void ServerWorkerHost::ShowStatus(const std::string& text) {
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard lock(status_mutex_);
    statuses_.push_back(text);
    hook = on_status_;
  }
  if (hook) hook(text);
}

void ServerWorkerHost::OnStatus(std::function<void(const std::string&)> hook) {
  std::lock_guard lock(status_mutex_);
  on_status_ = std::move(hook);
}

std::vector<std::string> ServerWorkerHost::Statuses() const {
  std::lock_guard lock(status_mutex_);
  return statuses_;
}

}  // namespace kelvaro::testing
