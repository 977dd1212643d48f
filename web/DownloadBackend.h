#pragma once

// The platform HTTP client behind DownloadPage. One backend file implements it per platform
// (libcurl here, WinInet on Windows). Tests and benchmarks call it directly for a short receive
// time-out or a transfer that does not reuse a connection.

#include <chrono>
#include <string>

namespace kelvaro::internal {

enum class ConnectionUse {
  kReuse,  // keep the connection open for the next call on this thread
  kFresh,  // open a new connection and close it when done
};

// GETs url with DownloadPage's headers and rules; the transfer ends when nothing has arrived for
// receive_timeout (counted from the start of the call until the first byte, then from the last
// byte received). Returns the body received so far; never throws.
std::string Download(const std::string& url, std::chrono::milliseconds receive_timeout,
                     ConnectionUse connection_use);

}  // namespace kelvaro::internal
