// Runs through DataForSEO's task queue against the substitute service: what is posted, how the
// answers come back, and that no paid task is lost to Stop.

#ifdef KELVARO_HAVE_SEARCHSIM

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "deep/DeepAnalysisWorker.h"
#include "main/KeywordWorker.h"
#include "grid/ResultGridModel.h"
#include "search/AnswerReuse.h"
#include "store/AnswerStore.h"
#include "tests/support/ServerWorkerHost.h"
#include "tests/support/TempDir.h"
#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
#include "ui/RunTexts.h"
#include "web/DataForSeo.h"

namespace kelvaro {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;
using std::chrono::milliseconds;

const std::vector<std::string> kPhrases = {"red shoes",   "blue hats",  "green socks",
                                           "pink scarfs", "grey coats", "teal boots"};
constexpr char kTaskPost[] = "/v3/serp/google/organic/task_post";

using testing::GridText;

class SearchTasksTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1,localhost", 1); }
  void SetUp() override {
    credentials_.service = kDataForSeo;
    credentials_.endpoint = server_.Endpoint();
    credentials_.dfs_login = "demo-login";
    credentials_.dfs_password = "demo-password";
    host_.SetCredentials(credentials_);
    // A wait passes no real time: it moves the service's clock, so its queue moves on.
    host_.PassTimeWith([this](int ms) { server_.PassAccountTime(milliseconds(ms)); });
    server_.SetTaskQueueDelay(milliseconds(30000));
  }

  std::string Keywords(const std::vector<std::string>& phrases, AnswerStore* store = nullptr,
                       int reuse_days = 0) {
    server_.ClearRequests();
    ResultGridModel grid(5, 2);
    worker_ = std::make_unique<MainForm::KeywordWorker>(phrases, host_, host_.Search(), grid,
                                                        MainForm::KeywordWorkerSink{}, 0);
    worker_->SetPauseBetweenKeywordsMs(0);
    if (store != nullptr) worker_->SetAnswerStore(store, reuse_days);
    worker_->Run();
    return GridText(grid);
  }
  // The task_post requests of the last run, their bodies parsed.
  std::vector<nlohmann::json> Posts() const {
    std::vector<nlohmann::json> posts;
    for (const auto& request : server_.Requests()) {
      if (request.target == kTaskPost) posts.push_back(nlohmann::json::parse(request.body));
    }
    return posts;
  }

  searchsim::SubstituteSearchServer server_;
  testing::ServerWorkerHost host_;
  Credentials credentials_;
  std::unique_ptr<MainForm::KeywordWorker> worker_;
};

TEST_F(SearchTasksTest, TasksArePostedInHundredsWithTheQueryTextTagsAndFields) {
  std::vector<std::string> phrases;
  for (int i = 0; i < 40; ++i) phrases.push_back("phrase number " + std::to_string(i));
  const std::string grid = Keywords(phrases);
  const std::vector<nlohmann::json> posts = Posts();
  ASSERT_THAT(posts, SizeIs(2));
  EXPECT_THAT(posts[0], SizeIs(100));
  EXPECT_THAT(posts[1], SizeIs(20));
  std::set<std::string> tags;
  for (const auto& post : posts) {
    for (const auto& task : post) {
      tags.insert(task["tag"].get<std::string>());
      EXPECT_EQ(task["location_code"], 2840);
      EXPECT_EQ(task["language_code"], "en");
      EXPECT_EQ(task["priority"], 1);
    }
  }
  EXPECT_THAT(tags, SizeIs(120));
  EXPECT_EQ(posts[0][0]["keyword"], "phrase number 0");
  EXPECT_EQ(posts[0][1]["keyword"], "allintitle: phrase number 0");
  EXPECT_EQ(posts[0][2]["keyword"], "allinurl: phrase number 0");
  EXPECT_EQ(worker_->QueriesSent(), 120);
  EXPECT_THAT(grid, HasSubstr("phrase number 39"));
  EXPECT_THAT(host_.Messages(), IsEmpty());
  // The run's cost as the answers reported it, and the balance after it.
  ASSERT_TRUE(worker_->Cost().dollars.has_value());
  EXPECT_NEAR(*worker_->Cost().dollars, 40 * 0.0066, 1e-9);
  ASSERT_TRUE(worker_->Cost().balance.has_value());
  EXPECT_NEAR(*worker_->Cost().balance, 50 - 40 * 0.0066, 1e-9);

  // The priority queue and the volume country go into every task.
  credentials_.dfs_priority = true;
  credentials_.volume_country = "de";
  host_.SetCredentials(credentials_);
  Keywords({"red shoes"});
  ASSERT_THAT(Posts(), SizeIs(1));
  EXPECT_EQ(Posts()[0][0]["priority"], 2);
  EXPECT_EQ(Posts()[0][0]["location_code"], 2276);
  EXPECT_EQ(Posts()[0][0]["language_code"], "de");
}

TEST_F(SearchTasksTest, TasksFinishingOutOfOrderFillTheGridInLineOrder) {
  // The first phrase's tasks finish a minute after the others.
  server_.SetTaskQueueDelay(milliseconds(90000), kPhrases[0]);
  const std::string grid = Keywords(kPhrases);
  const size_t first = grid.find("red shoes");
  const size_t last = grid.find("teal boots");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(last, std::string::npos);
  EXPECT_LT(first, last);
  for (const std::string& phrase : kPhrases) {
    EXPECT_THAT(grid, HasSubstr(std::to_string(searchsim::PhraseCount(phrase)))) << phrase;
    EXPECT_THAT(grid, HasSubstr(std::to_string(searchsim::UrlCount(phrase)))) << phrase;
  }
  EXPECT_THAT(host_.Statuses(), Contains("Waiting for DataForSEO: 0 of 18 tasks ready."));
  EXPECT_THAT(host_.Statuses(), Contains("Waiting for DataForSEO: 15 of 18 tasks ready."));
  EXPECT_EQ(host_.Statuses().back(), "");
}

TEST_F(SearchTasksTest, AFailedTaskAndOneNeverReadyTakeTheErrorPath) {
  server_.SetTaskQueueDelay(milliseconds(2 * 60 * 60 * 1000), "slow boots");
  testing::TempDir dir;
  AnswerStore store(dir.File("answers.sqlite"));
  host_.AnswerQuestions({kResultYes, kResultYes});
  const std::string grid = Keywords({"red shoes", "fail here", "slow boots", "blue hats"}, &store);
  ASSERT_THAT(host_.Questions(), SizeIs(2));
  EXPECT_THAT(host_.Questions()[0], HasSubstr("Abnormal request terminatiom. Internal Error."));
  EXPECT_THAT(host_.Questions()[1], HasSubstr("60 minutes"));
  EXPECT_THAT(grid, HasSubstr("blue hats"));
  // The task given up is still paid for: the next run may collect it.
  const Credentials settings = testing::RequestSettings(host_);
  EXPECT_TRUE(store.LookupTask(RequestKey(settings, QueryKind::Phrase, "slow boots"),
                               "demo-login", kTaskKeepDays));
  EXPECT_FALSE(store.LookupTask(RequestKey(settings, QueryKind::Phrase, "fail here"),
                                "demo-login", kTaskKeepDays));
}

TEST_F(SearchTasksTest, AStoppedRunsTasksAreCollectedByTheNextRunWithoutANewPost) {
  testing::TempDir dir;
  AnswerStore store(dir.File("answers.sqlite"));
  host_.OnStatus([&](const std::string& status) {
    if (status.find("Waiting for DataForSEO") != std::string::npos) worker_->RequestStop();
  });
  const std::string stopped = Keywords(kPhrases, &store, 1);
  host_.OnStatus(nullptr);
  EXPECT_THAT(stopped, Not(HasSubstr("red shoes")));
  EXPECT_THAT(Posts(), SizeIs(1));
  const RunPlan plan = PlanRun(RunShape::kKeywords, kPhrases, credentials_, "", &store, 1);
  EXPECT_EQ(plan.queries, 0);
  EXPECT_EQ(plan.queued, 18);

  const std::string collected = Keywords(kPhrases, &store, 1);
  EXPECT_THAT(Posts(), IsEmpty());
  EXPECT_THAT(collected, HasSubstr("teal boots"));
  EXPECT_EQ(worker_->QueriesSent(), 0);
  // Collected answers are stored like any other, and their tasks are no longer held.
  const Credentials settings = testing::RequestSettings(host_);
  const std::vector<AnswerKey> keys =
      RunAnswerKeys(settings, kPhrases, {QueryKind::Phrase, QueryKind::Title, QueryKind::URL});
  EXPECT_EQ(store.CountFresh(keys, 1), 18);
  EXPECT_FALSE(store.LookupTask(keys[0], "demo-login", kTaskKeepDays));
}

TEST_F(SearchTasksTest, TooLittleMoneyIsAskedBeforeStartAndNoBalanceEndsTheRunWithOneBox) {
  server_.SetDfsBalance(0.01);
  host_.AnswerQuestions({kResultYes});
  const std::string grid = Keywords(kPhrases);
  ASSERT_THAT(host_.Questions(), SizeIs(1));
  EXPECT_EQ(host_.Questions()[0],
            "This run costs about $0.04; your balance is $0.01.\r\n\r\nStart anyway?");
  EXPECT_THAT(host_.Messages(), ElementsAre("Abnormal request terminatiom. Payment Required."));
  EXPECT_TRUE(worker_->Cost().not_counted > 0);

  host_.AnswerQuestions({kResultNo});
  Keywords(kPhrases);
  EXPECT_THAT(Posts(), IsEmpty());
}

TEST_F(SearchTasksTest, ThePasswordGoesOnlyIntoTheAuthorizationHeader) {
  credentials_.dfs_password = "s3cret-Pa55";
  host_.SetCredentials(credentials_);
  searchsim::SubstituteSearchServerConfig config;
  config.dfs_password = "s3cret-Pa55";
  searchsim::SubstituteSearchServer server(config);
  credentials_.endpoint = server.Endpoint();
  host_.SetCredentials(credentials_);
  host_.PassTimeWith([&](int ms) { server.PassAccountTime(milliseconds(ms)); });
  testing::TempDir dir;
  const std::string path = dir.File("answers.sqlite");
  std::string grid;
  {
    AnswerStore store(path);
    host_.OnStatus([&](const std::string& status) {
      // Stopped with tasks queued, so the store holds task rows too.
      if (status.find("3 of 6") != std::string::npos) worker_->RequestStop();
    });
    server.SetTaskQueueDelay(milliseconds(60000), "blue hats");
    grid = Keywords({"red shoes", "blue hats"}, &store, 1);
  }
  EXPECT_THAT(grid, HasSubstr("red shoes"));
  const std::string basic = DfsAuthorization("demo-login", "s3cret-Pa55");
  std::string everything = grid;
  for (const auto& request : server.Requests()) {
    everything += request.target + request.body;
    for (const auto& [name, value] : request.headers) {
      if (name == "Authorization") {
        EXPECT_EQ("Authorization: " + value, basic);
      } else {
        everything += value;
      }
    }
  }
  for (const std::string& text : host_.Statuses()) everything += text;
  for (const std::string& text : host_.Messages()) everything += text;
  std::ifstream file(path, std::ios::binary);
  everything.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  EXPECT_EQ(everything.find("s3cret-Pa55"), std::string::npos);
  EXPECT_EQ(everything.find("demo-login"), std::string::npos);
}

TEST_F(SearchTasksTest, DeepAnalysisTakesItsTopTenFromThePhraseTaskAndAsksLinkTasks) {
  server_.ClearRequests();
  ResultGridModel grid(4, 2);
  DeepAnalysisForm::DeepAnalysisWorker worker({"red shoes"}, host_, host_.Search(), grid,
                                              DeepAnalysisForm::DeepAnalysisWorkerSink{}, true);
  worker.SetPauseBetweenPhrasesMs(0);
  worker.Run();
  const std::vector<nlohmann::json> posts = Posts();
  ASSERT_THAT(posts, SizeIs(2));
  EXPECT_EQ(posts[0][0]["keyword"], "red shoes");
  const std::vector<searchsim::SearchItem> items =
      searchsim::ItemsFor("red shoes", searchsim::PhraseCount("red shoes"));
  ASSERT_THAT(posts[1], SizeIs(items.size()));
  EXPECT_EQ(posts[1][0]["keyword"], "link: " + items[0].link);
  const std::string text = GridText(grid);
  EXPECT_THAT(text, HasSubstr(items[0].title));
  EXPECT_THAT(text, HasSubstr("Averages"));
  EXPECT_THAT(host_.Messages(), IsEmpty());
}

TEST(TaskCost, ThePriceTableAndTheTextsOfARunsCost) {
  Credentials credentials;
  credentials.service = kDataForSeo;
  std::vector<std::string> phrases;
  for (int i = 0; i < 12; ++i) phrases.push_back("phrase " + std::to_string(i));
  RunPlan plan = PlanRun(RunShape::kKeywords, phrases, credentials, "", nullptr, 0);
  EXPECT_EQ(plan.queries, 36);
  ASSERT_TRUE(plan.dollars.has_value());
  EXPECT_NEAR(*plan.dollars, 0.0792, 1e-9);
  EXPECT_EQ(PlannedTasksText(12, plan.queries, plan.stored, plan.queued, false, *plan.dollars),
            "12 phrases: 36 tasks, about $0.08");
  credentials.dfs_priority = true;
  plan = PlanRun(RunShape::kKeywords, phrases, credentials, "", nullptr, 0);
  EXPECT_NEAR(*plan.dollars, 2 * 0.0792, 1e-9);
  // Deep Analysis: a phrase task and up to ten link: tasks a phrase, at the operator's price.
  credentials.dfs_priority = false;
  plan = PlanRun(RunShape::kDeepAnalysis, {"one"}, credentials, "", nullptr, 0);
  EXPECT_EQ(plan.queries, 11);
  EXPECT_NEAR(*plan.dollars, 0.0006 + 10 * 0.003, 1e-9);
  EXPECT_EQ(DollarText(0.0012), "$0.0012");
  RunCost cost;
  cost.queries_sent = 36;
  cost.dollars = 0.0792;
  cost.balance = 49.9208;
  EXPECT_THAT(RunCostText(cost), HasSubstr(" Cost: $0.0792. Balance: $49.92."));
  // Another service keeps its lines in queries.
  credentials.service = kSerpApi;
  EXPECT_FALSE(PlanRun(RunShape::kKeywords, phrases, credentials, "", nullptr, 0).dollars);
}

}  // namespace
}  // namespace kelvaro

#endif  // KELVARO_HAVE_SEARCHSIM
