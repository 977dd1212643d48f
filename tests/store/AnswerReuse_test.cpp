#include "search/AnswerReuse.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "deep/DeepAnalysisWorker.h"
#include "grid/ResultGridModel.h"
#include "tests/support/FakeWorkerHost.h"
#include "tests/support/TempDir.h"
#include "search/RunLimits.h"
#include "web/SearchService.h"
#include "ui/RunTexts.h"

namespace kelvaro {
namespace {

// The line before Start counts what the store holds now: for Deep Analysis a stored phrase
// answer also tells which of its results' backlinks are stored.
TEST(AnswerReuseTest, StartCostCountsOnlyWhatWillBeSent) {
  testing::TempDir dir;
  AnswerStore store(dir.File("answers.sqlite"));
  const Credentials settings{"key", "", kSerpApi, ""};
  for (const QueryKind kind : {QueryKind::Phrase, QueryKind::Title, QueryKind::URL}) {
    store.Record({kSerpApi, "", kind, "red"}, "12",
                 std::vector<SearchResult>{{"A", "https://a.test/"}, {"B", "https://b.test/"}});
  }
  store.Record({kSerpApi, "", QueryKind::Backlinks, "https://a.test/"}, "7");
  const std::vector<std::string> phrases = {"red", "blue"};

  const StartCost keyword = KeywordRunStartCost(&store, 30, settings, phrases);
  EXPECT_EQ(keyword.queries, 3);
  EXPECT_EQ(keyword.stored, 3);
  const StartCost deep = DeepAnalysisStartCost(&store, 30, settings, phrases, 10);
  EXPECT_EQ(deep.queries, 1 + 11);  // red's second backlink, and all of blue
  EXPECT_EQ(deep.stored, 2);

  const StartCost off = DeepAnalysisStartCost(&store, 0, settings, phrases, 10);
  EXPECT_EQ(off.queries, 22);
  EXPECT_EQ(off.stored, 0);
  EXPECT_EQ(KeywordRunStartCost(nullptr, 30, settings, phrases).queries, 6);

  // A text asked again is answered from the store: red's link "a" is stored, "b" is asked
  // once, and blue's first answer stands in for its second.
  const std::vector<std::string> repeated = {"red", "blue", "blue", "red"};
  const StartCost keyword_repeated = KeywordRunStartCost(&store, 30, settings, repeated);
  EXPECT_EQ(keyword_repeated.queries, 3);
  EXPECT_EQ(keyword_repeated.stored, 3 + 3 + 3);
  const StartCost deep_repeated = DeepAnalysisStartCost(&store, 30, settings, repeated, 10);
  EXPECT_EQ(deep_repeated.queries, 1 + 11);
  EXPECT_EQ(deep_repeated.stored, (1 + 1) + 1 + (1 + 2));
  // Without reuse every one is sent.
  EXPECT_EQ(KeywordRunStartCost(&store, 0, settings, repeated).queries, 12);
}

// Deep Analysis starts by the rule of the line beside Start: with every phrase and backlink
// answer stored it sends nothing, even with no searches left; one backlink missing and the
// account's "none left" refuses it.
TEST(AnswerReuseTest, DeepAnalysisWithEverythingStoredStartsWithNoSearchesLeft) {
  testing::TempDir dir;
  AnswerStore store(dir.File("answers.sqlite"));
  testing::FakeWorkerHost host;
  host.SetCredentials({"key", "", kSerpApi, ""});
  const Credentials settings = RequestSettings(host);
  const std::string account = SearchServiceNamed(kSerpApi).AccountURL(settings);
  host.AnswerUrl(account, R"({"total_searches_left": 0})");
  ASSERT_TRUE(
      store.Record(RequestKey(settings, QueryKind::Phrase, "red"), "12",
                   std::vector<SearchResult>{{"A", "https://a.test/"}, {"B", "https://b.test/"}}));
  ASSERT_TRUE(store.Record(RequestKey(settings, QueryKind::Backlinks, "https://a.test/"), "7"));
  const auto run = [&](const std::vector<std::string>& phrases) {
    ResultGridModel grid(4, 2);
    DeepAnalysisForm::DeepAnalysisWorker worker(phrases, host, host.Search(), grid, {});
    worker.SetAnswerStore(&store, 30);
    worker.Run();
    return worker.StoredUsed();
  };
  EXPECT_EQ(run({"red"}), 0);
  EXPECT_EQ(host.Downloads(), std::vector<std::string>{account});
  EXPECT_EQ(host.Messages(), std::vector<std::string>{LimitTexts::NoneLeft()});

  ASSERT_TRUE(store.Record(RequestKey(settings, QueryKind::Backlinks, "https://b.test/"), "9"));
  EXPECT_EQ(run({"red", "red"}), 6);
  EXPECT_EQ(host.Downloads().size(), 1u);  // nothing more
  EXPECT_EQ(host.Messages().size(), 1u);
}

}  // namespace
}  // namespace kelvaro
