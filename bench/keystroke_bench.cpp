// Typing into a memo of 10,000 phrases with the answer store on: the GUI thread's time per
// keystroke (the key itself, the pause timer, showing the new line beside Start), measured as
// the GUI thread's CPU time, so the wait for the line's own thread does not count. Beside it,
// the time the line takes to work out, which every keystroke once spent on the GUI thread.
//
//   QT_QPA_PLATFORM=offscreen build/<dir>/bench/keystroke_bench
#include <benchmark/benchmark.h>
#include <time.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <memory>
#include <string>

#include "main/view/MainForm.h"
#include "store/AnswerStore.h"
#include "tests/support/TempDir.h"
#include "ui/KeywordRun.h"
#include "ui/RunServices.h"
#include "web/SearchService.h"

namespace kelvaro {
namespace {

constexpr int kPhrases = 10000;

std::string Phrase(int i) { return "keyword phrase " + std::to_string(i) + " to buy"; }

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A main window over a memo of kPhrases phrases, every one of them answered in the store.
struct Typing {
  testing::TempDir dir;
  std::unique_ptr<AnswerStore> store;
  RunServices services;
  std::unique_ptr<Tfrm> frm;
  std::string memo;

  Typing() {
    store = std::make_unique<AnswerStore>(dir.File("answers.sqlite"));
    for (int i = 0; i < kPhrases; ++i) {
      memo += Phrase(i) + "\n";
      for (const QueryKind kind : {QueryKind::Phrase, QueryKind::Title, QueryKind::URL}) {
        store->Record({kSerpApi, "", kind, Phrase(i)}, "1234");
      }
    }
    services.answers = store.get();
    services.reuse_days = 30;
    services.credentials.Set({"key", "", kSerpApi, ""});
    frm = std::make_unique<Tfrm>(MainFormEnvironment{}, services);
    frm->show();
    frm->Memo1->setPlainText(QString::fromStdString(memo));
    frm->Memo1->moveCursor(QTextCursor::End);
    frm->Memo1->setFocus();
    Settle();
  }
  ~Typing() { frm.reset(); }
  void Settle() {
    while (frm->Run().PlannedCostPending()) {
      // Sleeps until the next event (the pause timer, the line's text): no busy waiting.
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  }
};

// Made by the first benchmark; main() drops it before the application goes.
std::unique_ptr<Typing> typing_window;

Typing& Window() {
  if (!typing_window) typing_window = std::make_unique<Typing>();
  return *typing_window;
}

// One key typed, then everything the GUI thread does until the line beside Start shows it.
void BM_KeystrokeGuiThreadTime(benchmark::State& state) {
  Typing& typing = Window();
  for (auto _ : state) {
    const double start = ThreadCpuSeconds();
    QTest::keyClick(typing.frm->Memo1, Qt::Key_X);
    typing.Settle();
    state.SetIterationTime(ThreadCpuSeconds() - start);
  }
  state.counters["phrases"] = kPhrases;
}
BENCHMARK(BM_KeystrokeGuiThreadTime)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

// The line itself (phrases, stored answers, credits), as the line's thread works it out.
void BM_PlannedCostLine(benchmark::State& state) {
  Typing& typing = Window();
  const Credentials credentials = typing.services.credentials.Get();
  for (auto _ : state) {
    const std::string line = PlannedCostLine(RunShape::kKeywords, typing.memo,
                                             typing.store.get(), 30, credentials, "");
    benchmark::DoNotOptimize(line);
  }
}
BENCHMARK(BM_PlannedCostLine)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace kelvaro

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  kelvaro::typing_window.reset();
  benchmark::Shutdown();
  return 0;
}
