// Keyword runs through the real main window with several searches at once, against the
// substitute search service answering every search after a fixed delay.
//
// BM_AtOnce100: 100 phrases (300 searches), each answered 200 ms after it arrives, first one
// at a time (the run as it always was, with its half-second pauses between keywords), then
// with "Searches at once" 8. The least time 8 at once can take is 300 x 200 ms / 8 = 7.5 s.
//   one_ms, eight_ms     Start pressed -> end notice handled
//   speedup              one_ms / eight_ms (target: 6 or more)
//   over_least_pct       (eight_ms - 7500) / 7500 (target: 15 or less)
//   most_in_flight       the most searches the service had under way at once
//   max_gui_gap_one_ms, max_gui_gap_eight_ms: longest time between two ticks of a 5 ms
//                        timer on the GUI thread in each run (target: under 50)
// BM_AtOnceMemory: 100 and then 1,000 phrases, 8 at once, each answered after 20 ms. The
// heap in use is sampled with every tick of the GUI thread's timer; the grid's rows stay
// when the run is over, so what the run itself holds is its peak above the heap it ends with
// (target: flat from 100 to 1,000 phrases):
//   run_peak_100_kb, run_peak_1000_kb   peak heap during the run less the heap at its end
//   grid_100_kb, grid_1000_kb           heap at the end of the run less the heap before it
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <malloc.h>

#include <string>

#include "bench/GuiRun.h"
#include "main/view/MainForm.h"
#include "tests/support/TempDir.h"
#include "tools/SubstituteSearchServer.h"

namespace kelvaro {
namespace {

// The heap in use, in kB (glibc).
double HeapKb() { return static_cast<double>(mallinfo2().uordblks) / 1024.0; }

struct RunFigures {
  bool ended = false;
  double run_ms = 0;
  double max_gap_ms = 0;
  double run_peak_kb = 0;  // the heap's peak during the run above its end
  double grid_kb = 0;      // the heap at the end above the heap before the window
  int most_in_flight = 0;
};

// One run of `phrases` phrases in a fresh main window with `at_once` searches at once.
RunFigures RunWindow(searchsim::SubstituteSearchServer& service, int phrases, int at_once) {
  testing::TempDir temp;
  RunServices services;
  services.endpoint = service.Endpoint();
  services.temp_dir = temp.path().string() + "/";
  services.searches_at_once = at_once;
  std::string memo;
  for (int i = 1; i <= phrases; ++i) memo += "keyword phrase " + std::to_string(i) + "\n";
  RunFigures figures;
  const double heap_before = HeapKb();
  double heap_peak = heap_before;
  {
    Tfrm frm(MainFormEnvironment{}, services);
    frm.FormCreate();
    frm.Credentials().Set({"demo-key", "demo-cx"});
    frm.show();
    QCoreApplication::processEvents();
    frm.Memo1->setPlainText(QString::fromStdString(memo));
    frm.Edit1->setText(QStringLiteral("0"));

    const bench::GuiRun run = bench::RunStartToEnd(frm, 600000, [&] {
      // The service's record of the requests is not the run's memory.
      figures.most_in_flight = std::max(figures.most_in_flight, service.MostInFlight());
      service.ClearRequests();
      heap_peak = std::max(heap_peak, HeapKb());
    });
    figures.ended = run.ended && !frm.IsSearching(false);
    figures.run_ms = run.run_ms;
    figures.max_gap_ms = run.max_gui_gap_ms;
    figures.most_in_flight = std::max(figures.most_in_flight, service.MostInFlight());
    // The service's record of the requests is not the run's.
    service.ClearRequests();
    const double heap_end = HeapKb();
    figures.run_peak_kb = std::max(0.0, heap_peak - heap_end);
    figures.grid_kb = heap_end - heap_before;
    frm.ShutdownWorker();
  }
  return figures;
}

void BM_AtOnce100(benchmark::State& state) {
  searchsim::SubstituteSearchServer service;
  service.SetAnswerDelay(std::chrono::milliseconds(200));
  for (auto _ : state) {
    const RunFigures one = RunWindow(service, 100, 1);
    const RunFigures eight = RunWindow(service, 100, 8);
    if (!one.ended || !eight.ended) {
      state.SkipWithError("a run did not end");
      break;
    }
    state.SetIterationTime(eight.run_ms / 1000.0);
    constexpr double kLeastMs = 300 * 200.0 / 8;
    state.counters["one_ms"] = one.run_ms;
    state.counters["eight_ms"] = eight.run_ms;
    state.counters["speedup"] = one.run_ms / eight.run_ms;
    state.counters["over_least_pct"] = 100.0 * (eight.run_ms - kLeastMs) / kLeastMs;
    state.counters["most_in_flight"] = eight.most_in_flight;
    state.counters["max_gui_gap_one_ms"] = one.max_gap_ms;
    state.counters["max_gui_gap_eight_ms"] = eight.max_gap_ms;
  }
}

BENCHMARK(BM_AtOnce100)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_AtOnceMemory(benchmark::State& state) {
  searchsim::SubstituteSearchServer service;
  service.SetAnswerDelay(std::chrono::milliseconds(20));
  for (auto _ : state) {
    const RunFigures hundred = RunWindow(service, 100, 8);
    const RunFigures thousand = RunWindow(service, 1000, 8);
    if (!hundred.ended || !thousand.ended) {
      state.SkipWithError("a run did not end");
      break;
    }
    state.SetIterationTime(thousand.run_ms / 1000.0);
    state.counters["run_peak_100_kb"] = hundred.run_peak_kb;
    state.counters["run_peak_1000_kb"] = thousand.run_peak_kb;
    state.counters["grid_100_kb"] = hundred.grid_kb;
    state.counters["grid_1000_kb"] = thousand.grid_kb;
    state.counters["run_1000_ms"] = thousand.run_ms;
    state.counters["max_gui_gap_ms"] = std::max(hundred.max_gap_ms, thousand.max_gap_ms);
  }
}

BENCHMARK(BM_AtOnceMemory)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

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
