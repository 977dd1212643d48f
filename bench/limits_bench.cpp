// A keyword run that meets the hourly limit: 10 phrases (30 queries) on SerpApi's form of the
// substitute search service, with an account that allows 5 searches per 10-second window.
// The run must end with all 30 counts and no box; it waits through the host as a window's run
// does (Retry-After, then the account request), with the product's own wait timings.
//
// 30 queries at 5 a window need 6 windows, so the last one cannot start before 50 s: that is
// the shortest possible run.
//
//   run_s       the run's wall time
//   least_s     50
//   over_pct    (run_s - least_s) / least_s
//   counts      the counts in the grid (30)
//   boxes       messages and questions shown (0)
//   waited_s    the time the run spent waiting, as the worker reports it
//
//   build/debug/bench/limits_bench   (or scripts/bench limits_bench)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "grid/ResultGridModel.h"
#include "main/KeywordWorker.h"
#include "tests/support/ServerWorkerHost.h"
#include "tools/SubstituteSearchServer.h"
#include "web/SearchService.h"

namespace kelvaro {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPhrases = 10;
constexpr int kPerWindow = 5;
constexpr int kWindowS = 10;
constexpr double kLeastS = 50;

void BM_HourlyLimitRun(benchmark::State& state) {
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  for (auto _ : state) {
    searchsim::SubstituteSearchServer service;
    searchsim::Account account;
    account.hourly_limit = kPerWindow;
    account.hour = std::chrono::seconds(kWindowS);
    service.SetAccount("limited", account);
    testing::ServerWorkerHost host;
    host.SetCredentials({"limited", "", kSerpApi, service.Endpoint()});
    ResultGridModel grid(5, 2);
    std::vector<std::string> phrases;
    for (int i = 1; i <= kPhrases; ++i) phrases.push_back("limited phrase " + std::to_string(i));
    MainForm::KeywordWorker worker(phrases, host, host.Search(), grid, {}, 0);

    const auto start = Clock::now();
    worker.Run();
    const double run_s = std::chrono::duration<double>(Clock::now() - start).count();

    int counts = 0;
    for (int row = 1; row < grid.RowCount(); ++row) {
      for (int col = 2; col <= 4; ++col) counts += grid.Cells(col, row).empty() ? 0 : 1;
    }
    state.counters["run_s"] = run_s;
    state.counters["least_s"] = kLeastS;
    state.counters["over_pct"] = (run_s - kLeastS) / kLeastS * 100;
    state.counters["counts"] = counts;
    state.counters["boxes"] =
        static_cast<double>(host.Messages().size() + host.Questions().size());
    state.counters["waited_s"] = static_cast<double>(worker.WaitedMs()) / 1000;
    if (counts != 3 * kPhrases || !host.Messages().empty() || !host.Questions().empty()) {
      state.SkipWithError("the run did not end with every count and no box");
    }
  }
}
BENCHMARK(BM_HourlyLimitRun)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace kelvaro

BENCHMARK_MAIN();
