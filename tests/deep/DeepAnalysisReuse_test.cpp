// Deep Analysis with the answer store against the substitute server: it reuses the main
// run's phrase answers with their listed results, and the backlink answers of URLs seen
// before.

#ifdef KELVARO_HAVE_SEARCHSIM

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
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
#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
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

}  // namespace
}  // namespace kelvaro::DeepAnalysisForm

#endif  // KELVARO_HAVE_SEARCHSIM
