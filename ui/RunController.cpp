#include "ui/RunController.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QStatusBar>
#include <utility>

#include "ui/HandlerGuard.h"
#include "ui/TextConvert.h"
#include "web/uHelper.h"

namespace kelvaro {

RunController::RunController(RunServices& services, QWidget* window)
    : timings_(services.timings) {
  Downloader download = services.download;
  QtWorkerHost::Fetcher fetch;  // a downloader of the services' own gives bodies only
  if (!download) {
    download = [](const std::string& url) { return DownloadPage(url); };
    fetch = [](const std::string& url, int timeout_ms) { return DownloadAnswer(url, timeout_ms); };
  }
  // A wait's notice goes where the run's cost goes, in the window's status bar.
  auto status = [window](const std::string& text) {
    auto* bar = window != nullptr ? window->findChild<QStatusBar*>() : nullptr;
    if (bar != nullptr) ShowRunCost(bar, text);
  };
  host_ = std::make_unique<QtWorkerHost>(bridge_, services.credentials, services.endpoint,
                                         std::move(download), window, std::move(fetch),
                                         std::move(status));
}

RunController::~RunController() {
  Shutdown();
  thread_.reset();  // waits for the run to return
}

void RunController::Start(std::unique_ptr<WorkerThread> thread, std::function<void()> on_end) {
  thread_ = std::move(thread);
  bridge_.Reset();
  ended_ = false;
  WorkerThread* started = thread_.get();
  connect(
      started, &QThread::finished, this,
      [this, started, on_end = std::move(on_end)] {
        if (started != thread_.get() || closing_for_good_) return;
        ended_ = true;
        if (on_end) RunHandler(on_end);
      },
      Qt::QueuedConnection);
  started->start();
}

void RunController::Stop() {
  if (thread_) thread_->RequestStop();
}

bool RunController::IsRunning() const { return thread_ != nullptr && !ended_; }

bool RunController::Shutdown(int wait_ms) {
  if (thread_ == nullptr || thread_->isFinished()) {
    bridge_.Abandon();
    return true;
  }
  closing_for_good_ = true;
  thread_->RequestStop();
  bridge_.Abandon();
  return thread_->wait(QDeadlineTimer(wait_ms));
}

void ShowRunCost(QStatusBar* bar, const std::string& text) {
  if (auto* label = bar->findChild<QLabel*>(QStringLiteral("lblRunCost"))) {
    label->setText(ToQString(text));
  }
}

}  // namespace kelvaro
