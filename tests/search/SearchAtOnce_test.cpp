// Runs with several searches at once against the substitute service: the grid they fill is
// the grid a one-at-a-time run fills, whatever comes between (a failure, Stop, a limit).

#ifdef KELVARO_HAVE_SEARCHSIM

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "deep/DeepAnalysisWorker.h"
#include "grid/ResultGridModel.h"
#include "search/AnswerReuse.h"
#include "main/KeywordWorker.h"
#include "store/AnswerStore.h"
#include "tests/support/ServerWorkerHost.h"
#include "tests/support/TempDir.h"
#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
#include "web/SearchService.h"

namespace kelvaro {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using std::chrono::milliseconds;

const std::vector<std::string> kPhrases = {"red shoes",   "blue hats",  "green socks",
                                           "pink scarfs", "grey coats", "teal boots"};

using testing::GridText;

class SearchAtOnceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1,localhost", 1); }
  void SetUp() override { host_.SetCredentials({"demo-key", "demo-cx", kSerpApi, server_.Endpoint()}); }

  // A keyword run over `phrases` with `at_once`; the grid it leaves.
  std::string Keywords(const std::vector<std::string>& phrases, int at_once,
                       AnswerStore* store = nullptr) {
    server_.ClearRequests();
    ResultGridModel grid(5, 2);
    SearchSetup setup = host_.Search();
    setup.at_once = at_once;
    setup.limits = timings_;
    worker_ = std::make_unique<MainForm::KeywordWorker>(phrases, host_, setup, grid,
                                                        MainForm::KeywordWorkerSink{}, 0);
    worker_->SetPauseBetweenKeywordsMs(0);
    if (store != nullptr) worker_->SetAnswerStore(store, 0);
    worker_->Run();
    return GridText(grid);
  }
  size_t Searches() const {
    size_t searches = 0;
    for (const auto& request : server_.Requests()) {
      if (request.target.rfind("/search.json", 0) == 0 ||
          request.target.rfind("/customsearch/v1", 0) == 0) {
        ++searches;
      }
    }
    return searches;
  }

  searchsim::SubstituteSearchServer server_;
  testing::ServerWorkerHost host_;
  LimitTimings timings_{50, 50, 20000, 10, 2000};
  std::unique_ptr<MainForm::KeywordWorker> worker_;
};

TEST_F(SearchAtOnceTest, FourAtOnceKeepFourInFlightAndFillTheGridAsOneAtATime) {
  server_.HoldFirstAnswers(4);
  // The first phrase answers last: the rows still come in the order of the lines.
  server_.SetAnswerDelay(milliseconds(100), kPhrases[0]);
  const std::string four = Keywords(kPhrases, 4);
  EXPECT_EQ(server_.MostInFlight(), 4);
  EXPECT_EQ(worker_->QueriesSent(), 18);
  const std::string one = Keywords(kPhrases, 1);
  EXPECT_EQ(server_.MostInFlight(), 1);
  EXPECT_EQ(four, one);
  EXPECT_THAT(four, HasSubstr("teal boots"));
}

TEST_F(SearchAtOnceTest, AFailureInTheMiddleAsksOnceAndYesAndNoEndAsOneAtATime) {
  std::vector<std::string> phrases = kPhrases;
  phrases[2] = "fail here";
  for (const int answer : {kResultYes, kResultNo}) {
    host_.AnswerQuestions({answer, answer});
    const std::string four = Keywords(phrases, 4);
    host_.AnswerQuestions({answer, answer});
    const std::string one = Keywords(phrases, 1);
    EXPECT_EQ(four, one) << answer;
    EXPECT_THAT(four, HasSubstr("blue hats"));
    EXPECT_EQ(four.find("pink scarfs") != std::string::npos, answer == kResultYes);
  }
  EXPECT_THAT(host_.Questions(), SizeIs(4));
}

TEST_F(SearchAtOnceTest, StopSendsNothingMoreAndTheQueriesInFlightAreStored) {
  testing::TempDir dir;
  AnswerStore store(dir.File("answers.sqlite"));
  size_t added = 0;
  host_.OnDownload([&](const std::string& url) {
    if (url.find("/search.json") != std::string::npos && ++added == 5) worker_->RequestStop();
  });
  const std::string grid = Keywords(kPhrases, 4, &store);
  host_.OnDownload(nullptr);
  EXPECT_EQ(Searches(), 5u);
  // The first phrase's row and only whole ones after it; every answer that came is kept.
  EXPECT_THAT(grid, HasSubstr("red shoes"));
  EXPECT_EQ(grid.find("grey coats"), std::string::npos);
  const std::vector<AnswerKey> keys = RunAnswerKeys(
      testing::RequestSettings(host_), kPhrases, {QueryKind::Phrase, QueryKind::Title, QueryKind::URL});
  EXPECT_EQ(store.CountFresh(keys, 1), 5);
}

TEST_F(SearchAtOnceTest, ALimitAnsweredToSeveralIsWaitedOutOnceAndNothingIsLost) {
  host_.SetCredentials({"demo-key", "demo-cx", kGoogleCustomSearch, server_.Endpoint()});
  const std::string one = Keywords(kPhrases, 1);
  server_.InjectFault(searchsim::Fault::Canned(
                          429, searchsim::ErrorAnswerJson(searchsim::PerMinuteQuotaError()),
                          {{"Retry-After", "0"}})
                          .Times(3));
  server_.HoldFirstAnswers(4);
  const std::string four = Keywords(kPhrases, 4);
  EXPECT_EQ(four, one);
  EXPECT_EQ(Searches(), 18u + 3u);
  int waits = 0;
  for (const std::string& status : host_.Statuses()) {
    if (status.find("limit") != std::string::npos) ++waits;
  }
  EXPECT_EQ(waits, 1);
}

TEST_F(SearchAtOnceTest, TheAccountsHourIsSharedOutSoNoSearchIsTurnedAway) {
  searchsim::Account account;
  account.hourly_limit = 5;
  account.hour = milliseconds(300);
  server_.SetAccount("metered", account);
  host_.PassTimeWith([this](int ms) { server_.PassAccountTime(milliseconds(ms)); });
  host_.SetCredentials({"metered", "", kSerpApi, server_.Endpoint()});
  const std::string grid = Keywords(kPhrases, 4);
  // Eighteen searches in windows of five, none sent twice: no 429 came back.
  EXPECT_EQ(Searches(), 18u);
  EXPECT_THAT(grid, HasSubstr("teal boots"));
  EXPECT_THAT(host_.Messages(), IsEmpty());
  EXPECT_THAT(host_.Statuses(), Contains(HasSubstr("Hourly search limit reached (5 an hour)")));
}

TEST_F(SearchAtOnceTest, DeepAnalysisAtOnceFillsTheGridAsOneAtATime) {
  const auto run = [&](int at_once) {
    server_.ClearRequests();
    ResultGridModel grid(4, 2);
    SearchSetup setup = host_.Search();
    setup.at_once = at_once;
    DeepAnalysisForm::DeepAnalysisWorker worker({"red shoes", "few results here"}, host_, setup,
                                                grid, DeepAnalysisForm::DeepAnalysisWorkerSink{},
                                                false);
    worker.SetPauseBetweenPhrasesMs(0);
    worker.Run();
    return GridText(grid);
  };
  server_.HoldFirstAnswers(2);
  const std::string four = run(4);
  EXPECT_GE(server_.MostInFlight(), 2);
  EXPECT_EQ(four, run(1));
  EXPECT_THAT(four, HasSubstr("Averages"));
}

}  // namespace
}  // namespace kelvaro

#endif  // KELVARO_HAVE_SEARCHSIM
