// The answer store with 100,000 answers in it: what a lookup (before each query of a run with
// reuse on) and a record (after each answer that arrived) cost, and the cost line's count over
// a 20-phrase run's 60 queries. The store is built once, in a temporary folder.
//
//   build/<dir>/bench/answerstore_bench
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "store/AnswerStore.h"
#include "tests/support/TempDir.h"
#include "web/SearchService.h"

namespace kelvaro {
namespace {

constexpr int kPhrases = 25000;  // a phrase, title and URL answer each, and one backlink answer
constexpr int64_t kNow = 1'800'000'000;

std::string Phrase(int i) { return "phrase number " + std::to_string(i) + " for sale"; }

std::vector<SearchResult> Results(int i) {
  std::vector<SearchResult> results;
  for (int n = 1; n <= 10; ++n) {
    results.push_back({"A result title of some length, number " + std::to_string(n),
                       "https://site" + std::to_string((i * 10 + n) % 7919) + ".example/page/" +
                           std::to_string(i)});
  }
  return results;
}

struct Filled {
  testing::TempDir dir;
  std::unique_ptr<AnswerStore> store;

  Filled() {
    store = std::make_unique<AnswerStore>(dir.File("answers.sqlite"), [] { return kNow; });
    for (int i = 0; i < kPhrases; ++i) {
      store->Record({kSerpApi, "", QueryKind::Phrase, Phrase(i)}, "123456", Results(i));
      store->Record({kSerpApi, "", QueryKind::Title, Phrase(i)}, "2345");
      store->Record({kSerpApi, "", QueryKind::URL, Phrase(i)}, "345");
      store->Record(
          {kSerpApi, "", QueryKind::Backlinks, "https://site" + std::to_string(i) + ".example/"},
          "4567");
    }
  }
};

AnswerStore& Store() {
  static Filled filled;
  return *filled.store;
}

void BM_LookupPhraseWithTenResults(benchmark::State& state) {
  AnswerStore& store = Store();
  int i = 0;
  for (auto _ : state) {
    auto answer = store.Lookup({kSerpApi, "", QueryKind::Phrase, Phrase(i)}, 30);
    if (!answer || !answer->results || answer->results->size() != 10)
      state.SkipWithError("not found");
    benchmark::DoNotOptimize(answer);
    i = (i + 7919) % kPhrases;
  }
}
BENCHMARK(BM_LookupPhraseWithTenResults)->Unit(benchmark::kMicrosecond);

void BM_LookupMiss(benchmark::State& state) {
  AnswerStore& store = Store();
  int i = 0;
  for (auto _ : state) {
    auto answer = store.Lookup({kSerpApi, "", QueryKind::Phrase, "new " + Phrase(i++)}, 30);
    benchmark::DoNotOptimize(answer);
  }
}
BENCHMARK(BM_LookupMiss)->Unit(benchmark::kMicrosecond);

void BM_RecordNewPhraseWithTenResults(benchmark::State& state) {
  AnswerStore& store = Store();
  int i = 0;
  for (auto _ : state) {
    if (!store.Record({kSerpApi, "", QueryKind::Phrase, "recorded " + Phrase(i)}, "99",
                      Results(i))) {
      state.SkipWithError("not recorded");
    }
    ++i;
  }
}
BENCHMARK(BM_RecordNewPhraseWithTenResults)->Unit(benchmark::kMicrosecond);

void BM_RecordCount(benchmark::State& state) {
  AnswerStore& store = Store();
  int i = 0;
  for (auto _ : state) {
    if (!store.Record({kSerpApi, "", QueryKind::Title, Phrase(i)}, "77")) {
      state.SkipWithError("not recorded");
    }
    i = (i + 7919) % kPhrases;
  }
}
BENCHMARK(BM_RecordCount)->Unit(benchmark::kMicrosecond);

// The cost line before a 20-phrase run: its 60 queries, half of them stored.
void BM_CountFreshOf60Queries(benchmark::State& state) {
  AnswerStore& store = Store();
  std::vector<AnswerKey> queries;
  for (int p = 0; p < 20; ++p) {
    const std::string text = p % 2 == 0 ? Phrase(p * 1000) : "unseen " + Phrase(p);
    for (const QueryKind kind : {QueryKind::Phrase, QueryKind::Title, QueryKind::URL}) {
      queries.push_back({kSerpApi, "", kind, text});
    }
  }
  for (auto _ : state) {
    if (store.CountFresh(queries, 30) != 30) state.SkipWithError("wrong count");
  }
}
BENCHMARK(BM_CountFreshOf60Queries)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelvaro

BENCHMARK_MAIN();
