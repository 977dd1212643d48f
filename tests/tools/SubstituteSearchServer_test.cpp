// The substitute search service's rules, seen through the product's own HTTP client.

#ifdef KELVARO_HAVE_SEARCHSIM

#include "tools/SubstituteSearchServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "tools/SearchAnswers.h"
#include "web/CustomSearch.h"
#include "web/DownloadBackend.h"
#include "web/SearchService.h"

namespace kelvaro::searchsim {
namespace {

using std::chrono::milliseconds;

std::string Get(const std::string& url, milliseconds timeout = milliseconds(2000)) {
  return internal::Download(url, timeout, internal::ConnectionUse::kReuse);
}

class SubstituteSearchServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1,localhost", 1); }

  std::string Query(const std::string& phrase, const std::string& key = "demo-key",
                    const std::string& cx = "demo-cx") {
    return Get(BuildQueryURL(QueryKind::Phrase, phrase, key, cx, service_.Endpoint()));
  }
  // The error message of an answer, or "" for an answer with a count.
  static std::string Message(const std::string& answer) {
    return ErrorText(answer).substr(std::string(kAbnormalTermination).size());
  }

  SubstituteSearchServer service_;
};

TEST_F(SubstituteSearchServerTest, CredentialsAreCheckedKeyFirst) {
  EXPECT_EQ(Message(Query("x", "", "")), "API key not valid. Please pass a valid API key.");
  EXPECT_EQ(Message(Query("x", "other", "demo-cx")),
            "API key not valid. Please pass a valid API key.");
  EXPECT_EQ(Message(Query("x", "demo-key", "")), "Request contains an invalid argument.");
  EXPECT_EQ(Message(Query("x", "demo-key", "other")), "Request contains an invalid argument.");
  std::string count;
  EXPECT_TRUE(ReadCount(Query("x"), count));

  service_.SetCredentials("k2", "c2");
  EXPECT_FALSE(ReadCount(Query("x"), count));
  EXPECT_TRUE(ReadCount(Query("x", "k2", "c2"), count));
}

TEST_F(SubstituteSearchServerTest, DailyQuota) {
  service_.SetDailyQuota(2);
  std::string count;
  EXPECT_TRUE(ReadCount(Query("a"), count));
  EXPECT_TRUE(ReadCount(Query("b"), count));
  const std::string third = Query("c");
  EXPECT_NE(third.find("\"code\": 429"), std::string::npos);
  EXPECT_EQ(Message(third).rfind("Quota exceeded for quota metric 'Queries'", 0), 0u);
  // Bad credentials are refused before the quota is looked at.
  EXPECT_EQ(Message(Query("c", "bad")), "API key not valid. Please pass a valid API key.");
  service_.StartNewDay();
  EXPECT_TRUE(ReadCount(Query("c"), count));
}

TEST_F(SubstituteSearchServerTest, BlankQueriesAndFailingPhrases) {
  EXPECT_EQ(Message(Query(" ")), "Request contains an invalid argument.");
  EXPECT_EQ(Message(Get(service_.Endpoint() + "/customsearch/v1?cx=demo-cx&key=demo-key")),
            "Request contains an invalid argument.");
  const std::string failed = Query("why things fail");
  EXPECT_NE(failed.find("\"code\": 500"), std::string::npos);
  EXPECT_EQ(Message(failed), "Backend Error");
  EXPECT_EQ(Message(Get(BuildQueryURL(QueryKind::Title, "fail", "demo-key", "demo-cx",
                                      service_.Endpoint()))),
            "Backend Error");
  std::string count;
  EXPECT_TRUE(ReadCount(Query("failure analysis"), count));  // whole words only
}

TEST_F(SubstituteSearchServerTest, RecordsRequestsAndLimitsFaults) {
  service_.InjectFault(Fault::Canned(418, "teapot", {{"Content-Type", "text/plain"}}).Times(2));
  EXPECT_EQ(Query("a"), "teapot");
  EXPECT_EQ(Query("b"), "teapot");
  EXPECT_NE(Query("c"), "teapot");
  const auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].q, "a");
  EXPECT_EQ(requests[2].target, "/customsearch/v1?q=c&cx=demo-cx&hl=EN&lr=lang_en&key=demo-key");
  service_.ClearRequests();
  EXPECT_TRUE(service_.Requests().empty());
}

TEST_F(SubstituteSearchServerTest, SerpApiFormSharesKeyQuotaAndCounts) {
  const kelvaro::SearchService& serp = SearchServiceNamed(kSerpApi);
  const Credentials settings{"demo-key", "", kSerpApi, service_.Endpoint()};
  const auto ask = [&](const std::string& phrase, const Credentials& with) {
    return Get(serp.QueryURL(QueryKind::Phrase, phrase, with));
  };
  service_.SetDailyQuota(3);
  std::string count;
  const std::string answer = ask("few shoes", settings);
  ASSERT_TRUE(serp.ReadCount(answer, count));
  EXPECT_EQ(count, "4");
  EXPECT_EQ(serp.ReadResults(answer, 10).size(), 4u);
  ASSERT_TRUE(serp.ReadCount(ask("nothing at all", settings), count));
  EXPECT_EQ(count, "0");
  EXPECT_EQ(serp.ReadSearchesLeft(Get(serp.AccountURL(settings))), 1);
  EXPECT_EQ(serp.ErrorText(ask("why things fail", settings)),
            std::string(kAbnormalTermination) + "Internal server error.");
  EXPECT_EQ(serp.ErrorText(ask("x", settings)),
            std::string(kAbnormalTermination) + "Your account has run out of searches.");
  EXPECT_EQ(serp.ReadSearchesLeft(Get(serp.AccountURL(settings))), 0);
  const Credentials wrong_key{"other", "", kSerpApi, service_.Endpoint()};
  EXPECT_EQ(serp.ErrorText(ask("x", wrong_key)),
            std::string(kAbnormalTermination) + kSerpApiInvalidKey);
  EXPECT_EQ(serp.ReadSearchesLeft(Get(serp.AccountURL(wrong_key))), std::nullopt);
  // Both forms count the same phrase alike.
  service_.StartNewDay();
  std::string google_count;
  ASSERT_TRUE(ReadCount(Query("common phrase"), google_count));
  ASSERT_TRUE(serp.ReadCount(ask("common phrase", settings), count));
  EXPECT_EQ(count, google_count);
}

// A key's account: its hour refuses with Retry-After until the window ends, and the account
// answer carries the figures a run reads.
TEST_F(SubstituteSearchServerTest, AnAccountMetersItsHourAndItsAllowance) {
  Account account;
  account.hourly_limit = 1;
  account.monthly_allowance = 5;
  service_.SetAccount("metered", account);
  const kelvaro::SearchService& serp = SearchServiceNamed(kSerpApi);
  const Credentials settings{"metered", "", kSerpApi, service_.Endpoint()};
  const std::string url = serp.QueryURL(QueryKind::Phrase, "red shoes", settings);
  EXPECT_EQ(internal::DownloadAnswer(url, milliseconds(2000), internal::ConnectionUse::kReuse).status,
            200);
  const HttpAnswer refused =
      internal::DownloadAnswer(url, milliseconds(2000), internal::ConnectionUse::kReuse);
  EXPECT_EQ(refused.status, 429);
  EXPECT_GT(refused.retry_after_s, 3000);
  EXPECT_EQ(serp.MessageIn(refused.body), kSerpApiHourlyLimit);
  const std::optional<AccountFigures> figures = serp.ReadAccount(Get(serp.AccountURL(settings)));
  ASSERT_TRUE(figures);
  EXPECT_EQ(figures->searches_left, 4);
  EXPECT_EQ(figures->this_hour, 1);
  EXPECT_EQ(figures->per_hour, 1);
}

TEST_F(SubstituteSearchServerTest, StoppingEndsAStallAtOnce) {
  std::optional<SubstituteSearchServer> service(std::in_place);
  // Stall and client both outlast any test: only stopping the service can end the transfer.
  service->InjectFault(Fault::Stall(std::chrono::hours(1)));
  const std::string url =
      BuildQueryURL(QueryKind::Phrase, "x", "demo-key", "demo-cx", service->Endpoint());
  std::string part;
  std::thread client([&] { part = Get(url, std::chrono::hours(1)); });
  ASSERT_TRUE(service->WaitForRequests(1, std::chrono::seconds(60)));
  service.reset();
  client.join();
}

TEST_F(SubstituteSearchServerTest, GivenPortAndPortInUse) {
  SubstituteSearchServerConfig config;
  config.port = service_.Port();
  EXPECT_THROW(SubstituteSearchServer{config}, std::runtime_error);
  EXPECT_EQ(service_.Endpoint(), "http://127.0.0.1:" + std::to_string(service_.Port()));
}

}  // namespace
}  // namespace kelvaro::searchsim

#endif  // KELVARO_HAVE_SEARCHSIM
