// A keyword run against the substitute server's metered accounts: the question before Start,
// waiting out a full hour or minute, and one clear end when the searches run out.

#ifdef KELVARO_HAVE_SEARCHSIM

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "grid/ResultGridModel.h"
#include "main/KeywordWorker.h"
#include "tests/support/ServerWorkerHost.h"
#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
#include "web/SearchService.h"

namespace kelvaro::MainForm {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using std::chrono::milliseconds;

// Short enough that no test waits long, long enough that the windows are met.
LimitTimings QuickTimings() {
  LimitTimings timings;
  timings.poll_ms = 50;
  timings.per_minute_wait_ms = 50;
  timings.max_wait_ms = 20000;
  timings.stop_check_ms = 10;
  return timings;
}

class KeywordLimitsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1,localhost", 1); }

  void UseAccount(const std::string& service, const searchsim::Account& account) {
    server_.SetAccount("metered", account);
    // The run's waits move the server's clock on instead of passing real time.
    host_.PassTimeWith([this](int ms) {
      passed_ms_ += ms;
      server_.PassAccountTime(milliseconds(ms));
    });
    host_.SetCredentials({"metered", "demo-cx", service, server_.Endpoint()});
  }
  KeywordWorker& Run(std::vector<std::string> keywords, LimitTimings timings = QuickTimings()) {
    if (grid_.RowCount() > 2) grid_.RemoveRows(2, grid_.RowCount() - 2);
    for (int col = 0; col < 5; ++col) grid_.SetCells(col, 1, "");
    worker_ = std::make_unique<KeywordWorker>(std::move(keywords), host_, host_.Search(), grid_,
                                              KeywordWorkerSink{}, 0);
    worker_->SetLimitTimings(timings);
    worker_->Run();
    return *worker_;
  }
  // The phrases with all three counts in the grid.
  int CountedRows() {
    int rows = 0;
    for (int row = 1; row < grid_.RowCount(); ++row) {
      if (!grid_.Cells(4, row).empty()) ++rows;
    }
    return rows;
  }

  searchsim::SubstituteSearchServer server_;
  testing::ServerWorkerHost host_;
  int64_t passed_ms_ = 0;  // the waits the run made
  ResultGridModel grid_{5, 2};
  std::unique_ptr<KeywordWorker> worker_;
};

TEST_F(KeywordLimitsTest, AFullHourIsWaitedOutAndEveryPhraseCounted) {
  searchsim::Account account;
  account.hourly_limit = 4;
  account.hour = milliseconds(300);
  UseAccount(kSerpApi, account);
  KeywordWorker& worker = Run({"red shoes", "blue hats", "green socks"});

  EXPECT_EQ(CountedRows(), 3);
  EXPECT_THAT(host_.Messages(), IsEmpty());
  EXPECT_THAT(host_.Questions(), IsEmpty());
  EXPECT_THAT(host_.Statuses(),
              Contains(AllOf(HasSubstr("Hourly search limit reached (4 an hour). Next try at "),
                             HasSubstr("; Stop ends the run."))));
  EXPECT_EQ(host_.Statuses().back(), "");  // the notice goes when the run goes on
  EXPECT_GT(passed_ms_, 0);  // the run waited for the window
  EXPECT_EQ(worker.NotCounted(), 0);
}

TEST_F(KeywordLimitsTest, RunningOutEndsTheRunWithOneBox) {
  searchsim::Account account;
  account.monthly_allowance = 4;
  UseAccount(kSerpApi, account);
  host_.AnswerQuestions({kResultYes});
  KeywordWorker& worker = Run({"red shoes", "blue hats", "green socks"});

  EXPECT_THAT(host_.Questions(),
              ElementsAre("This run sends up to 9 searches; your account has 4 left.\r\n\r\n"
                          "Start anyway?"));
  EXPECT_THAT(host_.Messages(), ElementsAre(searchsim::kSerpApiOutOfSearches));
  EXPECT_EQ(CountedRows(), 1);
  EXPECT_EQ(worker.NotCounted(), 2);
  EXPECT_EQ(worker.Phrases(), 3);
  EXPECT_EQ(worker.SearchesLeft(), 0);
}

TEST_F(KeywordLimitsTest, TheBoxBeforeStart) {
  searchsim::Account account;
  account.monthly_allowance = 2;
  UseAccount(kSerpApi, account);
  KeywordWorker& refused = Run({"red shoes"});  // No to the question
  EXPECT_THAT(host_.Questions(), ElementsAre(HasSubstr("up to 3 searches; your account has 2")));
  EXPECT_EQ(refused.QueriesSent(), 0);

  account.monthly_allowance = 0;
  UseAccount(kSerpApi, account);
  KeywordWorker& none = Run({"red shoes"});
  EXPECT_THAT(host_.Messages(), ElementsAre("Your account has no searches left."));
  EXPECT_EQ(none.QueriesSent(), 0);

  // An account that does not answer within its time-out starts the run without a box.
  server_.InjectFault(searchsim::Fault::Delay(milliseconds(3000)).Times(1));
  account.monthly_allowance = -1;
  UseAccount(kSerpApi, account);
  LimitTimings short_account_wait = QuickTimings();
  short_account_wait.account_timeout_ms = 100;  // far below the server's delay
  KeywordWorker& unasked = Run({"red shoes"}, short_account_wait);
  EXPECT_EQ(unasked.QueriesSent(), 3);
  EXPECT_EQ(CountedRows(), 1);
  EXPECT_EQ(host_.Messages().size(), 1u);
  EXPECT_EQ(host_.Questions().size(), 1u);
}

TEST_F(KeywordLimitsTest, StopDuringAWaitEndsTheRun) {
  searchsim::Account account;
  account.hourly_limit = 1;  // a real hour: only Stop ends this wait
  UseAccount(kSerpApi, account);
  host_.OnStatus([this](const std::string& text) {
    if (!text.empty()) worker_->RequestStop();
  });
  KeywordWorker& worker = Run({"red shoes", "blue hats"});
  EXPECT_EQ(CountedRows(), 0);
  EXPECT_THAT(host_.Messages(), IsEmpty());
  EXPECT_THAT(host_.Questions(), IsEmpty());
  EXPECT_LT(worker.WaitedMs(), 5000);
}

TEST_F(KeywordLimitsTest, AnOddAccountAnswerTakesTheErrorPathWithoutWaiting) {
  searchsim::Account account;
  account.hourly_limit = 0;
  account.account_answer =
      R"({"total_searches_left": "many", "this_hour_searches": -1, "account_rate_limit_per_hour": 0})";
  UseAccount(kSerpApi, account);
  Run({"red shoes"});
  EXPECT_THAT(host_.Messages(), ElementsAre(HasSubstr("hourly searches limit")));
  EXPECT_THAT(host_.Statuses(), IsEmpty());
}

TEST_F(KeywordLimitsTest, GooglePerMinuteIsWaitedOutAndPerDayEndsTheRun) {
  searchsim::Account account;
  account.hourly_limit = 2;
  account.hour = milliseconds(200);
  UseAccount(kGoogleCustomSearch, account);
  Run({"red shoes", "blue hats"});
  EXPECT_EQ(CountedRows(), 2);
  EXPECT_THAT(host_.Statuses(),
              Contains(HasSubstr("Search limit per minute reached. Next try at ")));
  EXPECT_THAT(host_.Messages(), IsEmpty());

  account = searchsim::Account();
  account.monthly_allowance = 1;
  UseAccount(kGoogleCustomSearch, account);
  KeywordWorker& worker = Run({"red shoes", "blue hats"});
  EXPECT_THAT(host_.Messages(), ElementsAre(HasSubstr("'Queries per day'")));
  EXPECT_EQ(worker.NotCounted(), 2);
}

// Waits go by what the service says: Retry-After 0 in a full hour does not make the run poll
// the account in a tight loop, and a per-minute Retry-After beyond a minute is waited in one go.
TEST_F(KeywordLimitsTest, WaitsFollowRetryAfterAndPollTheAccountOnceAMinute) {
  LimitTimings real = QuickTimings();
  real.poll_ms = 60000;
  real.per_minute_wait_ms = 60000;
  real.max_wait_ms = 65 * 60 * 1000;
  const auto account_polls = [this] {
    int polls = 0;
    for (const auto& request : server_.Requests()) {
      polls += request.target.rfind("/account.json", 0) == 0 ? 1 : 0;
    }
    return polls;
  };

  searchsim::Account hourly;
  hourly.hourly_limit = 3;
  hourly.hour = std::chrono::minutes(5);
  hourly.retry_after_s = 0;
  UseAccount(kSerpApi, hourly);
  Run({"red shoes", "blue hats"}, real);
  EXPECT_EQ(CountedRows(), 2);
  EXPECT_GE(passed_ms_, 4 * 60000);
  // One before Start, one on the refusal, one a minute of waiting, one at the end.
  EXPECT_LE(account_polls(), 2 + passed_ms_ / 60000 + 1);

  searchsim::Account per_minute;
  per_minute.hourly_limit = 3;
  per_minute.hour = std::chrono::minutes(3);
  UseAccount(kGoogleCustomSearch, per_minute);
  server_.ClearRequests();
  passed_ms_ = 0;
  Run({"red shoes", "blue hats"}, real);
  EXPECT_EQ(CountedRows(), 2);
  // The refusal's Retry-After (the three minutes' rest) is waited once; the query then goes.
  EXPECT_EQ(server_.Requests().size(), 7u);
  EXPECT_GE(passed_ms_, 2 * 60000);
}

}  // namespace
}  // namespace kelvaro::MainForm

#endif  // KELVARO_HAVE_SEARCHSIM
