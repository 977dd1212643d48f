#include "web/ServiceQuery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/FakeWorkerHost.h"
#include "ui/RunTexts.h"

namespace kelvaro {
namespace {

using ::testing::ElementsAre;
using testing::FakeWorkerHost;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// A request as a run's session makes it: the host's credentials and endpoint as they are now,
// the host as the HTTP client.
ServiceAnswer QueryService(FakeWorkerHost& host, QueryKind kind, const std::string& text,
                           int& sent) {
  const SearchSetup setup = host.Search();
  return QueryService(host, RequestSettings(setup.credentials->Get(), setup.endpoint), kind, text,
                      sent);
}

std::optional<int64_t> AskSearchesLeft(FakeWorkerHost& host) {
  const SearchSetup setup = host.Search();
  const std::optional<AccountFigures> figures =
      AskAccount(host, RequestSettings(setup.credentials->Get(), setup.endpoint));
  return figures ? figures->searches_left : std::nullopt;
}

// Where a request goes: the stored endpoint, else the one start-up gave the host, else the
// service's own address.
TEST(QueryService, EndpointComesFromTheSettingsThenTheHostThenTheService) {
  FakeWorkerHost host;
  int sent = 0;
  host.SetCredentials({"k", "", kSerpApi, " https://proxy.test:81/serp/ "});
  QueryService(host, QueryKind::Phrase, "a", sent);
  host.SetCredentials({"k", "", kSerpApi, ""});
  QueryService(host, QueryKind::Phrase, "b", sent);
  host.SetEndpoint("");
  QueryService(host, QueryKind::Phrase, "c", sent);
  EXPECT_EQ(sent, 3);
  EXPECT_THAT(host.Downloads(),
              ElementsAre("https://proxy.test:81/serp/search.json?engine=google&q=a&hl=en"
                          "&lr=lang_en&api_key=k",
                          "https://customsearch.test/search.json?engine=google&q=b&hl=en"
                          "&lr=lang_en&api_key=k",
                          "https://serpapi.com/search.json?engine=google&q=c&hl=en"
                          "&lr=lang_en&api_key=k"));
}

// A service name the program does not know sends nothing and fails like a request, with
// the name in the message.
TEST(QueryService, AnUnknownServiceSendsNothingAndSaysWhy) {
  FakeWorkerHost host;
  host.SetCredentials({"k", "c", "Bing", ""});
  int sent = 0;
  const ServiceAnswer answer = QueryService(host, QueryKind::Phrase, "a", sent);
  std::string count;
  EXPECT_FALSE(answer.ReadCount(count));
  EXPECT_FALSE(answer.HasResultList());
  EXPECT_EQ(FailureText(answer.Failure()), "Unknown search service \"Bing\"");
  EXPECT_EQ(sent, 0);
  EXPECT_THAT(host.Downloads(), IsEmpty());
  EXPECT_EQ(AskSearchesLeft(host), std::nullopt);
}

// A stored endpoint the dialog would refuse (kept from before the rule, or edited by hand)
// never gets the key, whatever its scheme: nothing is sent, and the error says why.
TEST(QueryService, ARefusedEndpointSendsNothingAndSaysWhy) {
  const struct {
    const char* endpoint;
    const char* says;
  } cases[] = {
      {"http://proxy.example",
       "The endpoint \"http://proxy.example\" would carry the API key unencrypted: use "
       "https://, or http:// only for localhost, 127.0.0.0/8 or [::1]"},
      {"http://127.0.0.1@evil.example", "Invalid endpoint \"http://127.0.0.1@evil.example\": "},
      {"http://evil.example?", "Invalid endpoint \"http://evil.example?\": "},
      {"http://evil_host.example", "Invalid endpoint \"http://evil_host.example\": "},
  };
  for (const auto& c : cases) {
    for (const char* service : {kSerpApi, kGoogleCustomSearch}) {
      FakeWorkerHost host;
      host.SetCredentials({"k", "c", service, c.endpoint});
      int sent = 0;
      const ServiceAnswer answer = QueryService(host, QueryKind::Phrase, "a", sent);
      std::string count;
      EXPECT_FALSE(answer.ReadCount(count));
      EXPECT_THAT(FailureText(answer.Failure()), StartsWith(c.says)) << c.endpoint;
      EXPECT_EQ(sent, 0);
      EXPECT_EQ(AskSearchesLeft(host), std::nullopt);
      EXPECT_THAT(host.Downloads(), IsEmpty()) << c.endpoint;
    }
  }
}

TEST(AskSearchesLeft, OnlySerpApiIsAskedAndAFailedAnswerSaysNothing) {
  FakeWorkerHost host;
  host.SetCredentials({"k", "c", "", ""});
  EXPECT_EQ(AskSearchesLeft(host), std::nullopt);
  EXPECT_THAT(host.Downloads(), IsEmpty());

  host.SetCredentials({"k", "", kSerpApi, ""});
  const std::string account = "https://customsearch.test/account.json?api_key=k";
  host.AnswerUrl(account, R"({"plan_searches_left": 5, "total_searches_left": 1234})");
  EXPECT_EQ(AskSearchesLeft(host), 1234);
  host.SetCredentials({"other", "", kSerpApi, ""});
  EXPECT_EQ(AskSearchesLeft(host), std::nullopt);  // nothing queued: an empty answer
  host.ThrowOnNextDownload();
  EXPECT_EQ(AskSearchesLeft(host), std::nullopt);
}

}  // namespace
}  // namespace kelvaro
