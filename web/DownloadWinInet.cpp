// The WinInet backend of DownloadPage, used in the Windows build: the system's own HTTP client,
// with its proxy settings, its certificate store, its redirects and its connection pool.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "web/DownloadBackend.h"
#include "web/uHelper.h"

namespace kelvaro::internal {

namespace {

// The size of one InternetReadFile.
constexpr DWORD kChunkBytes = 1025;

// A transfer that must not keep its connection for the next one asks the server to close it;
// WinInet then leaves it out of its pool.
constexpr char kCloseHeader[] = "Connection: close\r\n";

struct InternetHandleCloser {
  void operator()(void* handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

void SetReceiveTimeout(HINTERNET handle, DWORD timeout_ms) {
  InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout_ms, sizeof timeout_ms);
}

}  // namespace

std::string Download(const std::string& url, std::chrono::milliseconds receive_timeout,
                     ConnectionUse connection_use) {
  std::string body;
  try {
    // The user agent, the proxy the user configured for the system, no flags.
    InternetHandle internet(
        InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return body;
    const auto timeout_ms = static_cast<DWORD>(
        std::clamp<long long>(receive_timeout.count(), 1, 0x7fffffffLL));
    // Request handles take the time-out over from the internet handle they are opened on.
    SetReceiveTimeout(internet.get(), timeout_ms);

    const bool fresh = connection_use == ConnectionUse::kFresh;
    // The reload flag: the answer always comes from the server, never from the local cache.
    InternetHandle request(InternetOpenUrlA(internet.get(), url.c_str(),
                                            fresh ? kCloseHeader : nullptr,
                                            fresh ? sizeof kCloseHeader - 1 : 0,
                                            INTERNET_FLAG_RELOAD, 0));
    if (!request) return body;
    // Set once more on the request itself, since some WinInet versions copy only the connect
    // time-out down to it; the body reads below then wait no longer than the time-out.
    SetReceiveTimeout(request.get(), timeout_ms);

    // Every byte that arrives is kept, zero bytes included. A failed read (the time-out, a
    // dropped connection) ends the body with what arrived before it.
    char buffer[kChunkBytes];
    DWORD got = 0;
    while (InternetReadFile(request.get(), buffer, kChunkBytes, &got) && got > 0) {
      body.append(buffer, got);
    }
    // The handles close here: the request first, then the internet handle.
  } catch (...) {
    // Only allocation can throw here; the part received so far is still the answer.
  }
  return body;
}

}  // namespace kelvaro::internal
