#pragma once

// The platform HTTP client behind DownloadPage. One backend file implements it per platform
// (libcurl here, WinInet on Windows). Tests and benchmarks call it directly for a short receive
// time-out or a transfer that does not reuse a connection.

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "base/WorkerHost.h"

namespace kelvaro::internal {

enum class ConnectionUse {
  kReuse,  // keep the connection open for the next call on this thread
  kFresh,  // open a new connection and close it when done
};

// An answer stops growing here: what arrived up to it is the answer, like a cut-off one.
inline constexpr size_t kMaxAnswerBytes = size_t{16} * 1024 * 1024;

// What makes a request a POST: headers of its own ("Name: value") besides DownloadPage's, and a
// form-encoded body.
struct PostData {
  std::vector<std::string> headers;
  std::string body;
};

// GETs url (POSTs `*post` when it is given) with DownloadPage's headers and rules; the transfer
// ends when nothing has arrived for receive_timeout (counted from the start of the call until
// the first byte, then from the last byte received) or when the body reaches kMaxAnswerBytes.
// Returns the body received so far, the final HTTP status and its Retry-After (in seconds)
// where the backend can tell; never throws. The one function each backend file implements.
HttpAnswer Exchange(const std::string& url, const PostData* post,
                    std::chrono::milliseconds receive_timeout, ConnectionUse connection_use);

inline HttpAnswer DownloadAnswer(const std::string& url, std::chrono::milliseconds receive_timeout,
                                 ConnectionUse connection_use) {
  return Exchange(url, nullptr, receive_timeout, connection_use);
}

inline HttpAnswer PostAnswer(const std::string& url, const PostData& post,
                             std::chrono::milliseconds receive_timeout,
                             ConnectionUse connection_use) {
  return Exchange(url, &post, receive_timeout, connection_use);
}

// The body of DownloadAnswer.
inline std::string Download(const std::string& url, std::chrono::milliseconds receive_timeout,
                            ConnectionUse connection_use) {
  return DownloadAnswer(url, receive_timeout, connection_use).body;
}

// The seconds of a Retry-After value given as delta-seconds ("120"); -1 for anything else
// (a date, a blank or a broken value).
int ParseRetryAfter(const std::string& value);

}  // namespace kelvaro::internal
