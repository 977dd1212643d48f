#pragma once

// The program's one door to the network: a GET or a form POST with headers of its own, and
// the answer's body, status, Retry-After and whether it arrived whole. The platform's client
// (libcurl; WinInet on Windows) stands behind it in PlatformHttpClient; tests hand the search
// session a scripted client or one that reaches the substitute service.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kelvaro {

// An HTTP answer with what the service layer reads beside its body.
struct HttpAnswer {
  std::string body;       // empty or partial when anything failed
  int status = 0;         // the HTTP status of the final answer; 0 when unknown
  int retry_after_s = -1;  // the Retry-After header in seconds; -1 when absent or unknown
  // True only when the transfer ended normally with the whole body (as long as its
  // Content-Length said, where it said); a cut-off, timed-out or aborted one is never whole.
  // Only a whole answer is ever kept for later runs.
  bool complete = false;
};

// Several GETs under way at once, all driven on the thread that calls Next: the connections
// stay open from one GET to the next, and a server that offers HTTP/2 carries them on one.
class HttpBatch {
 public:
  virtual ~HttpBatch() = default;
  // Starts GETting `url`; `tag` comes back with its answer. A batch whose client has gone
  // away answers it empty.
  virtual void Add(size_t tag, const std::string& url, int receive_timeout_ms) = 0;
  // GETs added whose answers Next has not handed back yet.
  virtual size_t Pending() const = 0;
  // Blocks until at least one pending GET has ended and hands back those that have, each with
  // its tag; empty when none is pending. Never throws.
  virtual std::vector<std::pair<size_t, HttpAnswer>> Next() = 0;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // GETs `url`: the body byte for byte whatever the status. Never throws; blocks the calling
  // thread. A transfer during which nothing arrives for `receive_timeout_ms` ends with what
  // arrived.
  virtual HttpAnswer Get(const std::string& url, int receive_timeout_ms) = 0;
  // POSTs the form-encoded `body` with `headers` ("Name: value" each) added to the usual ones.
  virtual HttpAnswer Post(const std::string& url, const std::vector<std::string>& headers,
                          const std::string& body, int receive_timeout_ms) = 0;
  // A batch of GETs through this client. This one sends them through Get one at a time, in
  // the order they were added; the platform's libcurl client keeps them all under way.
  virtual std::unique_ptr<HttpBatch> StartBatch();
  // GETs `url` with `headers` added, as Get does. A client that cannot send headers of its own
  // sends nothing and answers with an empty answer (status 0).
  virtual HttpAnswer GetWithHeaders(const std::string& url, const std::vector<std::string>& headers,
                                    int receive_timeout_ms);
};

// The platform's client with the program's headers and limits (see uHelper.h). Setting
// `*abort` (from any thread; may be nullptr) ends a transfer under way within a fraction of a
// second and sends nothing more.
class PlatformHttpClient final : public HttpClient {
 public:
  explicit PlatformHttpClient(const std::atomic<bool>* abort = nullptr) : abort_(abort) {}
  HttpAnswer Get(const std::string& url, int receive_timeout_ms) override;
  HttpAnswer Post(const std::string& url, const std::vector<std::string>& headers,
                  const std::string& body, int receive_timeout_ms) override;
  std::unique_ptr<HttpBatch> StartBatch() override;
  HttpAnswer GetWithHeaders(const std::string& url, const std::vector<std::string>& headers,
                            int receive_timeout_ms) override;

 private:
  const std::atomic<bool>* abort_;
};

}  // namespace kelvaro
