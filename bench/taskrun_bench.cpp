// A keyword run of 1,000 phrases (3,000 tasks) through DataForSEO's task queue: the real main
// window and its worker thread against the substitute service on loopback, every task ready
// 30 seconds after it was posted.
//
// The least time such a run can take is the queue's 30 s plus the requests' own time (the
// posts, the asks which tasks are ready and the collection of each task), measured inside the
// run. The benchmark reports how far the window's run stays above that, and the longest gap
// between the ticks of a 5 ms timer on the GUI thread during the run.
//
//   run_ms          Start pressed -> end notice handled (memo unlocked, progress 0)
//   requests_ms     the time the run's requests took, one after the other
//   least_ms        30 000 + requests_ms
//   overhead_pct    (run_ms - least_ms) / least_ms
//   posts           task_post requests (a hundred tasks each)
//   max_gui_gap_ms  longest time between two ticks of the GUI thread's 5 ms timer
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "bench/GuiRun.h"
#include "main/view/MainForm.h"
#include "tests/support/TempDir.h"
#include "tools/SubstituteSearchServer.h"
#include "web/DataForSeo.h"
#include "web/HttpClient.h"

namespace kelvaro {
namespace {

using bench::Clock;
using bench::Ms;

constexpr int kPhrases = 1000;
constexpr int kQueueMs = 30000;

// The platform's client, adding up the time of each request.
class TimedHttp : public HttpClient {
 public:
  HttpAnswer Get(const std::string& url, int receive_timeout_ms) override {
    return Timed([&] { return platform_.Get(url, receive_timeout_ms); });
  }
  HttpAnswer Post(const std::string& url, const std::vector<std::string>& headers,
                  const std::string& body, int receive_timeout_ms) override {
    ++posts;
    return Timed([&] { return platform_.Post(url, headers, body, receive_timeout_ms); });
  }
  HttpAnswer GetWithHeaders(const std::string& url, const std::vector<std::string>& headers,
                            int receive_timeout_ms) override {
    return Timed([&] { return platform_.GetWithHeaders(url, headers, receive_timeout_ms); });
  }
  Clock::duration Total() {
    std::lock_guard<std::mutex> lock(mutex_);
    return total_;
  }
  int posts = 0;

 private:
  template <typename Request>
  HttpAnswer Timed(Request request) {
    const auto start = Clock::now();
    HttpAnswer answer = request();
    const auto took = Clock::now() - start;
    std::lock_guard<std::mutex> lock(mutex_);
    total_ += took;
    return answer;
  }
  std::mutex mutex_;
  Clock::duration total_{};
  PlatformHttpClient platform_;
};

void BM_TaskRun1000(benchmark::State& state) {
  testing::TempDir temp;
  std::string memo;
  for (int i = 1; i <= kPhrases; ++i) memo += "task phrase " + std::to_string(i) + "\n";
  double run_sum = 0, requests_sum = 0, overhead_sum = 0, max_gap = 0, posts = 0;
  for (auto _ : state) {
    searchsim::SubstituteSearchServer service;  // a fresh queue and balance each time
    service.SetTaskQueueDelay(std::chrono::milliseconds(kQueueMs));
    TimedHttp http;
    RunServices services;
    services.endpoint = service.Endpoint();
    services.temp_dir = temp.path().string() + "/";
    services.http = &http;
    services.timings.phrase_pause_ms = 0;
    Tfrm frm(MainFormEnvironment{}, services);
    frm.FormCreate();
    Credentials credentials;
    credentials.service = kDataForSeo;
    credentials.dfs_login = "demo-login";
    credentials.dfs_password = "demo-password";
    frm.Credentials().Set(credentials);
    frm.show();
    QCoreApplication::processEvents();
    frm.Memo1->setPlainText(QString::fromStdString(memo));

    const bench::GuiRun gui = bench::RunStartToEnd(frm, 300000);
    if (!gui.ended || frm.IsSearching(false)) {
      state.SkipWithError("the run did not end");
      frm.ShutdownWorker();
      break;
    }
    const double gap = gui.max_gui_gap_ms;
    const double run = gui.run_ms;
    const double requests = Ms(http.Total());
    const double least = kQueueMs + requests;
    state.SetIterationTime(run / 1000.0);
    run_sum += run;
    requests_sum += requests;
    overhead_sum += 100.0 * (run - least) / least;
    max_gap = std::max(max_gap, gap);
    posts += http.posts;
  }
  const double n = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.counters["run_ms"] = run_sum / n;
  state.counters["requests_ms"] = requests_sum / n;
  state.counters["least_ms"] = kQueueMs + requests_sum / n;
  state.counters["overhead_pct"] = overhead_sum / n;
  state.counters["posts"] = posts / n;
  state.counters["max_gui_gap_ms"] = max_gap;
}

BENCHMARK(BM_TaskRun1000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvaro

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Kelvaro");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
