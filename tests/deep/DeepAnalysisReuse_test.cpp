// Deep Analysis with the answer store against the substitute server: it reuses the main
// run's phrase answers with their listed results, and the backlink answers of URLs seen
// before.

#ifdef KELVARO_HAVE_SEARCHSIM

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "deep/DeepAnalysisWorker.h"
#include "grid/ResultGridModel.h"
#include "main/KeywordWorker.h"
#include "store/AnswerStore.h"
#include "tests/support/ServerWorkerHost.h"
#include "tests/support/TempDir.h"
#include "tools/RankAnswers.h"
#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
#include "web/DomainRankService.h"
#include "web/SearchService.h"

namespace kelvaro::DeepAnalysisForm {
namespace {

using ::testing::Contains;
using ::testing::Not;

class DeepAnalysisReuseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1,localhost", 1); }

  DeepAnalysisReuseTest() {
    host_.SetCredentials({"demo-key", "demo-cx", kSerpApi, server_.Endpoint()});
  }
  // A Deep Analysis run on a freshly reset grid; `stored_cells` counts the cells it marks.
  DeepAnalysisWorker& Run(std::vector<std::string> keywords, int reuse_days) {
    server_.ClearRequests();
    grid_.SetRowCount(2);
    for (int col = 0; col < 4; ++col) grid_.SetCells(col, 1, "");
    DeepAnalysisWorkerSink sink;
    sink.MarkStoredCell = [this](int, int, int64_t) { ++stored_cells_; };
    stored_cells_ = 0;
    worker_ = std::make_unique<DeepAnalysisWorker>(std::move(keywords), host_, host_.Search(), grid_,
                                                   sink);
    worker_->SetAnswerStore(&store_, reuse_days);
    worker_->Run();
    return *worker_;
  }
  // The searches that reached the service (its account requests left out), as the phrase
  // or the URL each asked about.
  std::vector<std::string> Sent() const {
    std::vector<std::string> sent;
    for (const auto& request : server_.Requests()) {
      if (request.target.rfind("/search.json", 0) == 0) {
        sent.push_back(searchsim::ParseQuery(request.q).subject);
      }
    }
    return sent;
  }
  std::vector<std::vector<std::string>> Rows() const {
    std::vector<std::vector<std::string>> rows;
    for (int row = 2; row < grid_.RowCount(); ++row) {
      rows.push_back({grid_.Cells(1, row), grid_.Cells(2, row), grid_.Cells(3, row)});
    }
    return rows;
  }

  searchsim::SubstituteSearchServer server_;
  testing::TempDir temp_;
  AnswerStore store_{temp_.File("answers.sqlite")};
  testing::ServerWorkerHost host_;
  ResultGridModel grid_{4, 2};
  int stored_cells_ = 0;
  std::unique_ptr<DeepAnalysisWorker> worker_;
};

TEST_F(DeepAnalysisReuseTest, ASecondRunSendsOnlyWhatItHasNotSeen) {
  // The main window's run records its phrase answers with their results.
  ResultGridModel main_grid(5, 2);
  MainForm::KeywordWorker main_run({"red shoes"}, host_, host_.Search(), main_grid, {}, 0);
  main_run.SetAnswerStore(&store_, 0);
  main_run.Run();

  DeepAnalysisWorker& first = Run({"red shoes"}, 30);
  const std::vector<std::string> red_links = Sent();
  ASSERT_FALSE(red_links.empty());
  EXPECT_THAT(red_links, Not(Contains("red shoes")));
  EXPECT_EQ(first.StoredUsed(), 1);
  const auto red_rows = Rows();

  DeepAnalysisWorker& second = Run({"red shoes", "blue hats"}, 30);
  const std::vector<std::string> sent = Sent();
  EXPECT_THAT(sent, Contains("blue hats"));
  for (const std::string& link : red_links) EXPECT_THAT(sent, Not(Contains(link)));
  EXPECT_EQ(second.StoredUsed(), 1 + static_cast<int>(red_links.size()));
  EXPECT_EQ(second.StoredUsed(), stored_cells_);
  // The stored answers fill the phrase's rows as the answers did, the average included.
  const auto rows = Rows();
  ASSERT_GE(rows.size(), red_rows.size());
  EXPECT_TRUE(std::equal(red_rows.begin(), red_rows.end(), rows.begin()));

  DeepAnalysisWorker& asked = Run({"red shoes", "blue hats"}, 0);
  EXPECT_EQ(Sent().size(), red_links.size() + 1 + sent.size());
  EXPECT_EQ(asked.StoredUsed(), 0);
  EXPECT_EQ(stored_cells_, 0);
}

// Without the backlink counts a phrase costs one search; the ranks of the run's domains come
// in one request, the key in its header only, and are stored by domain for the next run.
TEST_F(DeepAnalysisReuseTest, RanksAndForumsWithoutBacklinks) {
  host_.SetEndpoint(server_.Endpoint());
  Credentials credentials = host_.CurrentCredentials();
  credentials.rank_key = "demo-rank-key";
  host_.SetCredentials(credentials);
  const std::vector<std::string> phrases = {"red shoes", "few blue hats"};
  const auto run = [&](int reuse_days) -> DeepAnalysisWorker& {
    server_.ClearRequests();
    grid_.SetRowCount(2);
    worker_ = std::make_unique<DeepAnalysisWorker>(phrases, host_, host_.Search(), grid_,
                                                   DeepAnalysisWorkerSink{});
    worker_->SetAskBacklinks(false);
    worker_->SetAnswerStore(&store_, reuse_days);
    worker_->Run();
    return *worker_;
  };
  const auto rank_requests = [&] {
    std::vector<searchsim::RecordedRequest> ranks;
    for (const auto& request : server_.Requests()) {
      if (request.target.rfind("/api/v1.0/getPageRank?", 0) == 0) ranks.push_back(request);
    }
    return ranks;
  };

  run(30);
  EXPECT_EQ(Sent(), phrases);
  const auto ranks = rank_requests();
  ASSERT_EQ(ranks.size(), 1u);
  EXPECT_EQ(ranks[0].target.find("demo-rank-key"), std::string::npos);
  EXPECT_THAT(ranks[0].headers, Contains(std::pair<std::string, std::string>(
                                    "API-OPR", "demo-rank-key")));
  ASSERT_EQ(grid_.ColCount(), 6);
  EXPECT_EQ(grid_.Cells(4, 0), "Domain Rank");
  EXPECT_EQ(grid_.Cells(5, 0), "Forums");
  // Rows 3-12 the first phrase's results, 13 its averages; the second's four from row 16.
  std::vector<std::optional<double>> red_ranks;
  std::set<std::string> domains;
  for (int row = 3; row <= 12; ++row) {
    const std::string domain = RankDomain(grid_.Cells(2, row));
    domains.insert(domain);
    red_ranks.push_back(searchsim::RankFor(domain));
    EXPECT_EQ(grid_.Cells(4, row), FormatRank(*red_ranks.back())) << row;
    EXPECT_EQ(grid_.Cells(3, row), "");  // no backlinks asked
  }
  // Each domain once in the request.
  for (int row = 16; row <= 19; ++row) domains.insert(RankDomain(grid_.Cells(2, row)));
  size_t asked = 0;
  for (size_t at = ranks[0].target.find("domains"); at != std::string::npos;
       at = ranks[0].target.find("domains", at + 1)) {
    ++asked;
  }
  EXPECT_EQ(asked, domains.size());
  EXPECT_EQ(grid_.Cells(2, 13), "<b>Averages:</b>");
  EXPECT_EQ(grid_.Cells(3, 13), "");
  EXPECT_EQ(grid_.Cells(4, 13), FormatAverageRank(red_ranks));
  // Ten results of the substitute service hold one forum topic (".../t/...").
  EXPECT_EQ(grid_.Cells(5, 13), "<b>1</b>");

  // The plan: one query a phrase without the counts, the stored phrases free.
  const std::vector<std::string> more = {"red shoes", "few blue hats", "green socks"};
  const RunPlan without = PlanRun(RunShape::kDeepAnalysisWithoutBacklinks, more, credentials,
                                  server_.Endpoint(), &store_, 30);
  EXPECT_EQ(without.queries, 1);
  EXPECT_EQ(without.stored, 2);
  EXPECT_EQ(PlanRun(RunShape::kDeepAnalysis, more, credentials, server_.Endpoint(), &store_, 30)
                .queries,
            1 + 10 + 10 + 4);
  EXPECT_EQ(PlanRun(RunShape::kDeepAnalysisWithoutBacklinks, more, credentials,
                    server_.Endpoint(), nullptr, 0)
                .queries,
            3);

  // The stored ranks stand in for the request.
  DeepAnalysisWorker& again = run(30);
  EXPECT_TRUE(rank_requests().empty());
  EXPECT_EQ(grid_.Cells(4, 13), FormatAverageRank(red_ranks));
  EXPECT_FALSE(again.Cost().rank_failure);

  // A refused key costs the run nothing but the ranks, and the status line says why.
  credentials.rank_key = "wrong-key";
  host_.SetCredentials(credentials);
  DeepAnalysisWorker& refused = run(0);
  EXPECT_EQ(Sent(), phrases);
  EXPECT_EQ(refused.Cost().rank_failure, std::optional<std::string>("Invalid API key"));
  EXPECT_EQ(grid_.Cells(4, 3), "");
  EXPECT_EQ(grid_.Cells(4, 13), "");
  EXPECT_EQ(grid_.Cells(5, 13), "<b>1</b>");
}

}  // namespace
}  // namespace kelvaro::DeepAnalysisForm

#endif  // KELVARO_HAVE_SEARCHSIM
