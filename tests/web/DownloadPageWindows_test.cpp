// DownloadPage through WinInet in the Windows build, held to the expectations of the libcurl
// backend's tests: against the substitute search service of the build machine (its endpoint in
// KELVARO_SEARCHSIM_ENDPOINT, set by scripts/test-windows), and against a scripted loopback
// server in this program for what the service cannot be told to do from here: stalls, cut-off
// bodies, cache headers, redirects, counting connections.

#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "web/CustomSearch.h"
#include "web/DownloadBackend.h"
#include "web/VolumeService.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr milliseconds kShortTimeout{300};

// One reply of the scripted server: the bytes it sends, then what it does with the connection
// (kDrip: sends `dripped` a byte every `every`, then closes).
struct Reply {
  enum class Then { kKeepOpen, kClose, kHold, kDrip };
  Reply(std::string head_and_body, Then what_then = Then::kKeepOpen, std::string drip = "",
        milliseconds drip_every = milliseconds(0))
      : bytes(std::move(head_and_body)),
        then(what_then),
        dripped(std::move(drip)),
        every(drip_every) {}
  std::string bytes;
  Then then;
  std::string dripped;
  milliseconds every;
};

Reply Ok(const std::string& body, const std::string& extra_headers = "") {
  return {"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
              std::to_string(body.size()) + "\r\n" + extra_headers + "\r\n" + body,
          Reply::Then::kKeepOpen};
}

bool HeadHas(const std::string& head, const std::string& line) {
  return head.find("\r\n" + line + "\r\n") != std::string::npos;
}

// A loopback HTTP/1.1 server on its own threads: every request (its head, up to the blank line)
// is answered by the script. It counts the connections it accepts and records each head. Its
// threads wait in short select() slices so that the destructor can stop them without closing a
// socket under a blocked call.
class ScriptedServer {
 public:
  using Script = std::function<Reply(const std::string& head)>;

  explicit ScriptedServer(Script script) : script_(std::move(script)) {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (listener_ == INVALID_SOCKET ||
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, SOMAXCONN) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "the scripted server cannot listen: " << WSAGetLastError();
      return;
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { Accept(); });
  }

  ~ScriptedServer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    held_.notify_all();
    if (acceptor_.joinable()) acceptor_.join();
    for (auto& t : connections_) t.join();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    if (started_) WSACleanup();
  }

  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::vector<std::string> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  int Connections() const { return accepted_.load(); }
  // Waits until at least `n` requests have come, at most `limit`.
  bool WaitForRequests(size_t n, milliseconds limit) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] { return requests_.size() >= n; });
  }

 private:
  // True when s can be read from; false after a short wait or once the server stops.
  bool Readable(SOCKET s) const {
    while (!stopping_) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(s, &set);
      timeval wait{0, 50 * 1000};
      const int ready = select(0, &set, nullptr, nullptr, &wait);
      if (ready < 0) return false;
      if (ready > 0) return true;
    }
    return false;
  }

  void Accept() {
    while (Readable(listener_)) {
      const SOCKET s = accept(listener_, nullptr, nullptr);
      if (s == INVALID_SOCKET) return;
      ++accepted_;
      connections_.emplace_back([this, s] { Serve(s); });
    }
  }

  void Serve(SOCKET s) {
    std::string pending;
    char buffer[4096];
    for (;;) {
      const size_t end = pending.find("\r\n\r\n");
      if (end == std::string::npos) {
        if (!Readable(s)) break;
        const int got = recv(s, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        pending.append(buffer, static_cast<size_t>(got));
        continue;
      }
      const std::string head = pending.substr(0, end + 4);
      pending.erase(0, end + 4);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(head);
        arrived_.notify_all();
      }
      const Reply reply = script_(head);
      // Like any HTTP/1.1 server, it closes the connection after the answer when the client
      // asks it to.
      const bool close =
          reply.then == Reply::Then::kClose ||
          (reply.then == Reply::Then::kKeepOpen && HeadHas(head, "Connection: close"));
      if (!SendAll(s, reply.bytes) || close) break;
      if (reply.then == Reply::Then::kHold) {
        std::unique_lock<std::mutex> lock(mutex_);
        held_.wait_for(lock, std::chrono::seconds(60), [this] { return stopping_.load(); });
        break;
      }
      if (reply.then == Reply::Then::kDrip) {
        Drip(s, reply.dripped, reply.every);
        break;
      }
    }
    shutdown(s, SD_BOTH);
    closesocket(s);
  }

  // Until every byte is sent, the client has gone or the server stops.
  void Drip(SOCKET s, const std::string& bytes, milliseconds every) {
    for (const char byte : bytes) {
      if (send(s, &byte, 1, 0) != 1) return;
      std::unique_lock<std::mutex> lock(mutex_);
      if (held_.wait_for(lock, every, [this] { return stopping_.load(); })) return;
    }
  }

  static bool SendAll(SOCKET s, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const int n = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  Script script_;
  bool started_ = false;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::thread acceptor_;
  std::vector<std::thread> connections_;  // touched by the acceptor only, until it is joined
  mutable std::mutex mutex_;
  std::condition_variable held_;
  mutable std::condition_variable arrived_;
  std::atomic<bool> stopping_{false};
  std::vector<std::string> requests_;
  std::atomic<int> accepted_{0};
};

std::string ServiceEndpoint() {
  const char* endpoint = std::getenv("KELVARO_SEARCHSIM_ENDPOINT");
  return endpoint == nullptr ? "" : endpoint;
}

// Against the substitute search service that scripts/test-windows runs on the build machine.
class DownloadPageServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(endpoint_, "") << "KELVARO_SEARCHSIM_ENDPOINT names no service: start "
                                "kelvaro-searchsim and set it, or run scripts/test-windows";
  }
  std::string Url(const std::string& phrase, const std::string& key = "demo-key",
                  const std::string& engine_code = "demo-cx") const {
    return BuildQueryURL(QueryKind::Phrase, phrase, key, engine_code, endpoint_);
  }

  const std::string endpoint_ = ServiceEndpoint();
};

TEST_F(DownloadPageServiceTest, ReturnsTheAnswerWithItsCount) {
  std::string count;
  const std::string body = DownloadPage(Url("red shoes"));
  ASSERT_TRUE(ReadCount(body, count)) << body.substr(0, 200);
  EXPECT_NE(body.find("\"items\": ["), std::string::npos);
  const std::string none = DownloadPage(Url("nothing at all"));
  ASSERT_TRUE(ReadCount(none, count)) << none.substr(0, 200);
  EXPECT_EQ(count, "0");
  EXPECT_EQ(none.find("\"items\""), std::string::npos);
}

TEST_F(DownloadPageServiceTest, ErrorAnswersReturnTheirJsonBody) {
  EXPECT_EQ(ErrorText(DownloadPage(Url("x", "wrong"))),
            "Abnormal request terminatiom. API key not valid. Please pass a valid API key.");
  EXPECT_EQ(ErrorText(DownloadPage(Url("x", "demo-key", ""))),
            "Abnormal request terminatiom. Request contains an invalid argument.");
  EXPECT_EQ(ErrorText(DownloadPage(Url("fail now"))),
            "Abnormal request terminatiom. Backend Error");
}

TEST_F(DownloadPageServiceTest, PostsTheVolumeRequestWithItsBearerKey) {
  const std::vector<std::string> phrases = {"few words", "novolume here"};
  const std::vector<VolumeRequest> requests = VolumeRequests(phrases, "us");
  ASSERT_EQ(requests.size(), 1u);
  const HttpAnswer answer =
      PostForm(VolumeURL(endpoint_), VolumeHeaders("demo-volume-key"), requests[0].body);
  const VolumeAnswer volumes = ReadVolumeAnswer(answer.status, answer.body, requests[0], phrases);
  ASSERT_TRUE(volumes.ok) << answer.body.substr(0, 200);
  EXPECT_EQ(volumes.volumes, (std::vector<std::optional<int64_t>>{120, std::nullopt}));
  const HttpAnswer refused = PostForm(VolumeURL(endpoint_), VolumeHeaders("x"), requests[0].body);
  EXPECT_EQ(refused.status, 401);
}

TEST_F(DownloadPageServiceTest, TlsToThePlainPortGivesTheEmptyText) {
  std::string https = endpoint_;
  https.replace(0, 4, "https");
  // The service answers the handshake with a plain-text error, which the TLS layer may wait to
  // see completed; the receive time-out ends that wait at the latest.
  const auto start = Clock::now();
  EXPECT_EQ(DownloadPage(Url("x").replace(0, endpoint_.size(), https)), "");
  EXPECT_LT(Clock::now() - start, milliseconds(kReceiveTimeoutMs + 5000));
}

TEST_F(DownloadPageServiceTest, ThreadsDownloadIndependently) {
  std::vector<std::thread> threads;
  std::atomic<int> answered{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 5; ++i) {
        std::string count;
        const std::string phrase = "thread " + std::to_string(t) + " request " + std::to_string(i);
        if (ReadCount(DownloadPage(Url(phrase)), count)) ++answered;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(answered.load(), 20);
}

TEST(DownloadPageWinInetTest, AsksTheServerEveryTimeWithTheUserAgent) {
  // An answer any cache would keep for a day: the reload flag still goes to the server.
  ScriptedServer server([](const std::string&) {
    return Ok("{\"n\": 1}",
              "Cache-Control: public, max-age=86400\r\n"
              "Expires: Fri, 01 Jan 2100 00:00:00 GMT\r\n"
              "Last-Modified: Mon, 01 Jan 2001 00:00:00 GMT\r\n");
  });
  const std::string endpoint = server.Url("");
  const std::string url = BuildQueryURL(QueryKind::Phrase, "salt & pepper", "k", "c", endpoint);
  EXPECT_EQ(DownloadPage(url), "{\"n\": 1}");
  EXPECT_EQ(DownloadPage(url), "{\"n\": 1}");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& head : requests) {
    // The target goes out exactly as built.
    EXPECT_EQ(head.rfind("GET " + url.substr(endpoint.size()) + " HTTP/1.1\r\n", 0), 0u) << head;
    EXPECT_TRUE(HeadHas(head, std::string("User-Agent: ") + kUserAgent)) << head;
  }
}

TEST(DownloadPageWinInetTest, BodyIsKeptByteForByteWhateverTheStatus) {
  // Zero bytes at the start, on both sides of a 1025-byte read and at the end.
  std::string body(3000, 'a');
  for (const size_t at : {0u, 1024u, 1025u, 2050u, 2999u}) body[at] = '\0';
  for (int b = 0; b < 256; ++b) body[100 + static_cast<size_t>(b)] = static_cast<char>(b);
  ScriptedServer server([&](const std::string&) {
    return Reply{"HTTP/1.1 403 Forbidden\r\nContent-Length: " + std::to_string(body.size()) +
                 "\r\n\r\n" + body};
  });
  EXPECT_EQ(DownloadPage(server.Url("/")), body);
}

// The status and Retry-After of the answer; a body that keeps coming stops at 16 MiB.
TEST(DownloadPageWinInetTest, StatusRetryAfterAndTheSizeLimit) {
  const std::string big(20u << 20, 'x');
  ScriptedServer server([&](const std::string& head) {
    if (head.find("GET /big") == 0) return Ok(big);
    return Reply{"HTTP/1.1 429 Too Many Requests\r\nRetry-After: 42\r\nContent-Length: 2\r\n\r\n{}"};
  });
  HttpAnswer answer = DownloadAnswer(server.Url("/busy"));
  EXPECT_EQ(answer.status, 429);
  EXPECT_EQ(answer.retry_after_s, 42);
  EXPECT_EQ(answer.body, "{}");
  answer = DownloadAnswer(server.Url("/big"));
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body.size(), internal::kMaxAnswerBytes);
}

TEST(DownloadPageWinInetTest, AStallReturnsWhatArrivedBeforeTheTimeOut) {
  const std::string half(1000, 'h');
  ScriptedServer server([&](const std::string&) {
    return Reply{"HTTP/1.1 200 OK\r\nContent-Length: 2000\r\n\r\n" + half, Reply::Then::kHold};
  });
  auto start = Clock::now();
  EXPECT_EQ(
      internal::Download(server.Url("/short"), kShortTimeout, internal::ConnectionUse::kFresh),
      half);
  auto took = Clock::now() - start;
  EXPECT_GE(took, kShortTimeout);
  EXPECT_LT(took, milliseconds(3000));

  // The shipped time-out: ten seconds of silence.
  start = Clock::now();
  EXPECT_EQ(DownloadPage(server.Url("/shipped")), half);
  took = Clock::now() - start;
  EXPECT_GE(took, milliseconds(kReceiveTimeoutMs));
  EXPECT_LT(took, milliseconds(kReceiveTimeoutMs + 5000));
}

TEST(DownloadPageWinInetTest, ASilentServerEndsAtTheTimeOutWithNothing) {
  ScriptedServer server([](const std::string&) { return Reply{"", Reply::Then::kHold}; });
  const auto start = Clock::now();
  EXPECT_EQ(internal::Download(server.Url("/"), kShortTimeout, internal::ConnectionUse::kFresh),
            "");
  EXPECT_LT(Clock::now() - start, milliseconds(3000));
}

TEST(DownloadPageWinInetTest, ACutOffOrDroppedAnswerGivesWhatArrived) {
  ScriptedServer server([](const std::string& head) {
    if (head.rfind("GET /drop ", 0) == 0) return Reply{"", Reply::Then::kClose};
    return Reply{"HTTP/1.1 200 OK\r\nContent-Length: 2000\r\n\r\n" + std::string(1000, 't'),
                 Reply::Then::kClose};
  });
  EXPECT_EQ(DownloadPage(server.Url("/cut")), std::string(1000, 't'));
  EXPECT_EQ(DownloadPage(server.Url("/drop")), "");
}

// Only a transfer that ends normally with the whole body is complete; WinInet's own end of
// the body is not enough when the Content-Length says more.
TEST(DownloadPageWinInetTest, OnlyATransferThatEndsWithTheWholeBodyIsComplete) {
  const std::string body(2000, 'w');
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: ";
  ScriptedServer server([&](const std::string& request) {
    const auto is = [&](const char* path) {
      return request.rfind(std::string("GET ") + path + " ", 0) == 0;
    };
    if (is("/whole")) return Ok(body);
    if (is("/short")) return Reply{head + "2001\r\n\r\n" + body, Reply::Then::kClose};
    if (is("/half")) return Reply{head + "2000\r\n\r\n" + body.substr(1000), Reply::Then::kClose};
    if (is("/stall")) return Reply{head + "2000\r\n\r\n" + body.substr(1000), Reply::Then::kHold};
    return Reply{"", Reply::Then::kClose};
  });
  struct Case {
    const char* path;
    size_t size;
    bool complete;
  };
  for (const Case& c : {Case{"/whole", 2000, true}, Case{"/short", 2000, false},
                        Case{"/half", 1000, false}, Case{"/stall", 1000, false},
                        Case{"/drop", 0, false}}) {
    const HttpAnswer answer = internal::DownloadAnswer(server.Url(c.path), kShortTimeout,
                                                       internal::ConnectionUse::kFresh);
    EXPECT_EQ(answer.body.size(), c.size) << c.path;
    EXPECT_EQ(answer.complete, c.complete) << c.path;
  }
}

// A server that sends a byte now and then, each well inside the receive time-out, holds a
// transfer no longer than its limit in all, nor once the abort flag is set.
TEST(DownloadPageWinInetTest, ASlowDripEndsAtTheTransferLimitAndByTheAbortFlag) {
  const std::string body(2000, 'd');
  // The drip outlasts any test.
  ScriptedServer server([&](const std::string&) {
    return Reply{"HTTP/1.1 200 OK\r\nContent-Length: 2000\r\n\r\n", Reply::Then::kDrip, body,
                 milliseconds(100)};
  });
  internal::TransferBounds bounds;
  bounds.total = milliseconds(400);
  const auto start = Clock::now();
  HttpAnswer answer = internal::DownloadAnswer(server.Url("/limit"), std::chrono::hours(1),
                                               internal::ConnectionUse::kFresh, bounds);
  EXPECT_GE(Clock::now() - start, bounds.total);
  EXPECT_FALSE(answer.complete);
  EXPECT_LT(answer.body.size(), body.size());

  std::atomic<bool> abort{false};
  bounds = {&abort, std::chrono::hours(1)};
  std::thread closer([&] {
    EXPECT_TRUE(server.WaitForRequests(2, std::chrono::seconds(60)));
    abort = true;
  });
  answer = internal::DownloadAnswer(server.Url("/abort"), std::chrono::hours(1),
                                    internal::ConnectionUse::kFresh, bounds);
  closer.join();
  EXPECT_FALSE(answer.complete);
  EXPECT_LT(answer.body.size(), body.size());
}

TEST(DownloadPageWinInetTest, FollowsRedirects) {
  ScriptedServer server([](const std::string& head) {
    if (head.rfind("GET /moved ", 0) == 0) return Ok("moved here");
    return Reply{"HTTP/1.1 302 Found\r\nLocation: /moved\r\nContent-Length: 0\r\n\r\n"};
  });
  EXPECT_EQ(DownloadPage(server.Url("/old")), "moved here");
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST(DownloadPageWinInetTest, BackToBackRequestsShareAConnectionUnlessAskedForAFreshOne) {
  ScriptedServer server([](const std::string&) { return Ok("ok"); });
  EXPECT_EQ(DownloadPage(server.Url("/one")), "ok");
  EXPECT_EQ(DownloadPage(server.Url("/two")), "ok");
  EXPECT_EQ(server.Connections(), 1);
  // A fresh transfer leaves no connection behind (WinInet may still take the idle one from its
  // pool for it), so every transfer after it opens its own.
  const auto fresh = [&] {
    return internal::Download(server.Url("/fresh"), kShortTimeout, internal::ConnectionUse::kFresh);
  };
  EXPECT_EQ(fresh(), "ok");
  const int after_first = server.Connections();
  EXPECT_EQ(fresh(), "ok");
  EXPECT_EQ(server.Connections(), after_first + 1);
  EXPECT_EQ(DownloadPage(server.Url("/three")), "ok");
  EXPECT_EQ(server.Connections(), after_first + 2);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_FALSE(HeadHas(requests[1], "Connection: close")) << requests[1];
  EXPECT_TRUE(HeadHas(requests[2], "Connection: close")) << requests[2];
}

TEST(DownloadPageWinInetTest, UnreachableOrUnfetchableGivesTheEmptyText) {
  std::string closed;
  {
    ScriptedServer gone([](const std::string&) { return Ok("never"); });
    closed = gone.Url("/");
  }
  EXPECT_EQ(DownloadPage(closed), "");
  EXPECT_EQ(DownloadPage(""), "");
  EXPECT_EQ(DownloadPage("not a url"), "");
  EXPECT_EQ(DownloadPage("file:///C:/windows/win.ini"), "");  // only http and https are fetched
}

}  // namespace
}  // namespace kelvaro
