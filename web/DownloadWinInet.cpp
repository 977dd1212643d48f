// The WinInet backend of DownloadPage, used in the Windows build: the system's own HTTP client,
// with the proxy the user configured, the system's certificate store, its redirects and its
// connection pool.
//
// The request is opened with InternetConnectA and HttpOpenRequestA and sent with
// HttpSendRequestA rather than opened in one step by InternetOpenUrlA: a receive time-out set on
// the internet handle reaches the request InternetOpenUrlA opens on Windows, but not under Wine,
// where only a time-out set on the request before it is sent holds. Setting it on both handles
// gives the same transfer on either.

#include "base/WindowsApi.h"  // first: wininet.h needs its types
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "web/DownloadBackend.h"
#include "web/uHelper.h"

namespace kelvaro::internal {

namespace {

// The size of one InternetReadFile.
constexpr DWORD kChunkBytes = 1025;

// A transfer that must not keep its connection for the next one asks the server to close it,
// so WinInet cannot put it back in its pool. (It may still take an idle connection from the
// pool for the transfer itself.)
constexpr char kCloseHeader[] = "Connection: close\r\n";

struct InternetHandleCloser {
  void operator()(void* handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

void SetReceiveTimeout(HINTERNET handle, DWORD timeout_ms) {
  InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout_ms, sizeof timeout_ms);
}

// The parts of an http or https URL that the request is opened with.
struct Target {
  bool secure = false;
  INTERNET_PORT port = 0;
  std::string host;
  std::string object;  // path and query, exactly as in the URL
};

// False for anything but an http or https URL with a host: Kelvaro fetches web pages only
// (WinInet would also open ftp addresses).
bool Split(const std::string& url, Target& target) {
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  // Non-zero lengths with no buffers: the parts are returned as pointers into url.
  parts.dwHostNameLength = 1;
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (url.empty() || !InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
    return false;
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
  if (parts.lpszHostName == nullptr || parts.dwHostNameLength == 0) return false;
  target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  target.port = parts.nPort;
  target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  if (parts.lpszUrlPath != nullptr) target.object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo != nullptr) {
    target.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }
  if (target.object.empty() || target.object[0] != '/') target.object = "/" + target.object;
  return true;
}

// The final answer's status (0 when WinInet cannot tell) and its Retry-After in seconds; returns
// its Content-Length, nullopt when it has none.
std::optional<DWORD> ReadHead(HINTERNET request, HttpAnswer& answer) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                     nullptr)) {
    answer.status = static_cast<int>(status);
  }
  char value[64] = {};
  DWORD value_size = sizeof value - 1;
  if (HttpQueryInfoA(request, HTTP_QUERY_RETRY_AFTER, value, &value_size, nullptr)) {
    answer.retry_after_s = ParseRetryAfter(std::string(value, value_size));
  }
  DWORD length = 0;
  size = sizeof length;
  if (HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size,
                     nullptr)) {
    return length;
  }
  return std::nullopt;
}

// Ends a transfer from outside: once its abort flag is set or its total time has run out, a
// thread of its own closes the request handle, which makes a call blocked on it fail at once
// (WinInet's way of cancelling a synchronous request). It owns the handle from then on.
class Watchdog {
 public:
  Watchdog(InternetHandle& request, const TransferBounds& bounds)
      : request_(request), bounds_(bounds), start_(std::chrono::steady_clock::now()) {
    thread_ = std::thread([this] { Watch(); });
  }
  ~Watchdog() { Finish(); }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // Whether the transfer is over from outside (the handle may not be closed yet).
  bool Over() const { return TransferOver(bounds_, start_); }
  // Stops watching; true when the watchdog closed the handle.
  bool Finish() {
    if (thread_.joinable()) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
      }
      changed_.notify_all();
      thread_.join();
    }
    return closed_;
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!finished_) {
      if (Over()) {
        InternetCloseHandle(request_.release());
        closed_ = true;
        return;
      }
      changed_.wait_for(lock, kAbortCheck);
    }
  }

  InternetHandle& request_;
  const TransferBounds& bounds_;
  const std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool finished_ = false;
  bool closed_ = false;
  std::thread thread_;
};

}  // namespace

HttpAnswer Exchange(const std::string& url, const PostData* post,
                    std::chrono::milliseconds receive_timeout, ConnectionUse connection_use,
                    const TransferBounds& bounds) {
  HttpAnswer answer;
  std::string& body = answer.body;
  try {
    if (TransferOver(bounds, std::chrono::steady_clock::now())) return answer;
    Target target;
    if (!Split(url, target)) return answer;

    // The user agent, the proxy the user configured for the system, no flags.
    InternetHandle internet(
        InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return answer;
    const auto timeout_ms =
        static_cast<DWORD>(std::clamp<long long>(receive_timeout.count(), 1, 0x7fffffffLL));
    SetReceiveTimeout(internet.get(), timeout_ms);

    InternetHandle connection(InternetConnectA(internet.get(), target.host.c_str(), target.port,
                                               nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return answer;
    // The reload flag: the answer always comes from the server, never from the local cache.
    DWORD flags = INTERNET_FLAG_RELOAD;
    if (target.secure) flags |= INTERNET_FLAG_SECURE;
    InternetHandle request(HttpOpenRequestA(connection.get(),
                                            post != nullptr && !post->get ? "POST" : "GET",
                                            target.object.c_str(), nullptr, nullptr, nullptr,
                                            flags, 0));
    if (!request) return answer;
    SetReceiveTimeout(request.get(), timeout_ms);

    const bool fresh = connection_use == ConnectionUse::kFresh;
    std::string headers = fresh ? kCloseHeader : "";
    std::string form;
    if (post != nullptr) {
      if (!post->get) headers += "Content-Type: application/x-www-form-urlencoded\r\n";
      for (const std::string& header : post->headers) headers += header + "\r\n";
      if (!post->get) form = post->body;
    }
    // The request handle is used through `handle` from here on: the watchdog may close it.
    const HINTERNET handle = request.get();
    Watchdog watchdog(request, bounds);
    if (!HttpSendRequestA(handle, headers.empty() ? nullptr : headers.c_str(),
                          static_cast<DWORD>(headers.size()), form.empty() ? nullptr : form.data(),
                          static_cast<DWORD>(form.size()))) {
      return answer;
    }
    const std::optional<DWORD> length = ReadHead(handle, answer);

    // Every byte that arrives is kept, zero bytes included. Each read asks only for what has
    // arrived: a read that waits to fill its buffer gives up what it holds when the time-out
    // ends it, so a server that stalls would lose the last bytes it sent. A failed wait or
    // read (the time-out, a dropped connection, the watchdog) ends the body with what arrived
    // before it; only a read that reports the end makes the body whole.
    bool ended = false;
    char buffer[kChunkBytes];
    while (!watchdog.Over()) {
      DWORD available = 0;
      if (!InternetQueryDataAvailable(handle, &available, 0, 0)) break;
      const DWORD wanted = available == 0 ? kChunkBytes : std::min(available, kChunkBytes);
      DWORD got = 0;
      if (!InternetReadFile(handle, buffer, wanted, &got)) break;
      if (got == 0) {
        ended = true;
        break;
      }
      // An answer never grows past the limit: what arrived up to it is the answer.
      body.append(buffer, std::min<size_t>(got, kMaxAnswerBytes - body.size()));
      if (body.size() >= kMaxAnswerBytes) break;
    }
    const bool cut_short = watchdog.Finish();
    // WinInet may report the end of a body that the connection cut short: the Content-Length
    // tells. A connection closed before any answer may still "succeed" without a status.
    answer.complete =
        ended && !cut_short && answer.status > 0 && (!length || body.size() == *length);
    // The handles close here, the request first and the internet handle last.
  } catch (...) {
    // Only allocation can throw here; the part received so far is still the answer.
  }
  return answer;
}

// WinInet sends a run's GETs one at a time.
std::unique_ptr<HttpBatch> StartBatch(const std::atomic<bool>* /*abort*/) { return nullptr; }

}  // namespace kelvaro::internal
