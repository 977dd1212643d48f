// A keyword run of 20 phrases at delay 0 through the real main window and its worker
// thread, against the substitute search service on loopback.
//
// The least time such a run can take is the pauses the run always makes (half a second
// between two keywords: 19 x 500 ms) plus the service's own time for the 60 requests,
// measured in the same iteration by 60 sequential downloads of the same URLs. The
// benchmark reports how far the window's run stays above that, and the longest gap
// between the ticks of a 5 ms timer on the GUI thread during the run (the GUI thread
// must never wait on the network).
//
//   run_ms           Start pressed -> end notice handled (memo unlocked, progress 0)
//   last_count_ms    Start pressed -> progress 100 (the last count in the grid)
//   least_ms         19 x 500 ms + requests_ms
//   requests_ms      60 sequential DownloadPage calls after the run
//   overhead_pct     (run_ms - least_ms) / least_ms
//   overhead_to_last_count_pct: (last_count_ms - least_ms) / least_ms, the run without the
//                    half-second pause the worker also makes after the last keyword
//   in_run_downloads_ms / overhead_in_run_pct: the same with the downloads' own time
//                    inside the run instead of the separate measurement
//   max_gui_gap_ms   longest time between two ticks of the GUI thread's 5 ms timer
//
// BM_KeywordRun20/1 runs with the answer store on and "Reuse Days" 0: every query is still
// sent, and every answer is recorded from the worker's thread (a fresh store per iteration).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bench/GuiRun.h"
#include "main/view/MainForm.h"
#include "store/AnswerStore.h"
#include "tests/support/TempDir.h"
#include "tools/SubstituteSearchServer.h"
#include "web/CustomSearch.h"
#include "web/HttpClient.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

using bench::Clock;
using bench::Ms;

constexpr int kKeywords = 20;
constexpr int kPauseBetweenKeywordsMs = 500;
constexpr char kKey[] = "demo-key";
constexpr char kEngine[] = "demo-cx";

std::vector<std::string> Phrases() {
  std::vector<std::string> phrases;
  for (int i = 1; i <= kKeywords; ++i) phrases.push_back("keyword phrase " + std::to_string(i));
  return phrases;
}

void BM_KeywordRun20(benchmark::State& state) {
  searchsim::SubstituteSearchServer service;
  testing::TempDir temp;
  const std::vector<std::string> phrases = Phrases();
  std::string memo;
  for (const auto& p : phrases) memo += p + "\n";

  double run_sum = 0, last_count_sum = 0, least_sum = 0, requests_sum = 0, in_run_sum = 0;
  double overhead_sum = 0, overhead_in_run_sum = 0, overhead_last_sum = 0, max_gap = 0;
  const bool with_store = state.range(0) != 0;
  int iteration = 0;
  for (auto _ : state) {
    std::mutex mutex;
    Clock::duration in_run_downloads{};
    RunServices services;
    std::unique_ptr<AnswerStore> answers;
    if (with_store) {
      answers = std::make_unique<AnswerStore>(
          temp.File("answers" + std::to_string(++iteration) + ".sqlite"));
      services.answers = answers.get();
    }
    services.endpoint = service.Endpoint();
    services.temp_dir = temp.path().string() + "/";
    // The platform's client, timing each request.
    class TimedHttp : public HttpClient {
     public:
      TimedHttp(std::mutex& mutex, Clock::duration& total) : mutex_(mutex), total_(total) {}
      HttpAnswer Get(const std::string& url, int receive_timeout_ms) override {
        const auto start = Clock::now();
        HttpAnswer answer = platform_.Get(url, receive_timeout_ms);
        const auto took = Clock::now() - start;
        std::lock_guard<std::mutex> lock(mutex_);
        total_ += took;
        return answer;
      }
      HttpAnswer Post(const std::string& url, const std::vector<std::string>& headers,
                      const std::string& body, int receive_timeout_ms) override {
        return platform_.Post(url, headers, body, receive_timeout_ms);
      }

     private:
      std::mutex& mutex_;
      Clock::duration& total_;
      PlatformHttpClient platform_;
    } http(mutex, in_run_downloads);
    services.http = &http;
    Tfrm frm(MainFormEnvironment{}, services);
    frm.FormCreate();  // the chime file, so the end notice plays it as in the program
    frm.Credentials().Set({kKey, kEngine});
    frm.show();
    QCoreApplication::processEvents();
    frm.Memo1->setPlainText(QString::fromStdString(memo));
    frm.Edit1->setText(QStringLiteral("0"));

    const bench::GuiRun gui = bench::RunStartToEnd(frm, 120000);
    if (!gui.ended || frm.IsSearching(false)) {
      state.SkipWithError("the run did not end");
      frm.ShutdownWorker();
      break;
    }

    // The service's own time for the same 60 requests, one after the other.
    const auto requests_start = Clock::now();
    for (const auto& p : phrases) {
      for (QueryKind kind : {QueryKind::Phrase, QueryKind::Title, QueryKind::URL}) {
        benchmark::DoNotOptimize(
            DownloadPage(BuildQueryURL(kind, p, kKey, kEngine, service.Endpoint())));
      }
    }
    const double requests = Ms(Clock::now() - requests_start);

    const double run = gui.run_ms;
    const double pauses = (kKeywords - 1) * kPauseBetweenKeywordsMs;
    const double least = pauses + requests;
    const double in_run = Ms(in_run_downloads);
    state.SetIterationTime(run / 1000.0);
    run_sum += run;
    last_count_sum += gui.last_count_ms;
    least_sum += least;
    requests_sum += requests;
    in_run_sum += in_run;
    overhead_sum += 100.0 * (run - least) / least;
    overhead_last_sum += 100.0 * (gui.last_count_ms - least) / least;
    overhead_in_run_sum += 100.0 * (run - pauses - in_run) / (pauses + in_run);
    max_gap = std::max(max_gap, gui.max_gui_gap_ms);
  }
  const double n = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.counters["run_ms"] = run_sum / n;
  state.counters["last_count_ms"] = last_count_sum / n;
  state.counters["least_ms"] = least_sum / n;
  state.counters["requests_ms"] = requests_sum / n;
  state.counters["in_run_downloads_ms"] = in_run_sum / n;
  state.counters["overhead_pct"] = overhead_sum / n;
  state.counters["overhead_to_last_count_pct"] = overhead_last_sum / n;
  state.counters["overhead_in_run_pct"] = overhead_in_run_sum / n;
  state.counters["max_gui_gap_ms"] = max_gap;
}

BENCHMARK(BM_KeywordRun20)
    ->ArgName("store")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

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
