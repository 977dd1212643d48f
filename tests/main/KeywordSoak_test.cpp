// Soak: a long keyword run against the substitute search service on loopback, with the
// pauses taken out, must not make the process grow. Everything a run touches per phrase
// (three downloads over one reused connection, the answers, the count links, the steps, a
// question now and then) is created and dropped thousands of times here.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "grid/ResultGridModel.h"
#include "main/KeywordWorker.h"
#include "tools/SubstituteSearchServer.h"
#include "ui/RunTexts.h"
#include "web/uHelper.h"

// Address and thread sanitizers hold on to freed memory on purpose, so resident memory
// says nothing under them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KELVARO_SOAK_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KELVARO_SOAK_UNDER_SANITIZER 1
#endif
#endif

namespace kelvaro::MainForm {
namespace {

constexpr int kPhrases = 2000;
constexpr int kWarmUpPhrases = 100;
// Every this many phrases one holds "fail": an error answer and the question, answered Yes.
constexpr int kFailEvery = 50;
constexpr long kAllowedGrowthKiB = 2 * 1024;

// Resident set size of this process in KiB, from /proc/self/status; -1 when unreadable.
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// The host of a window that is never drawn: steps run inline, downloads go to the
// service, pauses do nothing and every question is answered Yes. It keeps the grid at
// its header and the row under way, as a user clearing the window now and then would,
// so that what is measured is the run and not the rows it rightly keeps.
class SoakHost : public WorkerHost, public HttpClient {
 public:
  SoakHost(searchsim::SubstituteSearchServer& service, ResultGridModel& grid)
      : WorkerHost(&NoticeText), service_(service), grid_(grid), endpoint_(service.Endpoint()) {
    credentials_.Set({"demo-key", "demo-cx"});
  }
  SearchSetup Search() { return SearchSetup{&credentials_, endpoint_, this}; }

  void Synchronize(const std::function<void()>& step) override {
    step();
    if (grid_.RowCount() > 2) grid_.RemoveRows(1, grid_.RowCount() - 2);
  }
  HttpAnswer Get(const std::string& url, int /*receive_timeout_ms*/) override {
    HttpAnswer answer;
    answer.body = DownloadPage(url);
    answer.complete = !answer.body.empty();
    // The service records every request for tests that look at them; not this one.
    service_.ClearRequests();
    ++downloads_;
    if (downloads_ == warm_up_downloads) rss_after_warm_up_kib = ResidentKiB();
    return answer;
  }
  HttpAnswer Post(const std::string& /*url*/, const std::vector<std::string>& /*headers*/,
                  const std::string& /*body*/, int /*receive_timeout_ms*/) override {
    return HttpAnswer();
  }
  void ShowMessage(const std::string& /*text*/) override { ++messages; }
  int AskYesNo(const std::string& /*text*/) override {
    ++questions;
    return kResultYes;
  }
  void Pause(int /*ms*/) override { ++pauses; }

  int Downloads() const { return downloads_; }

  int warm_up_downloads = 0;
  long rss_after_warm_up_kib = -1;
  int messages = 0;
  int questions = 0;
  int pauses = 0;

 private:
  searchsim::SubstituteSearchServer& service_;
  ResultGridModel& grid_;
  std::string endpoint_;
  ApiCredentials credentials_;
  int downloads_ = 0;
};

bool IsFailing(int i) { return i % kFailEvery == kFailEvery / 2; }

std::string Phrase(int i) {
  static const char* const kBands[] = {"niche", "common", "popular", "plain"};
  std::string phrase = "soak phrase " + std::to_string(i) + " " + kBands[i % 4];
  if (IsFailing(i)) phrase += " fail";
  return phrase;
}

// Downloads of the first `phrases` phrases: three for a good one, one for a failing one.
int DownloadsFor(int phrases) {
  int n = 0;
  for (int i = 0; i < phrases; ++i) n += IsFailing(i) ? 1 : 3;
  return n;
}

TEST(KeywordSoakTest, TwoThousandPhrasesWithoutPausesKeepMemoryFlat) {
#ifdef KELVARO_SOAK_UNDER_SANITIZER
  GTEST_SKIP() << "resident memory is no measure under a sanitizer";
#endif
  if (ResidentKiB() < 0) GTEST_SKIP() << "no /proc/self/status on this system";
  searchsim::SubstituteSearchServer service;
  ResultGridModel grid(5, 2);
  SoakHost host(service, grid);
  host.warm_up_downloads = DownloadsFor(kWarmUpPhrases);

  std::vector<std::string> keywords;
  for (int i = 0; i < kPhrases; ++i) keywords.push_back(Phrase(i));
  int last_progress = -1;
  KeywordWorkerSink sink;
  sink.ShowProgress = [&](int progress) { last_progress = progress; };
  KeywordWorker worker(keywords, host, host.Search(), grid, sink, 0);

  const auto start = std::chrono::steady_clock::now();
  worker.Run();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long rss_end_kib = ResidentKiB();

  // The whole run went through: every phrase asked, every failure asked about and gone
  // on from, the last phrase's row complete.
  EXPECT_EQ(host.Downloads(), DownloadsFor(kPhrases));
  EXPECT_EQ(host.questions, kPhrases / kFailEvery);
  EXPECT_EQ(host.messages, 0);
  EXPECT_EQ(last_progress, 100);
  ASSERT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cells(1, 1), Phrase(kPhrases - 1));
  for (int col = 2; col <= 4; ++col) {
    EXPECT_EQ(grid.Cells(col, 1).rfind("<a href=\"", 0), 0u) << "column " << col;
  }

  ASSERT_GT(host.rss_after_warm_up_kib, 0);
  const long growth_kib = rss_end_kib - host.rss_after_warm_up_kib;
  std::cout << "soak: " << kPhrases << " phrases, " << host.Downloads() << " requests in "
            << seconds << " s; resident " << host.rss_after_warm_up_kib << " KiB after "
            << kWarmUpPhrases << " phrases, " << rss_end_kib << " KiB at the end (growth "
            << growth_kib << " KiB)\n";
  RecordProperty("rss_after_warm_up_kib", std::to_string(host.rss_after_warm_up_kib));
  RecordProperty("rss_end_kib", std::to_string(rss_end_kib));
  EXPECT_LE(growth_kib, kAllowedGrowthKiB);
}

}  // namespace
}  // namespace kelvaro::MainForm
