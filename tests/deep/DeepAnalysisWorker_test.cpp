#include "deep/DeepAnalysisWorker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grid/ResultGridModel.h"
#include "tests/support/FakeWorkerHost.h"
#include "web/CustomSearch.h"
#include "web/ServiceQuery.h"

namespace kelvaro::DeepAnalysisForm {
namespace {

using ::testing::ElementsAre;
using testing::ErrorAnswer;
using testing::FakeResult;
using testing::FakeWorkerHost;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::SearchAnswer;
using ::testing::SizeIs;

std::vector<FakeResult> Results(int n, const std::string& site = "shop") {
  std::vector<FakeResult> results;
  for (int i = 1; i <= n; ++i) {
    results.push_back({"Red Shoes " + std::to_string(i) + " | " + site,
                       "https://www." + site + ".example/shoes/" + std::to_string(i)});
  }
  return results;
}

class DeepAnalysisWorkerTest : public ::testing::Test {
 protected:
  std::string Url(QueryKind kind, const std::string& text) {
    const Credentials c = host_.CurrentCredentials();
    return BuildQueryURL(kind, text, c.api_key, c.engine_code, host_.Endpoint());
  }
  // The phrase answer with `results`, and each result's backlink count.
  void Answer(const std::string& phrase, const std::string& total,
              const std::vector<FakeResult>& results, const std::vector<std::string>& backlinks) {
    host_.AnswerUrl(Url(QueryKind::Phrase, phrase), SearchAnswer(total, results));
    for (size_t i = 0; i < results.size() && i < backlinks.size(); ++i) {
      host_.AnswerUrl(Url(QueryKind::Backlinks, results[i].link), SearchAnswer(backlinks[i]));
    }
  }
  DeepAnalysisWorker& MakeWorker(std::vector<std::string> keywords, bool autofit = true) {
    DeepAnalysisWorkerSink sink;
    sink.ShowProgress = [this](int p) { progress_.push_back(p); };
    sink.AutoFitColumns = [this] {
      ++autofits_;
      grow_only_seen_ = grid_.AutoSizeGrowOnly();
    };
    worker_ =
        std::make_unique<DeepAnalysisWorker>(std::move(keywords), host_, host_.Search(), grid_,
                                             sink, autofit);
    return *worker_;
  }
  void Run(std::vector<std::string> keywords) { MakeWorker(std::move(keywords)).Run(); }
  std::vector<std::string> Row(int row) {
    std::vector<std::string> cells;
    for (int col = 0; col < 4; ++col) cells.push_back(grid_.Cells(col, row));
    return cells;
  }

  FakeWorkerHost host_;
  ResultGridModel grid_{4, 2};  // a freshly reset grid: header and one empty row
  std::vector<int> progress_;
  int autofits_ = 0;
  bool grow_only_seen_ = false;
  std::unique_ptr<DeepAnalysisWorker> worker_;
};

TEST_F(DeepAnalysisWorkerTest, TenResultsGivePhraseResultAveragesAndSpacerRows) {
  const auto results = Results(10);
  // Nine of 123456 and one of 123461: a mean of 123456.5, which rounds to even.
  std::vector<std::string> counts(9, "123456");
  counts.push_back("123461");
  Answer("red shoes", "1230000", results, counts);
  Run({"red shoes"});

  ASSERT_EQ(grid_.RowCount(), 15);
  EXPECT_THAT(Row(1), ElementsAre("", "", "", ""));
  EXPECT_THAT(Row(2), ElementsAre("", "<b>red shoes</b>", "<b>1230000</b>", ""));
  for (int n = 1; n <= 10; ++n) {
    EXPECT_THAT(Row(n + 2), ElementsAre(std::to_string(n), results[n - 1].title,
                                        results[n - 1].link, counts[n - 1]));
  }
  EXPECT_THAT(Row(13), ElementsAre("", "", "<b>Averages:</b>", "<b>123,456</b>"));
  EXPECT_THAT(Row(14), ElementsAre("", "", "", ""));

  // 10 after the first pass, then 20 + round((r - 1) / 14 * 80) for the rows 3 to 12.
  EXPECT_THAT(progress_, ElementsAre(10, 31, 37, 43, 49, 54, 60, 66, 71, 77, 83));
  // One request per result URL, back to back, right after the only phrase.
  ASSERT_THAT(host_.Downloads(), SizeIs(11));
  EXPECT_EQ(host_.Downloads()[1], Url(QueryKind::Backlinks, results[0].link));
  EXPECT_THAT(host_.Pauses(), IsEmpty());
  EXPECT_THAT(host_.Messages(), IsEmpty());
  // Every added row asks the window to fit the columns, with grow-only already set.
  EXPECT_EQ(autofits_, 13);
  EXPECT_TRUE(grow_only_seen_);
}

// Rows of the first pass, backlink counts and averages of the second reach the grid only
// inside steps, which the window runs on the GUI thread.
TEST(DeepAnalysisSignals, AverageRankLeavesMissingRanksOut) {
  EXPECT_EQ(FormatAverageRank({2.0, std::nullopt, 3.5}), "<b>2.75</b>");
  EXPECT_EQ(FormatAverageRank({std::nullopt, 4.0}), "<b>4.00</b>");
  EXPECT_EQ(FormatAverageRank({std::nullopt, std::nullopt}), "");
  EXPECT_EQ(FormatAverageRank({}), "");
}

// Unticked, the box leaves the backlinks out: one query a phrase, no link: query, and the
// Backlinks cells and their average empty; without a rank key no Domain Rank column.
TEST_F(DeepAnalysisWorkerTest, WithoutBacklinksOnlyThePhraseQueriesAreSent) {
  const auto results = Results(3);
  Answer("red shoes", "120", results, {"10", "20", "30"});
  MakeWorker({"red shoes"}).SetAskBacklinks(false);
  worker_->Run();
  EXPECT_THAT(host_.Downloads(), ElementsAre(Url(QueryKind::Phrase, "red shoes")));
  EXPECT_EQ(worker_->QueriesSent(), 1);
  EXPECT_THAT(Row(3), ElementsAre("1", results[0].title, results[0].link, ""));
  EXPECT_THAT(Row(6), ElementsAre("", "", "<b>Averages:</b>", ""));
  ASSERT_EQ(grid_.ColCount(), 5);
  EXPECT_EQ(grid_.Cells(4, 0), "Forums");
  EXPECT_EQ(grid_.Cells(4, 6), "<b>0</b>");
  EXPECT_FALSE(TopResultsCellColor(grid_, 4, 6));
  EXPECT_THAT(host_.SentHeaders(), IsEmpty());
}

TEST_F(DeepAnalysisWorkerTest, TheGridChangesOnlyInsideSteps) {
  Answer("red shoes", "120", Results(2), {"10", "30"});
  testing::GridWritesWatch watch(host_, grid_);
  Run({"red shoes"});
  ASSERT_EQ(grid_.Cells(3, 5), "<b>20</b>");
  EXPECT_GT(watch.Inside(), 0);
  EXPECT_EQ(watch.Outside(), 0);
}

TEST_F(DeepAnalysisWorkerTest, AnAnswerWithoutItemsGivesOnlyThePhraseRow) {
  host_.AnswerUrl(Url(QueryKind::Phrase, "zzqx"), SearchAnswer("0", {}, /*with_items=*/false));
  Run({"zzqx"});

  EXPECT_EQ(grid_.RowCount(), 3);
  EXPECT_THAT(Row(2), ElementsAre("", "<b>zzqx</b>", "<b>0</b>", ""));
  EXPECT_THAT(host_.Messages(), ElementsAre("Empty request result"));
  EXPECT_THAT(host_.Downloads(), SizeIs(1));
  EXPECT_THAT(progress_, IsEmpty());
  EXPECT_THAT(host_.Pauses(), IsEmpty());
}

TEST_F(DeepAnalysisWorkerTest, TitlesAreTextNeverMarkupAndLoseZeroBytes) {
  std::string body =
      SearchAnswer("2", {{"@1@", "https://a.example/"}, {"@2@", "https://b.example/"}});
  body.replace(body.find("@1@"), 3,
               R"(\u003ca href=\"https://x.example/\"\u003eFree\u003c/a\u003e &amp;)");
  body.replace(body.find("@2@"), 3, R"(Zero\u0000Byte)");
  host_.AnswerUrl(Url(QueryKind::Phrase, "shoes"), body);
  Run({"shoes"});

  // Shown through the grid's markup, the first reads "<a href="https://x.example/">Free</a> &amp;".
  EXPECT_EQ(grid_.Cells(1, 3),
            "<b></b>&lt;a href=\"https://x.example/\"&gt;Free&lt;/a&gt; &amp;amp;");
  EXPECT_EQ(grid_.Cells(1, 4), "ZeroByte");
}

TEST_F(DeepAnalysisWorkerTest, FourResultsGiveFourRowsAndFourBacklinkQueries) {
  // A second phrase with a longer list first: nothing of it may leak into the short one.
  const auto first = Results(6, "first");
  const auto results = Results(4);
  Answer("blue", "99", first, {"1", "1", "1", "1", "1", "1"});
  Answer("red shoes", "1230", results, {"10", "20", "30", "40"});
  Run({"blue", "red shoes"});

  // blue: rows 2-10; red shoes: phrase 11, results 12-15, averages 16, spacer 17.
  ASSERT_EQ(grid_.RowCount(), 18);
  for (int n = 1; n <= 4; ++n) {
    EXPECT_THAT(Row(11 + n), ElementsAre(std::to_string(n), results[n - 1].title,
                                         results[n - 1].link, std::to_string(10 * n)));
  }
  EXPECT_THAT(Row(16), ElementsAre("", "", "<b>Averages:</b>", "<b>25</b>"));
  EXPECT_THAT(Row(17), ElementsAre("", "", "", ""));
  const auto urls = host_.Downloads();
  ASSERT_THAT(urls, SizeIs(2 + 6 + 4));
  EXPECT_EQ(urls[8], Url(QueryKind::Backlinks, results[0].link));
  EXPECT_EQ(urls[11], Url(QueryKind::Backlinks, results[3].link));
  EXPECT_THAT(host_.Pauses(), ElementsAre(500));  // between the two phrases only
  EXPECT_EQ(progress_[0], 7);                     // round(1/3 * 20)
  EXPECT_EQ(progress_[1], 13);
}

TEST_F(DeepAnalysisWorkerTest, AveragesAreRoundedToEvenGroupedAndEmptyForZero) {
  Answer("zero", "5", Results(3, "zero"), {"0", "0", "0"});
  // 1234.5 rounds to 1234.
  Answer("half", "5", Results(2, "half"), {"1234", "1235"});
  // Ten counts at the 32-bit limit: the sum needs 64 bits, the mean does not.
  Answer("big", "5", Results(10, "big"), std::vector<std::string>(10, "2147483647"));
  Run({"zero", "half", "big"});

  // zero: rows 2-7, half: rows 8-12, big: rows 13-25.
  EXPECT_THAT(Row(6), ElementsAre("", "", "<b>Averages:</b>", "<b></b>"));
  EXPECT_THAT(Row(11), ElementsAre("", "", "<b>Averages:</b>", "<b>1,234</b>"));
  EXPECT_THAT(Row(24), ElementsAre("", "", "<b>Averages:</b>", "<b>2,147,483,647</b>"));

  EXPECT_EQ(FormatAverage(2471, 2), "<b>1,236</b>");  // 1235.5 rounds up to even
  EXPECT_EQ(FormatAverage(999, 1), "<b>999</b>");
  EXPECT_EQ(FormatAverage(1000000, 1), "<b>1,000,000</b>");
  EXPECT_EQ(FormatAverage(1, 2), "<b></b>");  // 0.5 rounds to 0
}

TEST_F(DeepAnalysisWorkerTest, AFailedBacklinkRequestAnsweredYesLeavesTheCellEmptyAndUncounted) {
  const auto results = Results(3);
  Answer("red shoes", "1230", results, {"10", "", "30"});
  host_.AnswerUrl(Url(QueryKind::Backlinks, results[1].link),
                  ErrorAnswer(403, "Requests from this referer are blocked."));
  host_.AnswerQuestions({kResultYes});
  Run({"red shoes"});

  EXPECT_THAT(host_.Questions(),
              ElementsAre("Abnormal request terminatiom. Requests from this referer are blocked."
                          "\r\n\r\nDo you wish to continue request?"));
  EXPECT_EQ(grid_.Cells(3, 3), "10");
  EXPECT_EQ(grid_.Cells(3, 4), "");
  EXPECT_EQ(grid_.Cells(3, 5), "30");
  EXPECT_EQ(grid_.Cells(3, 6), "<b>20</b>");  // (10 + 30) / 2, the failed row not counted
  // No progress for the failed row.  S = 2, E = 8: rows 3 and 5.
  EXPECT_THAT(progress_, ElementsAre(10, 43, 66));
}

TEST_F(DeepAnalysisWorkerTest, AFailedBacklinkRequestAnsweredNoEndsTheRun) {
  const auto results = Results(3);
  Answer("red shoes", "1230", results, {"10", "", "30"});
  host_.AnswerQuestions({kResultNo});
  Run({"red shoes"});

  EXPECT_THAT(host_.Downloads(), SizeIs(3));
  EXPECT_EQ(grid_.Cells(3, 5), "");
  EXPECT_EQ(grid_.Cells(3, 6), "");
}

TEST_F(DeepAnalysisWorkerTest, FailedPhraseRequests) {
  // Not the last phrase: Yes goes on at once; the last phrase: a plain box, and the run
  // ends without a second pass.
  host_.AnswerUrl(Url(QueryKind::Phrase, "a"), ErrorAnswer(429, "Quota exceeded."));
  Answer("b", "7", Results(1), {"5"});
  host_.AnswerQuestions({kResultYes});
  Run({"a", "b", "c"});

  EXPECT_THAT(host_.Questions(), ElementsAre("Abnormal request terminatiom. Quota exceeded."
                                             "\r\n\r\nDo you wish to continue request?"));
  EXPECT_THAT(host_.Messages(), ElementsAre("Abnormal request terminatiom. "));
  EXPECT_THAT(host_.Downloads(), SizeIs(3));
  EXPECT_EQ(grid_.RowCount(), 6);  // b: phrase, one result, averages, spacer
  EXPECT_EQ(grid_.Cells(3, 3), "");
  EXPECT_THAT(host_.Pauses(), ElementsAre(500));
}

TEST_F(DeepAnalysisWorkerTest, StopDuringTheFirstPassSkipsTheSecond) {
  Answer("a", "7", Results(2, "a"), {"5", "6"});
  Answer("b", "8", Results(2, "b"), {"5", "6"});
  DeepAnalysisWorker& worker = MakeWorker({"a", "b"});
  host_.OnDownload([&](const std::string&) { worker.RequestStop(); });
  worker.Run();

  // The phrase under way is completed, then nothing more is asked.
  EXPECT_THAT(host_.Downloads(), SizeIs(1));
  EXPECT_EQ(grid_.RowCount(), 7);
  EXPECT_EQ(grid_.Cells(3, 3), "");
  EXPECT_THAT(progress_, ElementsAre(7));
  EXPECT_THAT(host_.Pauses(), IsEmpty());
}

TEST_F(DeepAnalysisWorkerTest, StopDuringTheSecondPassEndsAfterTheCountedRow) {
  const auto results = Results(3);
  Answer("a", "7", results, {"5", "6", "7"});
  DeepAnalysisWorker& worker = MakeWorker({"a"});
  host_.OnDownload([&](const std::string& url) {
    if (url == Url(QueryKind::Backlinks, results[0].link)) worker.RequestStop();
  });
  worker.Run();

  EXPECT_THAT(host_.Downloads(), SizeIs(2));
  EXPECT_EQ(grid_.Cells(3, 3), "5");
  EXPECT_EQ(grid_.Cells(3, 6), "");  // no average
}

TEST_F(DeepAnalysisWorkerTest, ChangedCredentialsApplyToTheNextRequestAndAutofitCanBeOff) {
  host_.AnswerNext(SearchAnswer("7", Results(1)));
  host_.AnswerNext(SearchAnswer("5"));
  host_.OnDownload([this](const std::string&) {
    if (host_.Downloads().size() == 1) host_.SetCredentials({"second-key", "second-cx"});
  });
  MakeWorker({"a"}, /*autofit=*/false).Run();

  const auto urls = host_.Downloads();
  ASSERT_THAT(urls, SizeIs(2));
  EXPECT_THAT(urls[0], HasSubstr("key=test-key"));
  EXPECT_THAT(urls[1], HasSubstr("key=second-key"));
  EXPECT_THAT(urls[1], HasSubstr("cx=second-cx&"));
  EXPECT_EQ(grid_.Cells(3, 3), "5");
  EXPECT_EQ(autofits_, 0);
  EXPECT_FALSE(grid_.AutoSizeGrowOnly());
}

// With SerpApi both passes read SerpApi's answers; the run counts its queries and asks the
// account once at the end.
TEST_F(DeepAnalysisWorkerTest, SerpApiRunReadsOrganicResultsAndAsksTheSearchesLeft) {
  const Credentials serp{"serp-key", "", kSerpApi, host_.Endpoint()};
  host_.SetCredentials(Credentials{"serp-key", "", kSerpApi, ""});
  const SearchService& service = SearchServiceNamed(kSerpApi);
  host_.AnswerUrl(service.QueryURL(QueryKind::Phrase, "red shoes", serp),
                  R"({"search_information": {"total_results": 120}, "organic_results": [
                      {"position": 1, "title": "One", "link": "https://one.example/"},
                      {"position": 2, "title": "Two", "link": "https://two.example/"}]})");
  host_.AnswerUrl(service.QueryURL(QueryKind::Backlinks, "https://one.example/", serp),
                  R"({"search_information": {"total_results": 10}})");
  host_.AnswerUrl(service.QueryURL(QueryKind::Backlinks, "https://two.example/", serp),
                  R"({"search_information": {"total_results": 30}})");
  // Enough for the run's upper bound (11): no question before Start.
  host_.AnswerUrl(service.AccountURL(serp), R"({"total_searches_left": 11})");
  DeepAnalysisWorker& worker = MakeWorker({"red shoes"});
  worker.Run();

  EXPECT_THAT(Row(2), ElementsAre("", "<b>red shoes</b>", "<b>120</b>", ""));
  EXPECT_THAT(Row(3), ElementsAre("1", "One", "https://one.example/", "10"));
  EXPECT_THAT(Row(4), ElementsAre("2", "Two", "https://two.example/", "30"));
  EXPECT_THAT(Row(5), ElementsAre("", "", "<b>Averages:</b>", "<b>20</b>"));
  EXPECT_EQ(worker.QueriesSent(), 3);
  EXPECT_EQ(worker.SearchesLeft(), 11);
  EXPECT_THAT(host_.Messages(), IsEmpty());
}

// Searches that run out end the run with one box (no question per phrase), and the phrases
// left without their total are counted for the status line.
TEST_F(DeepAnalysisWorkerTest, RunningOutEndsTheRunWithOneBox) {
  const Credentials serp{"serp-key", "", kSerpApi, host_.Endpoint()};
  host_.SetCredentials(Credentials{"serp-key", "", kSerpApi, ""});
  const SearchService& service = SearchServiceNamed(kSerpApi);
  const std::string account = service.AccountURL(serp);
  host_.AnswerUrl(account, R"({"total_searches_left": 22})");
  host_.AnswerUrl(service.QueryURL(QueryKind::Phrase, "red shoes", serp),
                  R"({"error": "Your account has run out of searches."})");
  host_.OnDownload([&](const std::string& url) {
    if (url != account) host_.AnswerUrl(account, R"({"total_searches_left": 0})");
  });
  DeepAnalysisWorker& worker = MakeWorker({"red shoes", "blue hats"});
  worker.Run();

  EXPECT_THAT(host_.Messages(), ElementsAre("Your account has run out of searches."));
  EXPECT_THAT(host_.Questions(), IsEmpty());
  EXPECT_EQ(worker.NotCounted(), 2);
  EXPECT_EQ(worker.Phrases(), 2);
  EXPECT_EQ(worker.QueriesSent(), 1);
}

// Running out in the backlink pass: the phrase whose results lack a backlink count is not
// counted, the one done before it is.
TEST_F(DeepAnalysisWorkerTest, RunningOutAmongTheBacklinksCountsThatPhraseAsNotCounted) {
  const Credentials serp{"serp-key", "", kSerpApi, host_.Endpoint()};
  host_.SetCredentials(Credentials{"serp-key", "", kSerpApi, ""});
  const SearchService& service = SearchServiceNamed(kSerpApi);
  const std::string account = service.AccountURL(serp);
  host_.AnswerUrl(account, R"({"total_searches_left": 22})");
  const auto listing = [](const std::string& link) {
    return R"({"search_information": {"total_results": 120}, "organic_results": [)"
           R"({"position": 1, "title": "One", "link": ")" + link + R"("}]})";
  };
  host_.AnswerUrl(service.QueryURL(QueryKind::Phrase, "red shoes", serp),
                  listing("https://one.example/"));
  host_.AnswerUrl(service.QueryURL(QueryKind::Phrase, "blue hats", serp),
                  listing("https://two.example/"));
  host_.AnswerUrl(service.QueryURL(QueryKind::Backlinks, "https://one.example/", serp),
                  R"({"search_information": {"total_results": 10}})");
  const std::string last = service.QueryURL(QueryKind::Backlinks, "https://two.example/", serp);
  host_.AnswerUrl(last, R"({"error": "Your account has run out of searches."})");
  host_.OnDownload([&](const std::string& url) {
    if (url == last) host_.AnswerUrl(account, R"({"total_searches_left": 0})");
  });
  DeepAnalysisWorker& worker = MakeWorker({"red shoes", "blue hats"});
  worker.Run();

  EXPECT_THAT(host_.Messages(), ElementsAre("Your account has run out of searches."));
  EXPECT_EQ(worker.NotCounted(), 1);
}

}  // namespace
}  // namespace kelvaro::DeepAnalysisForm
