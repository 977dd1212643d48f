// Requests per second from DownloadPage against the substitute search service over loopback:
// keeping the connection open between requests (what DownloadPage does) against opening a
// fresh connection for every request.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "tools/SearchService.h"
#include "web/CustomSearch.h"
#include "web/DownloadBackend.h"
#include "web/uHelper.h"

namespace {

kelvaro::searchsim::SearchService& Service() {
  static kelvaro::searchsim::SearchService service;
  return service;
}

void RunRequests(benchmark::State& state, kelvaro::internal::ConnectionUse use) {
  setenv("no_proxy", "127.0.0.1,localhost", 1);
  const std::string url = kelvaro::BuildQueryURL(kelvaro::QueryKind::Phrase, "red shoes",
                                                 "demo-key", "demo-cx", Service().Endpoint());
  const int connections_before = Service().ConnectionCount();
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string body = kelvaro::internal::Download(
        url, std::chrono::milliseconds(kelvaro::kReceiveTimeoutMs), use);
    if (body.empty()) {
      state.SkipWithError("empty answer");
      break;
    }
    bytes += body.size();
    benchmark::DoNotOptimize(body.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.counters["new_connections"] = Service().ConnectionCount() - connections_before;
}

// DownloadPage itself: one connection per thread, reused.
void BM_DownloadPageReuse(benchmark::State& state) {
  RunRequests(state, kelvaro::internal::ConnectionUse::kReuse);
}
BENCHMARK(BM_DownloadPageReuse)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

void BM_DownloadPageFreshConnection(benchmark::State& state) {
  RunRequests(state, kelvaro::internal::ConnectionUse::kFresh);
}
BENCHMARK(BM_DownloadPageFreshConnection)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
