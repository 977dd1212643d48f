#include "web/HttpClient.h"

#include <deque>
#include <string>
#include <tuple>

#include "web/DownloadBackend.h"
#include "web/uHelper.h"

namespace kelvaro {

namespace {

// GETs one after another through a client's Get, on the thread that calls Next.
class SerialBatch final : public HttpBatch {
 public:
  explicit SerialBatch(HttpClient& client) : client_(client) {}
  void Add(size_t tag, const std::string& url, int receive_timeout_ms) override {
    waiting_.emplace_back(tag, url, receive_timeout_ms);
  }
  size_t Pending() const override { return waiting_.size(); }
  std::vector<std::pair<size_t, HttpAnswer>> Next() override {
    std::vector<std::pair<size_t, HttpAnswer>> ended;
    if (waiting_.empty()) return ended;
    const auto [tag, url, timeout_ms] = waiting_.front();
    waiting_.pop_front();
    HttpAnswer answer;
    try {
      answer = client_.Get(url, timeout_ms);
    } catch (...) {
      answer = HttpAnswer();  // a GET that throws is a failed one
    }
    ended.emplace_back(tag, std::move(answer));
    return ended;
  }

 private:
  HttpClient& client_;
  std::deque<std::tuple<size_t, std::string, int>> waiting_;
};

}  // namespace

std::unique_ptr<HttpBatch> HttpClient::StartBatch() { return std::make_unique<SerialBatch>(*this); }

std::unique_ptr<HttpBatch> PlatformHttpClient::StartBatch() {
  std::unique_ptr<HttpBatch> batch = internal::StartBatch(abort_);
  // A platform without one sends them one at a time.
  return batch != nullptr ? std::move(batch) : HttpClient::StartBatch();
}

HttpAnswer PlatformHttpClient::Get(const std::string& url, int receive_timeout_ms) {
  return DownloadAnswer(url, receive_timeout_ms, abort_);
}

HttpAnswer PlatformHttpClient::Post(const std::string& url, const std::vector<std::string>& headers,
                                    const std::string& body, int receive_timeout_ms) {
  return PostForm(url, headers, body, receive_timeout_ms, abort_);
}

HttpAnswer HttpClient::GetWithHeaders(const std::string& /*url*/,
                                      const std::vector<std::string>& /*headers*/,
                                      int /*receive_timeout_ms*/) {
  return HttpAnswer();
}

HttpAnswer PlatformHttpClient::GetWithHeaders(const std::string& url,
                                              const std::vector<std::string>& headers,
                                              int receive_timeout_ms) {
  return DownloadWithHeaders(url, headers, receive_timeout_ms, abort_);
}

}  // namespace kelvaro
