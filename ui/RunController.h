#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "search/SearchSession.h"
#include "ui/RunServices.h"
#include "ui/WorkerBridge.h"
#include "web/HttpClient.h"

class QStatusBar;
class QWidget;

namespace kelvaro {

// A window's run: the worker thread, the bridge and host it reaches the window through,
// and whether the window is closing for good. Both windows start, stop, end and shut
// down their runs through one of these. GUI thread only.
class RunController : public QObject {
 public:
  // `services` outlive the controller; the worker's boxes stand over `window`.
  RunController(RunServices& services, QWidget* window);
  // Shuts the run down and waits for its thread.
  ~RunController() override;

  // What the window's worker is given to reach back.
  WorkerHost& Host() { return *host_; }
  // What the window's worker reaches the world outside with, as the settings are at Start:
  // the credentials, start-up's endpoint, the answer store and its reuse days, and an HTTP
  // client that sends nothing more once the window goes away.
  SearchSetup Search();

  // Starts `thread` (a run already over is discarded first). `on_end` runs on the GUI
  // thread, inside RunHandler, once the thread has finished, unless the run was shut
  // down before.
  void Start(std::unique_ptr<WorkerThread> thread, std::function<void()> on_end);
  // Asks the worker to stop at its next stopping point.
  void Stop();
  // From Start until the end notice has arrived.
  bool IsRunning() const;
  // Ends a run still going for good (its window goes away, or the process ends): drops
  // the worker's pending steps and open boxes, tells it to stop and waits up to
  // `wait_ms` for it; a transfer under way ends within a fraction of a second. Returns true
  // when no thread is left running; false when the worker is still busy (it can reach
  // nothing any more).
  bool Shutdown(int wait_ms);
  // The same with the services' shutdown wait.
  bool Shutdown() { return Shutdown(timings_.shutdown_wait_ms); }

  // The run's thread, or nullptr before the first Start.
  WorkerThread* Thread() const { return thread_.get(); }
  // The bridge (tests watch its steps).
  GuiThreadBridge& Bridge() { return bridge_; }

 private:
  // The window's requests: the services' client or the platform's, closed when the window goes.
  class WindowHttp final : public HttpClient {
   public:
    WindowHttp(HttpClient* given, const std::atomic<bool>& abandoned)
        : given_(given), abandoned_(abandoned), platform_(&abandoned) {}
    HttpAnswer Get(const std::string& url, int receive_timeout_ms) override;
    HttpAnswer Post(const std::string& url, const std::vector<std::string>& headers,
                    const std::string& body, int receive_timeout_ms) override;
    // The platform's batch ends its transfers once the window has gone.
    std::unique_ptr<HttpBatch> StartBatch() override { return Client().StartBatch(); }
    HttpAnswer GetWithHeaders(const std::string& url, const std::vector<std::string>& headers,
                              int receive_timeout_ms) override;

   private:
    HttpClient& Client() { return given_ != nullptr ? *given_ : platform_; }
    HttpClient* const given_;
    const std::atomic<bool>& abandoned_;
    PlatformHttpClient platform_;
  };

  RunServices& services_;
  const RunTimings& timings_;
  GuiThreadBridge bridge_;
  std::unique_ptr<QtWorkerHost> host_;
  std::unique_ptr<WindowHttp> http_;
  std::unique_ptr<WorkerThread> thread_;
  bool ended_ = true;
  bool closing_for_good_ = false;
};

// Shows `text` (what a run cost) in `bar` (made by WindowStatusBar), on a label of its own
// that passing messages such as hints cover only while they show.
void ShowRunCost(QStatusBar* bar, const std::string& text);

}  // namespace kelvaro
