// A keyword run with monthly searches, against the substitute server's volume service.

#ifdef KELVARO_HAVE_SEARCHSIM

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "grid/ResultGridModel.h"
#include "main/GoldenRatio.h"
#include "main/KeywordWorker.h"
#include "search/AnswerReuse.h"
#include "store/AnswerStore.h"
#include "tests/support/ServerWorkerHost.h"
#include "tests/support/TempDir.h"
#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
#include "tools/VolumeAnswers.h"
#include "web/SearchService.h"
#include "web/VolumeService.h"

namespace kelvaro::MainForm {
namespace {

class KeywordVolumesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1,localhost", 1); }

  KeywordWorker& Run(const std::string& volume_key, std::vector<std::string> keywords,
                     AnswerStore* store = nullptr, int reuse_days = 0) {
    host_.SetCredentials({"demo-key", "demo-cx", kSerpApi, "", volume_key, "us"});
    host_.SetEndpoint(server_.Endpoint());
    worker_ = std::make_unique<KeywordWorker>(std::move(keywords), host_, host_.Search(), grid_,
                                              KeywordWorkerSink{}, 0);
    worker_->SetAnswerStore(store, reuse_days);
    worker_->Run();
    return *worker_;
  }
  std::vector<std::string> Row(int row) {
    std::vector<std::string> cells;
    for (int col = 0; col < grid_.ColCount(); ++col) cells.push_back(grid_.Cells(col, row));
    return cells;
  }
  static std::string Plain(const std::string& link) {
    const size_t open = link.find("\">");
    return link.substr(open + 2, link.size() - open - 2 - 4);
  }

  searchsim::SubstituteSearchServer server_;
  testing::ServerWorkerHost host_;
  ResultGridModel grid_{7, 2};
  std::unique_ptr<KeywordWorker> worker_;
};

TEST_F(KeywordVolumesTest, ARunWithAVolumeKeyFillsAllSevenColumns) {
  KeywordWorker& worker = Run("demo-volume-key", {"red shoes", "few words", "novolume x"});
  ASSERT_EQ(grid_.RowCount(), 4);
  for (int row = 1; row <= 3; ++row) {
    EXPECT_FALSE(Plain(Row(row)[3]).empty()) << row;
  }
  const std::vector<std::string> first = Row(1);
  const int64_t title = searchsim::TitleCount("red shoes");
  EXPECT_EQ(first[5], std::to_string(*searchsim::VolumeFor("red shoes")));
  EXPECT_EQ(first[6], KgrText(title, searchsim::VolumeFor("red shoes")));
  EXPECT_EQ(Row(2)[5], "120");
  EXPECT_EQ(Row(2)[6], "0.02");  // 2 titles for 120 searches
  EXPECT_EQ(Row(3)[5], "");      // the service has no volume for it
  EXPECT_EQ(Row(3)[6], "");
  EXPECT_TRUE(worker.VolumesAsked());
  EXPECT_EQ(worker.VolumeFailure(), std::nullopt);
  EXPECT_EQ(worker.VolumeCreditsLeft(), 100000 - 3);
  EXPECT_EQ(worker.QueriesSent(), 9);  // the volume request is not a search
  const auto requests = server_.Requests();
  ASSERT_GE(requests.size(), 2u);
  // The account first (free), then the volumes in one request, then the searches.
  EXPECT_EQ(requests[0].target, "/account.json?api_key=demo-key");
  EXPECT_EQ(requests[1].target, "/v1/get_keyword_data");
}

TEST_F(KeywordVolumesTest, AFailedVolumeRequestLeavesTheCountsUntouched) {
  KeywordWorker& worker = Run("wrong-key", {"red shoes"});
  const std::vector<std::string> row = Row(1);
  EXPECT_EQ(Plain(row[2]), std::to_string(searchsim::PhraseCount("red shoes")));
  EXPECT_EQ(Plain(row[3]), std::to_string(searchsim::TitleCount("red shoes")));
  EXPECT_EQ(Plain(row[4]), std::to_string(searchsim::UrlCount("red shoes")));
  EXPECT_EQ(row[5], "");
  EXPECT_EQ(row[6], "");
  EXPECT_EQ(worker.VolumeFailure(), std::string(searchsim::kVolumeInvalidKey));
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_TRUE(host_.Questions().empty());
}

TEST_F(KeywordVolumesTest, StoredVolumesAreReusedLikeCounts) {
  testing::TempDir dir;
  AnswerStore store(dir.File("answers.sqlite"));
  Run("demo-volume-key", {"red shoes"}, &store, 0);  // recorded, though not reused
  // What the line beside Start counts: only the volume not stored yet.
  std::vector<std::optional<int64_t>> stored;
  EXPECT_EQ(VolumeCredits(VolumesToAsk(&store, 30, "us", {"red shoes", "few words"}, stored)), 1u);
  EXPECT_EQ(stored[0], searchsim::VolumeFor("red shoes"));
  EXPECT_EQ(VolumeCredits(VolumesToAsk(&store, 0, "us", {"red shoes", "few words"}, stored)), 2u);
  server_.ClearRequests();
  Run("demo-volume-key", {"red shoes", "few words"}, &store, 30);
  int posts = 0;
  for (const auto& request : server_.Requests()) {
    if (request.target == "/v1/get_keyword_data") {
      ++posts;
      EXPECT_EQ(request.body, "dataSource=gkp&country=us&currency=usd&kw%5B%5D=few%20words");
    }
  }
  EXPECT_EQ(posts, 1);  // for the new phrase only
  EXPECT_EQ(grid_.Cells(5, grid_.RowCount() - 2), std::to_string(*searchsim::VolumeFor("red shoes")));
  EXPECT_EQ(grid_.Cells(5, grid_.RowCount() - 1), "120");
}

// Stop pressed while the volumes are asked for: no search goes out after them.
TEST_F(KeywordVolumesTest, StopDuringTheVolumeRequestsSendsNoSearch) {
  class StopOnPost : public testing::ServerWorkerHost {
   public:
    std::atomic<bool>* stop = nullptr;
    HttpAnswer Post(const std::string& url, const std::vector<std::string>& headers,
                    const std::string& body, int receive_timeout_ms) override {
      *stop = true;
      return ServerWorkerHost::Post(url, headers, body, receive_timeout_ms);
    }
  } host;
  host.SetCredentials({"demo-key", "demo-cx", kSerpApi, "", "demo-volume-key", "us"});
  host.SetEndpoint(server_.Endpoint());
  KeywordWorker worker({"red shoes", "blue hats"}, host, host.Search(), grid_,
                       KeywordWorkerSink{}, 0);
  host.stop = &worker.StopRequested;
  worker.Run();
  EXPECT_EQ(worker.QueriesSent(), 0);
  for (const auto& request : server_.Requests()) {
    EXPECT_EQ(request.target.find("/search.json"), std::string::npos) << request.target;
  }
  EXPECT_EQ(grid_.RowCount(), 2);
}

// A volume answer whose connection closed before its Content-Length was reached is shown, as
// the text received is the answer, but never stored: the next run pays for it again.
TEST_F(KeywordVolumesTest, ACutOffVolumeAnswerIsShownButNotStored) {
  testing::TempDir dir;
  AnswerStore store(dir.File("answers.sqlite"));
  host_.OnDownload([this](const std::string& url) {
    if (url.ends_with(kVolumePath)) server_.InjectFault(searchsim::Fault::CutShort().Times(1));
  });
  Run("demo-volume-key", {"red shoes"}, &store, 30);
  EXPECT_EQ(Row(1)[5], std::to_string(*searchsim::VolumeFor("red shoes")));
  std::vector<std::optional<int64_t>> stored;
  EXPECT_EQ(VolumeCredits(VolumesToAsk(&store, 30, "us", {"red shoes"}, stored)), 1u);
  EXPECT_EQ(stored[0], std::nullopt);
}

TEST_F(KeywordVolumesTest, WithoutAVolumeKeyNothingIsAskedAndRowsHaveFiveCells) {
  KeywordWorker& worker = Run("", {"red shoes"});
  EXPECT_FALSE(worker.VolumesAsked());
  EXPECT_EQ(grid_.Cells(5, 1), "");
  for (const auto& request : server_.Requests()) {
    EXPECT_NE(request.target, "/v1/get_keyword_data");
  }
}

}  // namespace
}  // namespace kelvaro::MainForm

#endif  // KELVARO_HAVE_SEARCHSIM
