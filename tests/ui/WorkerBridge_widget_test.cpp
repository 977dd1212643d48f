#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/ApiCredentials.h"
#include "tests/support/qt/ModalAnswer.h"
#include "ui/FormParts.h"
#include "ui/RunController.h"
#include "ui/WorkerBridge.h"
#include "web/CustomSearch.h"

#ifdef KELVARO_HAVE_SEARCHSIM
#include "tools/SubstituteSearchServer.h"
#endif

namespace kelvaro {
namespace {

using testing::WaitUntil;

TEST(WorkerBridgeTest, StepsRunOnTheGuiThreadInOrderWhileTheWorkerWaits) {
  GuiThreadBridge bridge;
  std::vector<int> order;
  std::atomic<bool> finished{false};
  bool all_on_gui = true;
  WorkerThread worker([&] {
    for (int i = 0; i < 20; ++i) {
      bridge.Call([&, i] {
        all_on_gui = all_on_gui && QThread::currentThread() == qApp->thread();
        order.push_back(i);
      });
      // The step has run by now: the worker sees its effect.
      if (static_cast<int>(order.size()) != i + 1) all_on_gui = false;
    }
    finished = true;
  });
  worker.start();
  WaitUntil([&] { return finished.load(); });
  worker.wait();
  ASSERT_EQ(order.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(order[i], i);
  EXPECT_TRUE(all_on_gui);
}

TEST(WorkerBridgeTest, AbandonDropsPendingStepsAndWakesSleepAndCall) {
  GuiThreadBridge bridge;
  std::atomic<bool> step_ran{false};
  std::atomic<bool> call_result{true};
  std::atomic<bool> slept_fully{true};
  WorkerThread worker([&] {
    // The GUI thread is not spinning its loop, so this call can only end by Abandon().
    call_result = bridge.Call([&] { step_ran = true; });
    slept_fully = bridge.Sleep(60000);
  });
  worker.start();
  // Wait, without running the event loop, until the worker waits inside Call().
  const QDeadlineTimer limit(20000);
  while (bridge.WaitingCalls() == 0 && !limit.hasExpired()) std::this_thread::yield();
  ASSERT_EQ(bridge.WaitingCalls(), 1);
  bridge.Abandon();
  ASSERT_TRUE(worker.wait(QDeadlineTimer(20000)));
  // The queued step is delivered now and must not run.
  QCoreApplication::sendPostedEvents(&bridge);
  EXPECT_FALSE(step_ran);
  EXPECT_FALSE(call_result);
  EXPECT_FALSE(slept_fully);
}

TEST(WorkerBridgeTest, HostAsksOnGuiThreadAndReadsCredentialsAsPair) {
  // A client that answers every GET with the URL it was asked.
  class EchoHttp : public HttpClient {
   public:
    HttpAnswer Get(const std::string& url, int /*receive_timeout_ms*/) override {
      return {"body of " + url, 200, -1, true};
    }
    HttpAnswer Post(const std::string&, const std::vector<std::string>&, const std::string&,
                    int) override {
      return {};
    }
  } echo;
  RunServices services;
  services.credentials.Set({"key-1", "cx-1"});
  services.http = &echo;
  RunController run(services, nullptr);
  const SearchSetup search = run.Search();
  std::atomic<int> answer{0};
  std::string downloaded;
  Credentials seen;
  std::atomic<bool> finished{false};
  testing::SeenBox box;
  testing::AnswerNextBox(&box, "&Yes");
  run.Start(std::make_unique<WorkerThread>([&] {
              seen = search.credentials->Get();
              downloaded = search.http->Get("u", 1000).body;
              answer = run.Host().AskYesNo(
                  "Abnormal request terminatiom. \r\n\r\nDo you wish to continue request?");
              finished = true;
            }),
            nullptr);
  WaitUntil([&] { return finished.load(); });
  run.Thread()->wait();
  EXPECT_EQ(answer, kResultYes);
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.title, "Confirm");
  EXPECT_EQ(downloaded, "body of u");
  EXPECT_EQ(seen.api_key, "key-1");
  EXPECT_EQ(seen.engine_code, "cx-1");
}

// A worker in a pause far longer than the shutdown's wait: Shutdown reports the run
// over, so the pause was cut short.
TEST(WorkerBridgeTest, ShutdownStopsAWorkerInItsPause) {
  class PausingThread : public WorkerThread {
   public:
    explicit PausingThread(WorkerHost& host)
        : WorkerThread([this, &host] {
            while (!stop_) {
              pausing_ = true;
              host.Pause(60000);
            }
          }) {}
    void RequestStop() override { stop_ = true; }
    std::atomic<bool> pausing_{false};

   private:
    std::atomic<bool> stop_{false};
  };
  RunServices services;
  RunController run(services, nullptr);
  auto thread = std::make_unique<PausingThread>(run.Host());
  PausingThread* pausing = thread.get();
  run.Start(std::move(thread), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return pausing->pausing_.load(); }));
  EXPECT_TRUE(run.Shutdown(20000));  // far below the pause: only a cut-short pause ends in time
}

#ifdef KELVARO_HAVE_SEARCHSIM
// A worker inside a transfer that would hold it far longer than the shutdown's wait (a server
// that sends a byte every few seconds, well inside the receive time-out and the transfer
// limit): Shutdown reports the run over, so closing the window ended the transfer.
TEST(WorkerBridgeTest, ShutdownEndsATransferUnderWay) {
  setenv("no_proxy", "127.0.0.1,localhost", 1);  // the request must reach the loopback server
  searchsim::SubstituteSearchServer server;
  server.InjectFault(searchsim::Fault::Drip(std::chrono::seconds(5)));
  const std::string url =
      BuildQueryURL(QueryKind::Phrase, "red shoes", "demo-key", "demo-cx", server.Endpoint());
  RunServices services;
  RunController run(services, nullptr);
  HttpAnswer answer;
  answer.complete = true;
  const SearchSetup search = run.Search();
  run.Start(std::make_unique<WorkerThread>([&] { answer = search.http->Get(url, 8000); }),
            nullptr);
  ASSERT_TRUE(WaitUntil([&] { return !server.Requests().empty(); }));
  EXPECT_TRUE(run.Shutdown(20000));  // far below the transfer limit
  EXPECT_FALSE(answer.complete);
}
#endif

// A worker waiting for the answer to its question while the window goes away: the box
// stays unanswered, and the worker is woken with No.
TEST(WorkerBridgeTest, AbandonWakesAWorkerWaitingForAnOpenBox) {
  GuiThreadBridge bridge;
  QtWorkerHost host(bridge, nullptr);
  std::atomic<int> answer{0};
  WorkerThread worker([&] { answer = host.AskYesNo("Go on?"); });
  worker.start();
  QWidget* box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = testing::OpenWorkerBox()) != nullptr; }));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(answer, 0);  // still waiting
  bridge.Abandon();
  ASSERT_TRUE(worker.wait(QDeadlineTimer(5000)));
  EXPECT_EQ(answer, kResultNo);
  // An answer given after that reaches nothing.
  testing::ClickButton(box, QStringLiteral("&Yes"));
  QCoreApplication::processEvents();
  EXPECT_EQ(answer, kResultNo);
}

// A wait's notice reaches the window's status bar, and the wait hears Stop at once.
TEST(WorkerBridgeTest, AWaitShowsItsNoticeInTheStatusBarAndEndsOnStop) {
  QMainWindow window;
  window.setStatusBar(WindowStatusBar(&window));
  RunServices services;
  RunController run(services, &window);
  std::atomic<bool> stop{false};
  std::atomic<bool> waited{true};
  auto thread = std::make_unique<WorkerThread>([&] {
    run.Host().ShowStatus("Hourly search limit reached (5 an hour). Next try at 14:05");
    waited = run.Host().Wait(3600000, stop, 50);
  });
  run.Start(std::move(thread), nullptr);
  ASSERT_TRUE(WaitUntil([&] {
    auto* label = window.statusBar()->findChild<QLabel*>(QStringLiteral("lblRunCost"));
    return label != nullptr && label->text().startsWith(QStringLiteral("Hourly search limit"));
  }));
  stop = true;
  ASSERT_TRUE(WaitUntil([&] { return run.Thread()->isFinished(); }));
  EXPECT_FALSE(waited.load());
}

// The temporary folder is found once and kept, so the chime is written and played in one.
TEST(RunServicesTest, TheTemporaryFolderIsFoundOnce) {
  RunServices services;
  const std::string first = services.ChimeFile();
  EXPECT_FALSE(services.temp_dir.empty());
  EXPECT_EQ(first, services.temp_dir + kChimeFileName);
  EXPECT_EQ(services.ChimeFile(), first);
}

}  // namespace
}  // namespace kelvaro
