#pragma once

// The platform HTTP client behind DownloadPage. One backend file implements it per platform
// (libcurl here, WinInet on Windows). Tests and benchmarks call it directly for a short receive
// time-out or a transfer that does not reuse a connection.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "web/HttpClient.h"
#include "web/uHelper.h"

namespace kelvaro::internal {

enum class ConnectionUse {
  kReuse,  // keep the connection open for the next call on this thread
  kFresh,  // open a new connection and close it when done
};

// An answer stops growing here: what arrived up to it is the answer, like a cut-off one.
inline constexpr size_t kMaxAnswerBytes = size_t{16} * 1024 * 1024;

// What makes a request a POST: headers of its own ("Name: value") besides DownloadPage's, and a
// form-encoded body. With `get` set, a GET with those headers (the body is not sent).
struct PostData {
  std::vector<std::string> headers;
  std::string body;
  bool get = false;
};

// What ends a transfer from outside, besides its receive time-out.
struct TransferBounds {
  // Set by another thread (the window of the run went away): the transfer ends within a
  // fraction of a second, and one not yet begun sends nothing. May be null.
  const std::atomic<bool>* abort = nullptr;
  // The transfer ends after this long in all, however steadily its bytes arrive.
  std::chrono::milliseconds total{kTransferLimitMs};
};

// How often a transfer looks at its abort flag.
inline constexpr std::chrono::milliseconds kAbortCheck{200};

// GETs url (POSTs `*post` when it is given, unless it is a GET with headers) with DownloadPage's headers and rules; the transfer
// ends when nothing has arrived for receive_timeout (counted from the start of the call until
// the first byte, then from the last byte received), when the body reaches kMaxAnswerBytes, or
// as `bounds` says. Returns the body received so far, the final HTTP status and its Retry-After
// (in seconds) where the backend can tell, and whether the transfer ended normally with the
// whole body; never throws. The one function each backend file implements.
HttpAnswer Exchange(const std::string& url, const PostData* post,
                    std::chrono::milliseconds receive_timeout, ConnectionUse connection_use,
                    const TransferBounds& bounds = {});

// A batch whose GETs are all under way at once, with Exchange's headers and rules for each
// (`abort` as TransferBounds has it), or nullptr where the backend sends one at a time.
std::unique_ptr<HttpBatch> StartBatch(const std::atomic<bool>* abort);

inline HttpAnswer DownloadAnswer(const std::string& url, std::chrono::milliseconds receive_timeout,
                                 ConnectionUse connection_use, const TransferBounds& bounds = {}) {
  return Exchange(url, nullptr, receive_timeout, connection_use, bounds);
}

inline HttpAnswer PostAnswer(const std::string& url, const PostData& post,
                             std::chrono::milliseconds receive_timeout,
                             ConnectionUse connection_use, const TransferBounds& bounds = {}) {
  return Exchange(url, &post, receive_timeout, connection_use, bounds);
}

// The body of DownloadAnswer.
inline std::string Download(const std::string& url, std::chrono::milliseconds receive_timeout,
                            ConnectionUse connection_use) {
  return DownloadAnswer(url, receive_timeout, connection_use).body;
}

// Whether a transfer begun at `start` is to end now: its abort flag is set or its total time
// has run out.
inline bool TransferOver(const TransferBounds& bounds,
                         std::chrono::steady_clock::time_point start) {
  return (bounds.abort != nullptr && bounds.abort->load()) ||
         std::chrono::steady_clock::now() - start >= bounds.total;
}

// The seconds of a Retry-After value given as delta-seconds ("120"); -1 for anything else
// (a date, a blank or a broken value).
int ParseRetryAfter(const std::string& value);

}  // namespace kelvaro::internal
