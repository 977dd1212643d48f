#include "main/KeywordWorker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "grid/ResultGridModel.h"
#include "tests/support/FakeWorkerHost.h"
#include "web/CustomSearch.h"
#include "web/ServiceQuery.h"

namespace kelvaro::MainForm {
namespace {

using ::testing::ElementsAre;
using testing::ErrorAnswer;
using testing::FakeWorkerHost;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::SearchAnswer;
using Kind = FakeWorkerHost::Event::Kind;

const char* const kQuotaMessage = "Quota exceeded for quota metric 'Queries' per day.";

class KeywordWorkerTest : public ::testing::Test {
 protected:
  std::string Url(QueryKind kind, const std::string& keyword) {
    const Credentials c = host_.CurrentCredentials();
    return BuildQueryURL(kind, keyword, c.api_key, c.engine_code, host_.Endpoint());
  }
  // A count cell: the query that was asked, up to its key.
  static std::string Link(const std::string& url, const std::string& count) {
    const size_t key = std::min(url.find("&key="), url.find("&api_key="));
    return "<a href=\"" + url.substr(0, key) + "\">" + count + "</a>";
  }
  // Answers the three queries of `keyword` with the three counts.
  void Answer(const std::string& keyword, const std::string& phrase, const std::string& title,
              const std::string& url) {
    host_.AnswerUrl(Url(QueryKind::Phrase, keyword), SearchAnswer(phrase));
    host_.AnswerUrl(Url(QueryKind::Title, keyword), SearchAnswer(title));
    host_.AnswerUrl(Url(QueryKind::URL, keyword), SearchAnswer(url));
  }
  KeywordWorker& MakeWorker(std::vector<std::string> keywords, int delay_ms = 0) {
    KeywordWorkerSink sink;
    sink.ShowProgress = [this](int p) { progress_.push_back(p); };
    worker_ = std::make_unique<KeywordWorker>(std::move(keywords), host_, host_.Search(), grid_,
                                              sink, delay_ms);
    return *worker_;
  }
  void Run(std::vector<std::string> keywords, int delay_ms = 0) {
    MakeWorker(std::move(keywords), delay_ms).Run();
  }
  std::vector<std::string> Row(int row) {
    std::vector<std::string> cells;
    for (int col = 0; col < 5; ++col) cells.push_back(grid_.Cells(col, row));
    return cells;
  }
  // Downloads and pauses in the order they happened: "GET" or the pause in ms.
  std::vector<std::string> Timeline() {
    std::vector<std::string> line;
    for (const auto& e : host_.Events()) {
      if (e.kind == Kind::kDownload) line.push_back("GET");
      if (e.kind == Kind::kPause) line.push_back(std::to_string(e.ms));
      if (e.kind == Kind::kQuestion) line.push_back("ASK");
      if (e.kind == Kind::kMessage) line.push_back("BOX");
    }
    return line;
  }

  FakeWorkerHost host_;
  ResultGridModel grid_{5, 2};
  std::vector<int> progress_;
  std::unique_ptr<KeywordWorker> worker_;
};

TEST_F(KeywordWorkerTest, OneKeywordFillsTheEmptyRowWithThreeCountLinks) {
  Answer("red shoes", "612345", "9999", "0");
  Run({"red shoes"});

  EXPECT_THAT(progress_, ElementsAre(33, 67, 100));
  ASSERT_EQ(grid_.RowCount(), 2);
  EXPECT_THAT(Row(1),
              ElementsAre("", "red shoes", Link(Url(QueryKind::Phrase, "red shoes"), "612345"),
                          Link(Url(QueryKind::Title, "red shoes"), "9999"),
                          Link(Url(QueryKind::URL, "red shoes"), "0")));
  // The key stays in the settings: a cell (and so a project file) never holds it.
  EXPECT_EQ(grid_.Cells(2, 1),
            "<a href=\"https://customsearch.test/customsearch/v1?q=red+shoes&cx=test-engine&hl=EN"
            "&lr=lang_en\">612345</a>");
  // Ticked, with the state in the box, not in the (empty) text.
  ASSERT_NE(grid_.CheckBox(0, 1), nullptr);
  EXPECT_FALSE(grid_.CheckBox(0, 1)->StateInText);
  EXPECT_TRUE(grid_.IsChecked(0, 1));
  EXPECT_THAT(host_.Messages(), IsEmpty());
  EXPECT_THAT(host_.Questions(), IsEmpty());
  EXPECT_THAT(host_.Downloads(),
              ElementsAre(Url(QueryKind::Phrase, "red shoes"), Url(QueryKind::Title, "red shoes"),
                          Url(QueryKind::URL, "red shoes")));
  // An engine code holding the key's placeholder receives the key on the wire, never in
  // the cell.
  host_.SetCredentials({"test-key", "cx_KEY_"});
  Answer("blue hats", "1", "2", "3");
  Run({"blue hats"});
  ASSERT_NE(Url(QueryKind::Phrase, "blue hats").find("cxtest-key"), std::string::npos);
  EXPECT_EQ(grid_.Cells(2, 2).find("test-key"), std::string::npos) << grid_.Cells(2, 2);
  EXPECT_EQ(grid_.Cells(2, 2), "<a href=\"https://customsearch.test/customsearch/v1?q=blue+hats"
                               "&cx=cx&hl=EN&lr=lang_en\">1</a>");
}

// The worker runs on its own thread: the reused row, the appended row and every count
// reach the grid only inside steps, which the window runs on the GUI thread.
TEST_F(KeywordWorkerTest, TheGridChangesOnlyInsideSteps) {
  Answer("a", "1", "2", "3");
  Answer("b", "4", "5", "6");
  testing::GridWritesWatch watch(host_, grid_);
  Run({"a", "b"});
  ASSERT_EQ(grid_.RowCount(), 3);
  EXPECT_GT(watch.Inside(), 0);
  EXPECT_EQ(watch.Outside(), 0);
}

TEST_F(KeywordWorkerTest, PausesFollowTheDelayAndHalfASecondBetweenKeywords) {
  Answer("a", "1", "2", "3");
  Answer("b", "4", "5", "6");
  Run({"a", "b"}, 2000);
  // The delay after each query except the very last, half a second between keywords.
  EXPECT_THAT(Timeline(), ElementsAre("GET", "2000", "GET", "2000", "GET", "2000", "500",  //
                                      "GET", "2000", "GET", "2000", "GET"));
  EXPECT_THAT(progress_, ElementsAre(17, 33, 50, 67, 83, 100));
  EXPECT_EQ(grid_.RowCount(), 3);
  EXPECT_EQ(grid_.Cells(1, 2), "b");
  EXPECT_TRUE(grid_.IsChecked(0, 2));

  FakeWorkerHost quick;
  progress_.clear();
  KeywordWorker worker({"a"}, quick, quick.Search(), grid_, {}, 0);
  quick.AnswerNext(SearchAnswer("1"));
  quick.AnswerNext(SearchAnswer("2"));
  quick.AnswerNext(SearchAnswer("3"));
  worker.Run();
  EXPECT_THAT(quick.Pauses(), ElementsAre(0, 0));
}

TEST_F(KeywordWorkerTest, FailedFirstQueryAnsweredYesGoesStraightToTheNextKeyword) {
  host_.AnswerUrl(Url(QueryKind::Phrase, "a"), ErrorAnswer(429, kQuotaMessage));
  Answer("b", "4", "5", "6");
  host_.AnswerQuestions({kResultYes});
  Run({"a", "b"}, 1000);

  EXPECT_THAT(host_.Questions(),
              ElementsAre(std::string("Abnormal request terminatiom. ") + kQuotaMessage +
                          "\r\n\r\nDo you wish to continue request?"));
  EXPECT_THAT(Timeline(), ElementsAre("GET", "ASK", "GET", "1000", "GET", "1000", "GET"));
  // The second keyword gets the only row.
  EXPECT_EQ(grid_.RowCount(), 2);
  EXPECT_EQ(grid_.Cells(1, 1), "b");
  EXPECT_THAT(progress_, ElementsAre(67, 83, 100));
}

TEST_F(KeywordWorkerTest, AServiceMessageRepeatingTheKeyShowsItMasked) {
  host_.AnswerUrl(Url(QueryKind::Phrase, "a"), ErrorAnswer(400, "Key test-key is not valid"));
  host_.AnswerQuestions({kResultNo});
  Run({"a", "b"}, 0);
  EXPECT_THAT(host_.Questions(),
              ElementsAre("Abnormal request terminatiom. Key *** is not valid"
                          "\r\n\r\nDo you wish to continue request?"));
}

TEST_F(KeywordWorkerTest, FailedFirstQueryAnsweredNoOrClosedEndsTheRunWithoutRows) {
  for (int answer : {kResultNo, kResultCancel}) {
    FakeWorkerHost host;
    ResultGridModel grid(5, 2);
    host.AnswerNext(ErrorAnswer(400, "API key not valid. Please pass a valid API key."));
    for (int q = 0; q < 3; ++q) host.AnswerNext(SearchAnswer("4"));
    host.AnswerQuestions({answer});
    KeywordWorker({"a", "b"}, host, host.Search(), grid, {}, 0).Run();

    EXPECT_EQ(host.Downloads().size(), 1u) << answer;
    EXPECT_EQ(host.Questions().size(), 1u) << answer;
    EXPECT_EQ(grid.RowCount(), 2) << answer;
    EXPECT_EQ(grid.Cells(1, 1), "") << answer;
    EXPECT_FALSE(grid.HasCheckBox(0, 1)) << answer;
  }
}

TEST_F(KeywordWorkerTest, FailedTitleQueryOnTheLastKeywordShowsAPlainBoxAndEnds) {
  Answer("a", "1", "2", "3");
  host_.AnswerUrl(Url(QueryKind::Phrase, "b"), SearchAnswer("10"));
  // The title query of the last keyword dies inside the download.
  host_.OnDownload([this](const std::string& url) {
    if (url == Url(QueryKind::Title, "b")) host_.ThrowOnNextDownload();
  });
  Run({"a", "b"});

  EXPECT_THAT(host_.Messages(), ElementsAre("Abnormal request terminatiom. "));
  EXPECT_THAT(host_.Questions(), IsEmpty());
  EXPECT_EQ(host_.Downloads().size(), 5u);
  ASSERT_EQ(grid_.RowCount(), 3);
  EXPECT_THAT(Row(2), ElementsAre("", "b", Link(Url(QueryKind::Phrase, "b"), "10"), "", ""));
  EXPECT_THAT(progress_, ElementsAre(17, 33, 50, 67));
}

TEST_F(KeywordWorkerTest, EmptyLinesAreQueriedAndListedLikeAnyOther) {
  Answer("", "7", "8", "9");
  Answer("b", "4", "5", "6");
  Run({"", "b", "", "b"});

  EXPECT_THAT(host_.Downloads()[0], HasSubstr("q=&"));
  // Row 1 holds the empty line's counts now, so the next row is appended after it.
  ASSERT_EQ(grid_.RowCount(), 5);
  for (int row : {1, 3}) {
    EXPECT_THAT(Row(row), ElementsAre("", "", Link(Url(QueryKind::Phrase, ""), "7"),
                                      Link(Url(QueryKind::Title, ""), "8"),
                                      Link(Url(QueryKind::URL, ""), "9")));
  }
  EXPECT_EQ(grid_.Cells(1, 2), "b");
  EXPECT_EQ(grid_.Cells(1, 4), "b");
}

TEST_F(KeywordWorkerTest, ProgressHalvesRoundToEven) {
  // Eight keywords: 24 queries, and 3, 9, 15 and 21 of them are exact halves.
  for (int q = 0; q < 24; ++q) host_.AnswerNext(SearchAnswer("1"));
  Run(std::vector<std::string>(8, "k"));
  ASSERT_EQ(progress_.size(), 24u);
  EXPECT_EQ(progress_[2], 12);   // 12.5
  EXPECT_EQ(progress_[8], 38);   // 37.5
  EXPECT_EQ(progress_[14], 62);  // 62.5
  EXPECT_EQ(progress_[20], 88);  // 87.5
  EXPECT_EQ(progress_[23], 100);
}

TEST_F(KeywordWorkerTest, StopDuringTheFirstKeywordCompletesThatKeywordOnly) {
  for (const char* k : {"a", "b", "c"}) Answer(k, "1", "2", "3");
  KeywordWorker& worker = MakeWorker({"a", "b", "c"});
  host_.OnDownload([&](const std::string& url) {
    if (url == Url(QueryKind::Title, "a")) worker.RequestStop();
  });
  worker.Run();

  EXPECT_EQ(host_.Downloads().size(), 3u);
  EXPECT_THAT(Row(1), ElementsAre("", "a", Link(Url(QueryKind::Phrase, "a"), "1"),
                                  Link(Url(QueryKind::Title, "a"), "2"),
                                  Link(Url(QueryKind::URL, "a"), "3")));
  EXPECT_THAT(progress_, ElementsAre(11, 22, 33));
  // Ends before the half-second pause.
  EXPECT_THAT(host_.Pauses(), ElementsAre(0, 0, 0));
}

TEST_F(KeywordWorkerTest, TheEmptyRowOfAClearedGridIsReusedAndLaterRowsAppended) {
  // A long grid, cleared as Start and Clear All do it: the old rows stay hidden.
  for (int r = 1; r <= 9; ++r) {
    grid_.AddRow();
    grid_.SetCells(1, r, "old " + std::to_string(r));
    grid_.SetCells(2, r, "7");
    grid_.AddCheckBox(0, r, true, false);
  }
  grid_.SetRowCount(2);
  for (int col = 0; col < 5; ++col) grid_.SetCells(col, 1, "");
  grid_.RemoveCheckBox(0, 1);

  Answer("a", "1", "2", "3");
  Answer("b", "4", "5", "6");
  Run({"a", "b"});
  ASSERT_EQ(grid_.RowCount(), 3);
  EXPECT_EQ(grid_.Cells(1, 1), "a");
  EXPECT_THAT(Row(2), ElementsAre("", "b", Link(Url(QueryKind::Phrase, "b"), "4"),
                                  Link(Url(QueryKind::Title, "b"), "5"),
                                  Link(Url(QueryKind::URL, "b"), "6")));
  EXPECT_TRUE(grid_.IsChecked(0, 1));
  EXPECT_TRUE(grid_.IsChecked(0, 2));

  // A kept row 1 (the "append" switch of the window) is not overwritten.
  ResultGridModel kept(5, 2);
  kept.SetCells(1, 1, "kept");
  FakeWorkerHost host;
  for (const char* count : {"1", "2", "3"}) host.AnswerNext(SearchAnswer(count));
  KeywordWorker({"z"}, host, host.Search(), kept, {}, 0).Run();
  EXPECT_EQ(kept.RowCount(), 3);
  EXPECT_EQ(kept.Cells(1, 1), "kept");
  EXPECT_EQ(kept.Cells(1, 2), "z");
}

TEST_F(KeywordWorkerTest, ChangedCredentialsApplyToTheNextRequest) {
  KeywordWorker& worker = MakeWorker({"a"});
  host_.AnswerNext(SearchAnswer("1"));
  host_.AnswerNext(SearchAnswer("2"));
  host_.AnswerNext(SearchAnswer("3"));
  host_.OnDownload([this](const std::string&) {
    if (host_.Downloads().size() == 1) host_.SetCredentials({"second-key", " second-cx "});
  });
  worker.Run();

  const auto urls = host_.Downloads();
  ASSERT_EQ(urls.size(), 3u);
  EXPECT_THAT(urls[0], HasSubstr("key=test-key"));
  EXPECT_THAT(urls[1], HasSubstr("key=second-key"));
  EXPECT_THAT(urls[1], HasSubstr("cx=second-cx&"));
  // The link in the grid carries the URL that was actually asked (without its key).
  EXPECT_EQ(grid_.Cells(3, 1), Link(urls[1], "2"));
}

// With SerpApi the worker reads SerpApi's answers (a no-results answer is a count of 0),
// counts what it sent and asks the account once at the end.
TEST_F(KeywordWorkerTest, SerpApiRunCountsItsQueriesAndAsksTheSearchesLeft) {
  const Credentials serp{"serp-key", "", kSerpApi, host_.Endpoint()};
  host_.SetCredentials(Credentials{"serp-key", "", kSerpApi, ""});
  const SearchService& service = SearchServiceNamed(kSerpApi);
  const auto url = [&](QueryKind kind) { return service.QueryURL(kind, "red shoes", serp); };
  host_.AnswerUrl(url(QueryKind::Phrase),
                  R"({"search_information": {"total_results": 612345}, "organic_results": []})");
  host_.AnswerUrl(url(QueryKind::Title),
                  R"({"error": "Google hasn't returned any results for this query."})");
  host_.AnswerUrl(url(QueryKind::URL), R"({"search_information": {"total_results": 7}})");
  host_.AnswerUrl(service.AccountURL(serp), R"({"total_searches_left": 96})");
  KeywordWorker& worker = MakeWorker({"red shoes"});
  worker.Run();

  EXPECT_THAT(Row(1),
              ElementsAre("", "red shoes", Link(url(QueryKind::Phrase), "612345"),
                          Link(url(QueryKind::Title), "0"), Link(url(QueryKind::URL), "7")));
  EXPECT_EQ(worker.QueriesSent(), 3);
  EXPECT_EQ(worker.SearchesLeft(), 96);
  EXPECT_EQ(host_.Downloads().back(), service.AccountURL(serp));
}

// When no query of the run got an answer, the account is not asked again at the end (it was
// asked once before the first query).
TEST_F(KeywordWorkerTest, NoAccountRequestAfterARunWithoutAnswers) {
  const Credentials serp{"serp-key", "", kSerpApi, host_.Endpoint()};
  host_.SetCredentials(Credentials{"serp-key", "", kSerpApi, ""});
  const SearchService& service = SearchServiceNamed(kSerpApi);
  host_.AnswerUrl(service.AccountURL(serp), R"({"total_searches_left": 96})");
  KeywordWorker& worker = MakeWorker({"red shoes"});
  worker.Run();
  EXPECT_THAT(host_.Downloads(), ElementsAre(service.AccountURL(serp),
                                             service.QueryURL(QueryKind::Phrase, "red shoes", serp)));
  EXPECT_EQ(worker.SearchesLeft(), std::nullopt);
}

// An hour that never has room again: the run waits 65 minutes in all, no more, and then takes
// the usual error path.
TEST_F(KeywordWorkerTest, AWaitNeverExceedsSixtyFiveMinutes) {
  const Credentials serp{"serp-key", "", kSerpApi, host_.Endpoint()};
  host_.SetCredentials(Credentials{"serp-key", "", kSerpApi, ""});
  const SearchService& service = SearchServiceNamed(kSerpApi);
  host_.AnswerUrl(service.AccountURL(serp),
                  R"({"total_searches_left": 90, "this_hour_searches": 50,
                      "account_rate_limit_per_hour": 50})");
  host_.AnswerUrl(service.QueryURL(QueryKind::Phrase, "red shoes", serp),
                  R"({"error": "Your account has reached its hourly searches limit."})");
  Run({"red shoes"});
  int waited_ms = 0;
  for (const int ms : host_.Pauses()) waited_ms += ms;
  EXPECT_EQ(waited_ms, 65 * 60 * 1000);
  EXPECT_THAT(host_.Messages(), ElementsAre(HasSubstr("hourly searches limit")));
}

}  // namespace
}  // namespace kelvaro::MainForm
