// DownloadPage against the substitute search service on the loopback interface.

#ifdef KELVARO_HAVE_SEARCHSIM

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
#include "tools/VolumeAnswers.h"
#include "web/CustomSearch.h"
#include "web/DownloadBackend.h"
#include "web/uHelper.h"
#include "web/VolumeService.h"

namespace kelvaro {
namespace {

using searchsim::Fault;
using searchsim::SubstituteSearchServer;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr milliseconds kShortTimeout{300};

std::string DownloadShort(const std::string& url) {
  return internal::Download(url, kShortTimeout, internal::ConnectionUse::kReuse);
}

class DownloadPageTest : public ::testing::Test {
 protected:
  // A proxy from the environment must not take loopback requests away from the service.
  static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1,localhost", 1); }

  std::string Url(const std::string& phrase, QueryKind kind = QueryKind::Phrase) const {
    return BuildQueryURL(kind, phrase, "demo-key", "demo-cx", service_.Endpoint());
  }

  SubstituteSearchServer service_;
};

TEST_F(DownloadPageTest, ReturnsTheAnswerWithItsCount) {
  const std::string body = DownloadPage(Url("red shoes"));
  std::string count;
  ASSERT_TRUE(ReadCount(body, count)) << body.substr(0, 200);
  EXPECT_EQ(count, std::to_string(searchsim::PhraseCount("red shoes")));
  EXPECT_EQ(body, searchsim::SearchAnswerJson("red shoes", "demo-cx", std::stoll(count),
                                              searchsim::ItemsFor("red shoes", std::stoll(count))));
}

TEST_F(DownloadPageTest, PostsTheVolumeRequestWithItsHeadersAndReadsTheAnswer) {
  const std::vector<std::string> phrases = {"red shoes", "few words", "novolume here"};
  const std::vector<VolumeRequest> requests = VolumeRequests(phrases, "us");
  ASSERT_EQ(requests.size(), 1u);
  const HttpAnswer answer = PostForm(VolumeURL(service_.Endpoint()),
                                     VolumeHeaders("demo-volume-key"), requests[0].body);
  const VolumeAnswer volumes = ReadVolumeAnswer(answer.status, answer.body, requests[0], phrases);
  ASSERT_TRUE(volumes.ok) << answer.body;
  EXPECT_EQ(volumes.volumes, (std::vector<std::optional<int64_t>>{
                                 searchsim::VolumeFor("red shoes"), 120, std::nullopt}));
  EXPECT_EQ(volumes.credits, 100000 - 3);
  const auto recorded = service_.Requests();
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].body, requests[0].body);
  EXPECT_EQ(recorded[0].target, "/v1/get_keyword_data");
  EXPECT_EQ(recorded[0].user_agent, kUserAgent);

  const HttpAnswer refused =
      PostForm(VolumeURL(service_.Endpoint()), VolumeHeaders("wrong"), requests[0].body);
  const VolumeAnswer failed = ReadVolumeAnswer(refused.status, refused.body, requests[0], phrases);
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.message, searchsim::kVolumeInvalidKey);
  EXPECT_EQ(DownloadPage(Url("red shoes")).empty(), false);  // a GET after a POST is a GET
}

TEST_F(DownloadPageTest, SendsTheUserAgentNoCacheAndTheURLAsBuilt) {
  const std::string url = Url("salt & pepper");
  DownloadPage(url);
  const auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].user_agent, kUserAgent);
  EXPECT_EQ(service_.Endpoint() + requests[0].target, url);
  EXPECT_EQ(requests[0].q, "salt & pepper");
  const auto has = [&](const std::string& name, const std::string& value) {
    for (const auto& header : requests[0].headers) {
      if (header.first == name && header.second == value) return true;
    }
    return false;
  };
  EXPECT_TRUE(has("Cache-Control", "no-cache"));
  EXPECT_TRUE(has("Pragma", "no-cache"));
}

TEST_F(DownloadPageTest, ErrorAnswersReturnTheirJsonBody) {
  // 400: an unknown key.
  std::string body =
      DownloadPage(BuildQueryURL(QueryKind::Phrase, "x", "wrong", "demo-cx", service_.Endpoint()));
  std::string count;
  EXPECT_FALSE(ReadCount(body, count));
  EXPECT_EQ(ErrorText(body),
            "Abnormal request terminatiom. API key not valid. Please pass a valid API key.");

  // 403: whatever the service says.
  service_.InjectFault(Fault::Canned(
      403, R"({"error": {"code": 403, "message": "The caller does not have permission"}})"));
  body = DownloadPage(Url("x"));
  EXPECT_EQ(ErrorText(body), "Abnormal request terminatiom. The caller does not have permission");
  service_.ClearFault();

  // 429: the daily quota, whose message holds quotes the service writes as \u0027.
  service_.SetDailyQuota(0);
  body = DownloadPage(Url("x"));
  EXPECT_NE(body.find("\"code\": 429"), std::string::npos);
  EXPECT_EQ(ErrorText(body),
            "Abnormal request terminatiom. Quota exceeded for quota metric 'Queries' and limit "
            "'Queries per day' of service 'customsearch.googleapis.com' for consumer "
            "'project_number:0'.");
}

// The status and Retry-After of the final answer; an answer that keeps sending stops growing at
// 16 MiB, and what arrived is the answer.
TEST_F(DownloadPageTest, StatusRetryAfterAndTheSizeLimit) {
  service_.InjectFault(Fault::Canned(429, R"({"error": "busy"})", {{"Retry-After", " 42 "}}));
  HttpAnswer answer = DownloadAnswer(Url("x"));
  EXPECT_EQ(answer.status, 429);
  EXPECT_EQ(answer.retry_after_s, 42);
  EXPECT_EQ(answer.body, R"({"error": "busy"})");

  service_.InjectFault(Fault::Canned(200, std::string(20u << 20, 'x')));
  answer = DownloadAnswer(Url("x"));
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.retry_after_s, -1);
  EXPECT_EQ(answer.body.size(), internal::kMaxAnswerBytes);
  service_.ClearFault();
  EXPECT_EQ(DownloadAnswer(Url("x")).status, 200);  // the next request on the thread is sound

  EXPECT_EQ(internal::ParseRetryAfter("Wed, 21 Oct 2026 07:28:00 GMT"), -1);
}

TEST_F(DownloadPageTest, BodyIsKeptByteForByte) {
  // Zero bytes at the start, on both sides of a 1025-byte boundary and at the end.
  std::string body(3000, 'a');
  for (const size_t at : {0u, 1024u, 1025u, 2050u, 2999u}) body[at] = '\0';
  body[1500] = '\xFF';
  service_.InjectFault(Fault::Canned(200, body, {{"Content-Type", "application/octet-stream"}}));
  EXPECT_EQ(DownloadPage(Url("x")), body);
}

TEST_F(DownloadPageTest, AStallReturnsWhatArrivedBeforeTheTimeOut) {
  const std::string full = DownloadPage(Url("red shoes"));
  ASSERT_FALSE(full.empty());
  // The stall outlasts any test: only the receive time-out can end the download.
  service_.InjectFault(Fault::Stall(std::chrono::hours(1)));
  const auto start = Clock::now();
  const std::string part = DownloadShort(Url("red shoes"));
  EXPECT_EQ(part, full.substr(0, full.size() / 2));
  EXPECT_GE(Clock::now() - start, kShortTimeout);
  // The cut-off connection is not reused for the next request.
  service_.ClearFault();
  EXPECT_EQ(DownloadShort(Url("red shoes")), full);
}

TEST_F(DownloadPageTest, AnAnswerLaterThanTheTimeOutIsNoAnswer) {
  // A delay far inside the time-out is waited for; one beyond it is not.
  service_.InjectFault(Fault::Delay(milliseconds(100)));
  EXPECT_FALSE(internal::Download(Url("a"), milliseconds(10000), internal::ConnectionUse::kReuse)
                   .empty());
  service_.InjectFault(Fault::Delay(milliseconds(1500)));
  EXPECT_EQ(DownloadShort(Url("a")), "");
}

TEST_F(DownloadPageTest, ATruncatedOrDroppedAnswerGivesWhatArrived) {
  const std::string full = DownloadPage(Url("blue hats"));
  service_.InjectFault(Fault::Truncate());
  EXPECT_EQ(DownloadPage(Url("blue hats")), full.substr(0, full.size() / 2));
  service_.InjectFault(Fault::Drop());
  EXPECT_EQ(DownloadPage(Url("blue hats")), "");
}

// Only a transfer that ends normally with the whole body is complete; every other one gives
// what arrived, marked as not whole.
TEST_F(DownloadPageTest, OnlyATransferThatEndsWithTheWholeBodyIsComplete) {
  const std::string full = DownloadPage(Url("red shoes"));
  const std::vector<std::string> phrases = {"red shoes"};
  const VolumeRequest volume = VolumeRequests(phrases, "us").at(0);
  const auto post = [&] {
    return internal::PostAnswer(VolumeURL(service_.Endpoint()),
                                {VolumeHeaders("demo-volume-key"), volume.body}, kShortTimeout,
                                internal::ConnectionUse::kReuse);
  };
  struct Case {
    const char* name;
    Fault fault;
    bool is_post;
    std::string body;  // a POST's: any volume answer that reads (its credits change)
    bool complete;
  };
  const std::vector<Case> cases = {
      {"whole", Fault(), false, full, true},
      {"an error answer, whole", Fault::Canned(403, R"({"error": "no"})"), false,
       R"({"error": "no"})", true},
      {"cut off mid-body", Fault::Truncate(), false, full.substr(0, full.size() / 2), false},
      {"a byte short of its Content-Length", Fault::CutShort(), false, full, false},
      {"stalled past the receive time-out", Fault::Stall(std::chrono::hours(1)), false,
       full.substr(0, full.size() / 2), false},
      {"dropped", Fault::Drop(), false, "", false},
      {"the size limit", Fault::Canned(200, std::string(20u << 20, 'x')), false,
       std::string(internal::kMaxAnswerBytes, 'x'), false},
      {"a POST, whole", Fault(), true, "", true},
      {"a POST a byte short", Fault::CutShort(), true, "", false},
  };
  for (const Case& c : cases) {
    service_.InjectFault(c.fault);
    const HttpAnswer answer = c.is_post ? post()
                                        : internal::DownloadAnswer(Url("red shoes"), kShortTimeout,
                                                                   internal::ConnectionUse::kReuse);
    if (c.is_post) {
      EXPECT_TRUE(ReadVolumeAnswer(answer.status, answer.body, volume, phrases).ok) << c.name;
    } else {
      EXPECT_EQ(answer.body, c.body) << c.name;
    }
    EXPECT_EQ(answer.complete, c.complete) << c.name;
  }
}

// A server that sends a byte now and then (each well inside the receive time-out) cannot hold a
// transfer beyond its limit in all; what arrived is the answer, never a whole one.
TEST_F(DownloadPageTest, ASlowDripEndsAtTheTransferLimit) {
  const std::string full = DownloadPage(Url("red shoes"));
  // The drip outlasts any test: only the transfer limit can end the download.
  service_.InjectFault(Fault::Drip(milliseconds(100)));
  internal::TransferBounds bounds;
  bounds.total = milliseconds(400);
  const auto start = Clock::now();
  const HttpAnswer answer = internal::DownloadAnswer(Url("red shoes"), std::chrono::hours(1),
                                                     internal::ConnectionUse::kReuse, bounds);
  EXPECT_GE(Clock::now() - start, bounds.total);
  EXPECT_FALSE(answer.complete);
  EXPECT_LT(answer.body.size(), full.size());
  EXPECT_EQ(answer.body, full.substr(0, answer.body.size()));
  service_.ClearFault();
  EXPECT_TRUE(DownloadAnswer(Url("red shoes")).complete);  // the next request is sound
}

// Setting the abort flag ends a transfer under way; a transfer asked for once it is set sends
// nothing.
TEST_F(DownloadPageTest, TheAbortFlagEndsATransferUnderWay) {
  std::atomic<bool> abort{true};
  internal::TransferBounds bounds;
  bounds.abort = &abort;
  bounds.total = std::chrono::hours(1);
  const auto get = [&] {
    return internal::DownloadAnswer(Url("red shoes"), std::chrono::hours(1),
                                    internal::ConnectionUse::kReuse, bounds);
  };
  EXPECT_EQ(get().body, "");
  EXPECT_TRUE(service_.Requests().empty());

  const std::string full = DownloadPage(Url("red shoes"));
  service_.ClearRequests();
  abort = false;
  // Drip, time-out and limit all outlast any test: only the flag can end the download.
  service_.InjectFault(Fault::Drip(std::chrono::hours(1) / full.size()));
  std::thread closer([&] {
    EXPECT_TRUE(service_.WaitForRequests(1, std::chrono::seconds(60)));
    abort = true;
  });
  const HttpAnswer answer = get();
  closer.join();
  EXPECT_FALSE(answer.complete);
  EXPECT_EQ(answer.body, full.substr(0, answer.body.size()));
}

TEST_F(DownloadPageTest, UnreachableOrWrongProtocolGivesTheEmptyText) {
  int closed_port = 0;
  {
    SubstituteSearchServer gone;
    closed_port = gone.Port();
  }
  const std::string closed = "http://127.0.0.1:" + std::to_string(closed_port);
  EXPECT_EQ(DownloadPage(BuildQueryURL(QueryKind::Phrase, "x", "k", "c", closed)), "");

  // TLS spoken to the plain-HTTP service fails the handshake.
  std::string https = service_.Endpoint();
  https.replace(0, 4, "https");
  EXPECT_EQ(DownloadPage(BuildQueryURL(QueryKind::Phrase, "x", "demo-key", "demo-cx", https)), "");

  EXPECT_EQ(DownloadPage(""), "");
  EXPECT_EQ(DownloadPage("not a url"), "");
  EXPECT_EQ(DownloadPage("file:///etc/hostname"), "");  // only http and https are fetched
}

TEST_F(DownloadPageTest, FollowsRedirects) {
  service_.InjectFault(
      Fault::Canned(302, "", {{"Location", "/customsearch/v1?q=moved&cx=demo-cx&key=demo-key"}})
          .Times(1));
  std::string count;
  ASSERT_TRUE(ReadCount(DownloadPage(Url("x")), count));
  EXPECT_EQ(count, std::to_string(searchsim::PhraseCount("moved")));
  EXPECT_EQ(service_.Requests().size(), 2u);
}

TEST_F(DownloadPageTest, BackToBackRequestsOnOneThreadShareAConnection) {
  // A fresh thread starts without a cached connection.
  std::thread([&] {
    EXPECT_FALSE(DownloadPage(Url("one")).empty());
    EXPECT_FALSE(DownloadPage(Url("two")).empty());
  }).join();
  EXPECT_EQ(service_.ConnectionCount(), 1);

  for (int i = 0; i < 2; ++i) {
    internal::Download(Url("three"), kShortTimeout, internal::ConnectionUse::kFresh);
  }
  EXPECT_EQ(service_.ConnectionCount(), 3);
}

TEST_F(DownloadPageTest, ThreadsDownloadIndependently) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 5; ++i) {
        const std::string phrase = "thread " + std::to_string(t) + " request " + std::to_string(i);
        std::string count;
        EXPECT_TRUE(ReadCount(DownloadPage(Url(phrase)), count));
        EXPECT_EQ(count, std::to_string(searchsim::PhraseCount(phrase)));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(service_.Requests().size(), 20u);
}

}  // namespace
}  // namespace kelvaro

#endif  // KELVARO_HAVE_SEARCHSIM
