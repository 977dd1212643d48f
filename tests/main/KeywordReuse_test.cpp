// A keyword run with the answer store against the substitute server: what a run sends when
// the store already holds some of its answers, and a store that cannot be used.

#ifdef KELVARO_HAVE_SEARCHSIM

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "grid/ResultGridModel.h"
#include "main/KeywordWorker.h"
#include "store/AnswerStore.h"
#include "tests/support/ServerWorkerHost.h"
#include "tests/support/TempDir.h"
#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
#include "web/SearchService.h"

namespace kelvaro::MainForm {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class KeywordReuseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1,localhost", 1); }

  // A run as the window starts it, with a store opened afresh (as after a restart).
  KeywordWorker& Run(std::vector<std::string> keywords, int reuse_days, int delay_ms = 0) {
    if (grid_.RowCount() > 2) grid_.RemoveRows(2, grid_.RowCount() - 2);
    for (int col = 0; col < 5; ++col) grid_.SetCells(col, 1, "");
    server_.ClearRequests();
    host_ = std::make_unique<testing::ServerWorkerHost>();
    host_->SetCredentials({"demo-key", "demo-cx", kGoogleCustomSearch, server_.Endpoint()});
    store_ = std::make_unique<AnswerStore>(path_);
    marked_.clear();
    KeywordWorkerSink sink;
    sink.MarkStoredCell = [this](int col, int row, int64_t) { marked_.push_back({col, row}); };
    worker_ = std::make_unique<KeywordWorker>(std::move(keywords), *host_, host_->Search(), grid_,
                                              sink, delay_ms);
    worker_->SetAnswerStore(store_.get(), reuse_days);
    worker_->Run();
    return *worker_;
  }
  // The phrase of each request that reached the service, in order.
  std::vector<std::string> SentPhrases() const {
    std::vector<std::string> phrases;
    for (const auto& request : server_.Requests()) {
      phrases.push_back(searchsim::ParseQuery(request.q).subject);
    }
    return phrases;
  }
  std::vector<std::string> Row(int row) const {
    std::vector<std::string> cells;
    for (int col = 1; col < 5; ++col) cells.push_back(grid_.Cells(col, row));
    return cells;
  }

  searchsim::SubstituteSearchServer server_;
  testing::TempDir temp_;
  const std::string path_ = temp_.File("answers.sqlite");
  std::unique_ptr<testing::ServerWorkerHost> host_;
  std::unique_ptr<AnswerStore> store_;
  ResultGridModel grid_{5, 2};
  std::vector<std::pair<int, int>> marked_;
  std::unique_ptr<KeywordWorker> worker_;
};

TEST_F(KeywordReuseTest, ASecondRunSendsOnlyTheNewPhrasesQueries) {
  Run({"red shoes", "blue hats"}, 30);
  ASSERT_EQ(SentPhrases().size(), 6u);
  const std::vector<std::string> red = Row(1), blue = Row(2);

  KeywordWorker& again = Run({"red shoes", "blue hats", "green socks"}, 30, 100);
  EXPECT_THAT(SentPhrases(), ElementsAre("green socks", "green socks", "green socks"));
  EXPECT_EQ(again.QueriesSent(), 3);
  EXPECT_EQ(again.StoredUsed(), 6);
  // The stored answers fill their cells as the answers did, links included.
  EXPECT_EQ(Row(1), red);
  EXPECT_EQ(Row(2), blue);
  EXPECT_FALSE(grid_.Cells(4, 3).empty());
  EXPECT_THAT(marked_, ElementsAre(std::pair(2, 1), std::pair(3, 1), std::pair(4, 1),
                                   std::pair(2, 2), std::pair(3, 2), std::pair(4, 2)));
  // Pauses space the requests only: none around the stored answers.
  EXPECT_THAT(host_->Pauses(), ElementsAre(100, 100));

  KeywordWorker& asked = Run({"red shoes", "blue hats", "green socks"}, 0, 100);
  EXPECT_EQ(SentPhrases().size(), 9u);
  EXPECT_EQ(asked.StoredUsed(), 0);
  EXPECT_THAT(marked_, IsEmpty());
  EXPECT_THAT(host_->Pauses(), ElementsAre(100, 100, 100, 500, 100, 100, 100, 500, 100, 100));
}

// An answer cut off mid-body still fills its cell with what arrived (its count, part of its
// results), but it is never stored: the next run asks for it again.
TEST_F(KeywordReuseTest, ACutOffAnswerIsShownButNeverStored) {
  server_.InjectFault(searchsim::Fault::Truncate().Times(1));  // the phrase query
  KeywordWorker& cut = Run({"red shoes"}, 30);
  EXPECT_EQ(cut.QueriesSent(), 3);
  EXPECT_THAT(host_->Questions(), IsEmpty());
  EXPECT_NE(grid_.Cells(2, 1).find(std::to_string(searchsim::PhraseCount("red shoes"))),
            std::string::npos);

  KeywordWorker& again = Run({"red shoes"}, 30);
  EXPECT_THAT(SentPhrases(), ElementsAre("red shoes"));
  EXPECT_EQ(again.StoredUsed(), 2);
}

TEST_F(KeywordReuseTest, AStoreThatCannotBeUsedDuringARunLeavesTheRunAsWithout) {
  Run({"red shoes"}, 30);
  // The file goes and a folder takes its place after start-up: the worker's thread cannot
  // open it, so it neither finds nor records anything.
  store_ = std::make_unique<AnswerStore>(path_);
  ASSERT_TRUE(store_->Available());
  std::filesystem::remove(path_);
  std::filesystem::create_directory(path_);
  server_.ClearRequests();
  KeywordWorker worker({"red shoes", "blue hats"}, *host_, host_->Search(), grid_,
                       KeywordWorkerSink{}, 0);
  worker.SetAnswerStore(store_.get(), 30);
  std::thread([&worker] { worker.Run(); }).join();

  EXPECT_EQ(SentPhrases().size(), 6u);
  EXPECT_EQ(worker.StoredUsed(), 0);
  EXPECT_FALSE(grid_.Cells(4, grid_.RowCount() - 1).empty());
  EXPECT_THAT(host_->Messages(), IsEmpty());
  EXPECT_THAT(host_->Questions(), IsEmpty());
}

}  // namespace
}  // namespace kelvaro::MainForm

#endif  // KELVARO_HAVE_SEARCHSIM
