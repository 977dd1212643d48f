// The libcurl backend of DownloadPage.

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "web/DownloadBackend.h"
#include "web/uHelper.h"

namespace kelvaro::internal {

namespace {

using Clock = std::chrono::steady_clock;

// curl_global_init is not thread-safe itself; a function-local static runs it exactly once.
bool CurlReady() {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

// What the callbacks see of one transfer.
struct Transfer {
  std::string body;
  int retry_after_s = -1;
  Clock::time_point last_arrival = Clock::now();
  bool out_of_memory = false;
  bool complete = false;
};

// libcurl calls these from C: nothing may throw through them.
size_t ReceiveBody(char* data, size_t size, size_t count, void* user) noexcept {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  const size_t room = kMaxAnswerBytes - std::min(transfer->body.size(), kMaxAnswerBytes);
  try {
    transfer->body.append(data, std::min(bytes, room));
  } catch (...) {
    transfer->out_of_memory = true;
    return 0;  // ends the transfer; what arrived before is kept
  }
  transfer->last_arrival = Clock::now();
  // Returning less than was given ends the transfer: an answer never grows past the limit.
  return bytes <= room ? bytes : 0;
}

// Each answer of a redirect chain starts with its status line; only the last one's
// Retry-After counts.
size_t ReceiveHeader(char* data, size_t size, size_t count, void* user) noexcept {
  auto* transfer = static_cast<Transfer*>(user);
  transfer->last_arrival = Clock::now();
  const size_t bytes = size * count;
  try {
    const std::string line(data, bytes);
    constexpr char kName[] = "retry-after:";
    constexpr size_t kNameSize = sizeof kName - 1;
    if (line.compare(0, 5, "HTTP/") == 0) {
      transfer->retry_after_s = -1;
    } else if (line.size() > kNameSize && StartsWithIgnoringAsciiCase(line, kName)) {
      transfer->retry_after_s = ParseRetryAfter(line.substr(kNameSize));
    }
  } catch (...) {
    // A header that cannot be read is left out.
  }
  return bytes;
}

// The options of a GET of `url` with the program's `headers`, its data going to `transfer`.
bool Configure(CURL* easy, const std::string& url, curl_slist* headers, Transfer& transfer) {
  bool ok = curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK;
  const auto set = [&](CURLoption option, auto value) {
    ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK;
  };
  set(CURLOPT_USERAGENT, kUserAgent);
  set(CURLOPT_HTTPHEADER, headers);
  set(CURLOPT_HTTPGET, 1L);
  set(CURLOPT_NOSIGNAL, 1L);  // no SIGALRM for name look-ups on worker threads
  set(CURLOPT_FOLLOWLOCATION, 1L);
  set(CURLOPT_MAXREDIRS, 10L);
#if LIBCURL_VERSION_NUM >= 0x075500  // 7.85.0
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
  set(CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
  set(CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
  set(CURLOPT_SSL_VERIFYPEER, 1L);
  set(CURLOPT_SSL_VERIFYHOST, 2L);
#ifdef _WIN32
  set(CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
#endif
  // Proxies come from the environment (http_proxy, https_proxy, no_proxy), libcurl's default.
  set(CURLOPT_WRITEFUNCTION, &ReceiveBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
  set(CURLOPT_HEADERFUNCTION, &ReceiveHeader);
  set(CURLOPT_HEADERDATA, static_cast<void*>(&transfer));
  return ok;
}

// The program's own request headers.
curl_slist* ProgramHeaders() {
  curl_slist* first = curl_slist_append(nullptr, "Cache-Control: no-cache");
  if (first == nullptr) return nullptr;
  curl_slist* both = curl_slist_append(first, "Pragma: no-cache");
  if (both == nullptr) curl_slist_free_all(first);
  return both;
}

// One easy handle driven through its own multi handle, so that the loop can end a transfer that
// has gone quiet for the receive time-out with millisecond precision (libcurl's own low-speed
// limit counts whole seconds). The multi handle holds the connection cache, so keeping a session
// alive keeps its connections open for the next request.
class CurlSession {
 public:
  CurlSession()
      : easy_(curl_easy_init()), multi_(curl_multi_init()), headers_(ProgramHeaders()) {}
  ~CurlSession() {
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
    if (easy_ != nullptr) curl_easy_cleanup(easy_);
    curl_slist_free_all(headers_);
  }
  CurlSession(const CurlSession&) = delete;
  CurlSession& operator=(const CurlSession&) = delete;

  // Fills transfer.body with what arrives and sets transfer.complete when libcurl finished the
  // transfer without an error (a body shorter than its Content-Length, an unfinished chunked
  // body or a dropped connection is an error); returns the final HTTP status (0: none). A POST
  // when `post` is given.
  int Fetch(const std::string& url, std::chrono::milliseconds receive_timeout,
            const TransferBounds& bounds, Transfer& transfer, const PostData* post) {
    if (easy_ == nullptr || multi_ == nullptr || headers_ == nullptr) return 0;
    const auto start = Clock::now();
    if (TransferOver(bounds, start)) return 0;
    curl_easy_reset(easy_);  // keeps the connections, forgets the previous request's options
    if (!Configure(easy_, url, headers_, transfer)) return 0;
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> post_headers(nullptr,
                                                                             &curl_slist_free_all);
    if (post != nullptr && !ConfigurePost(*post, post_headers)) return 0;
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return 0;

    // The loop wakes at least every kAbortCheck while an abort flag may end the transfer.
    const auto slice = bounds.abort != nullptr ? kAbortCheck : std::chrono::milliseconds(1000);
    transfer.last_arrival = start;
    int running = 1;
    while (running > 0) {
      if (curl_multi_perform(multi_, &running) != CURLM_OK) break;
      if (running == 0) break;
      // What arrived so far is the answer, never a whole one.
      if (TransferOver(bounds, start)) break;
      const auto now = Clock::now();
      const auto quiet = now - transfer.last_arrival;
      if (quiet >= receive_timeout) break;
      const auto left =
          std::min<Clock::duration>(receive_timeout - quiet, bounds.total - (now - start));
      const auto left_ms = std::chrono::duration_cast<std::chrono::milliseconds>(left);
      const int wait_ms =
          static_cast<int>(std::clamp<long long>(left_ms.count() + 1, 1, slice.count()));
      if (curl_multi_poll(multi_, nullptr, 0, wait_ms, nullptr) != CURLM_OK) break;
    }
    int queued = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
        transfer.complete = message->data.result == CURLE_OK;
      }
    }
    long status = 0;
    if (curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
    // Removing an unfinished transfer closes its connection; a finished one stays cached.
    curl_multi_remove_handle(multi_, easy_);
    return static_cast<int>(status);
  }

 private:
  // The request's own header list (DownloadPage's headers and the post's) lives in `list` until
  // the transfer is done; libcurl copies neither the list nor the body.
  bool ConfigurePost(const PostData& post,
                     std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>& list) {
    curl_slist* headers = nullptr;
    for (const curl_slist* item = headers_; item != nullptr; item = item->next) {
      headers = curl_slist_append(headers, item->data);
    }
    for (const std::string& header : post.headers) {
      headers = headers == nullptr ? nullptr : curl_slist_append(headers, header.c_str());
    }
    list.reset(headers);
    if (headers == nullptr) return false;
    if (post.get) return curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers) == CURLE_OK;
    return curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers) == CURLE_OK &&
           curl_easy_setopt(easy_, CURLOPT_POST, 1L) == CURLE_OK &&
           curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE,
                            static_cast<curl_off_t>(post.body.size())) == CURLE_OK &&
           curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, post.body.c_str()) == CURLE_OK;
  }

  CURL* easy_;
  CURLM* multi_;
  curl_slist* headers_ = nullptr;
};

// GETs all under way at once on one multi handle, driven by the thread that calls Next. Each
// transfer keeps its own receive time-out and total limit; the multi handle keeps the
// connections (and multiplexes on HTTP/2 where the server offers it), and finished easy
// handles are kept for the next GETs.
class CurlBatch final : public HttpBatch {
 public:
  explicit CurlBatch(const std::atomic<bool>* abort)
      : multi_(curl_multi_init()), headers_(ProgramHeaders()) {
    bounds_.abort = abort;
    if (multi_ != nullptr) curl_multi_setopt(multi_, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
  }
  ~CurlBatch() override {
    for (const auto& running : running_) {
      curl_multi_remove_handle(multi_, running->easy);
      curl_easy_cleanup(running->easy);
    }
    for (CURL* easy : idle_) curl_easy_cleanup(easy);
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
    curl_slist_free_all(headers_);
  }
  CurlBatch(const CurlBatch&) = delete;
  CurlBatch& operator=(const CurlBatch&) = delete;

  void Add(size_t tag, const std::string& url, int receive_timeout_ms) override {
    auto running = std::make_unique<Running>();
    running->tag = tag;
    running->receive_timeout = std::chrono::milliseconds(std::max(receive_timeout_ms, 1));
    running->start = Clock::now();
    running->transfer.last_arrival = running->start;
    if (!CurlReady() || multi_ == nullptr || headers_ == nullptr ||
        TransferOver(bounds_, running->start)) {
      ended_.emplace_back(tag, HttpAnswer());
      return;
    }
    if (idle_.empty()) {
      running->easy = curl_easy_init();
    } else {
      running->easy = idle_.back();
      idle_.pop_back();
      curl_easy_reset(running->easy);
    }
    if (running->easy == nullptr ||
        !Configure(running->easy, url, headers_, running->transfer) ||
        curl_multi_add_handle(multi_, running->easy) != CURLM_OK) {
      if (running->easy != nullptr) idle_.push_back(running->easy);
      ended_.emplace_back(tag, HttpAnswer());
      return;
    }
    running_.push_back(std::move(running));
  }

  size_t Pending() const override { return running_.size() + ended_.size(); }

  std::vector<std::pair<size_t, HttpAnswer>> Next() override {
    try {
      while (ended_.empty() && !running_.empty()) {
        int still_running = 0;
        if (curl_multi_perform(multi_, &still_running) != CURLM_OK) {
          EndAll();
          break;
        }
        int queued = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
          if (message->msg != CURLMSG_DONE) continue;
          const CURLcode result = message->data.result;
          End(message->easy_handle, result == CURLE_OK);
        }
        if (!ended_.empty()) break;
        // What arrived so far of a transfer ended here is its answer, never a whole one.
        const auto now = Clock::now();
        auto wait = bounds_.abort != nullptr ? kAbortCheck : std::chrono::milliseconds(1000);
        for (size_t i = 0; i < running_.size();) {
          Running& running = *running_[i];
          const auto quiet = now - running.transfer.last_arrival;
          if (TransferOver(bounds_, running.start) || quiet >= running.receive_timeout) {
            End(running.easy, false);
            continue;
          }
          const auto left = std::min<Clock::duration>(running.receive_timeout - quiet,
                                                      bounds_.total - (now - running.start));
          wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(left) +
                                    std::chrono::milliseconds(1));
          ++i;
        }
        if (!ended_.empty()) break;
        const int wait_ms = static_cast<int>(std::max<long long>(wait.count(), 1));
        if (curl_multi_poll(multi_, nullptr, 0, wait_ms, nullptr) != CURLM_OK) EndAll();
      }
    } catch (...) {
      // Only allocation can throw here: what is under way ends with what arrived.
      EndAll();
    }
    return std::exchange(ended_, {});
  }

 private:
  struct Running {
    size_t tag = 0;
    CURL* easy = nullptr;
    Transfer transfer;
    std::chrono::milliseconds receive_timeout{0};
    Clock::time_point start;
  };

  // Hands the transfer of `easy` back as ended, whole when libcurl finished it without an
  // error. Removing an unfinished transfer closes its connection; a finished one stays open.
  void End(CURL* easy, bool finished) {
    const auto it = std::find_if(running_.begin(), running_.end(),
                                 [easy](const auto& running) { return running->easy == easy; });
    if (it == running_.end()) return;
    Running& running = **it;
    HttpAnswer answer;
    long status = 0;
    if (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
    answer.status = static_cast<int>(status);
    answer.body = std::move(running.transfer.body);
    answer.retry_after_s = running.transfer.retry_after_s;
    answer.complete = finished && !running.transfer.out_of_memory;
    curl_multi_remove_handle(multi_, easy);
    idle_.push_back(easy);
    ended_.emplace_back(running.tag, std::move(answer));
    running_.erase(it);
  }

  void EndAll() {
    while (!running_.empty()) End(running_.front()->easy, false);
  }

  CURLM* multi_;
  curl_slist* headers_;
  TransferBounds bounds_;
  std::vector<std::unique_ptr<Running>> running_;
  std::vector<CURL*> idle_;
  std::vector<std::pair<size_t, HttpAnswer>> ended_;
};

}  // namespace

HttpAnswer Exchange(const std::string& url, const PostData* post,
                    std::chrono::milliseconds receive_timeout, ConnectionUse connection_use,
                    const TransferBounds& bounds) {
  Transfer transfer;
  HttpAnswer answer;
  try {
    if (!CurlReady()) return answer;
    if (connection_use == ConnectionUse::kReuse) {
      thread_local CurlSession session;
      answer.status = session.Fetch(url, receive_timeout, bounds, transfer, post);
    } else {
      CurlSession session;
      answer.status = session.Fetch(url, receive_timeout, bounds, transfer, post);
    }
  } catch (...) {
    // Only allocation can throw here; the part received so far is still the answer.
  }
  answer.body = std::move(transfer.body);
  answer.retry_after_s = transfer.retry_after_s;
  answer.complete = transfer.complete && !transfer.out_of_memory;
  return answer;
}

std::unique_ptr<HttpBatch> StartBatch(const std::atomic<bool>* abort) {
  try {
    return std::make_unique<CurlBatch>(abort);
  } catch (...) {
    return nullptr;  // out of memory: one at a time
  }
}

}  // namespace kelvaro::internal
