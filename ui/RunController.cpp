#include "ui/RunController.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <QLabel>
#include <QStatusBar>
#include <utility>

#include "ui/HandlerGuard.h"
#include "ui/TextConvert.h"

namespace kelvaro {

RunController::RunController(RunServices& services, QWidget* window)
    : services_(services), timings_(services.timings) {
  // A wait's notice goes where the run's cost goes, in the window's status bar.
  auto status = [window](const std::string& text) {
    auto* bar = window != nullptr ? window->findChild<QStatusBar*>() : nullptr;
    if (bar != nullptr) ShowRunCost(bar, text);
  };
  host_ = std::make_unique<QtWorkerHost>(bridge_, window, std::move(status));
  http_ = std::make_unique<WindowHttp>(services.http, bridge_.AbandonedFlag());
}

SearchSetup RunController::Search() {
  SearchSetup setup;
  setup.credentials = &services_.credentials;
  setup.endpoint = services_.endpoint;
  setup.http = http_.get();
  setup.store = services_.answers;
  setup.reuse_days = services_.reuse_days;
  setup.at_once = std::clamp(services_.searches_at_once, 1, kMaxSearchesAtOnce);
  setup.limits.tasks_ready_interval_ms = services_.timings.tasks_ready_interval_ms;
  return setup;
}

HttpAnswer RunController::WindowHttp::Get(const std::string& url, int receive_timeout_ms) {
  if (abandoned_) return HttpAnswer();
  return Client().Get(url, receive_timeout_ms);
}

HttpAnswer RunController::WindowHttp::Post(const std::string& url,
                                           const std::vector<std::string>& headers,
                                           const std::string& body, int receive_timeout_ms) {
  if (abandoned_) return HttpAnswer();
  return Client().Post(url, headers, body, receive_timeout_ms);
}

HttpAnswer RunController::WindowHttp::GetWithHeaders(const std::string& url,
                                                     const std::vector<std::string>& headers,
                                                     int receive_timeout_ms) {
  if (abandoned_) return HttpAnswer();
  return Client().GetWithHeaders(url, headers, receive_timeout_ms);
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
