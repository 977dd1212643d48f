#include "ui/WorkerBridge.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <cassert>
#include <chrono>
#include <memory>

#include "settings/ApiCredentials.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"

namespace kelvaro {

GuiThreadBridge::GuiThreadBridge(QObject* parent) : QObject(parent) {}

GuiThreadBridge::~GuiThreadBridge() { Abandon(); }

bool GuiThreadBridge::Call(const std::function<void()>& step) {
  assert(QThread::currentThread() != thread() && "Call() from the GUI thread would deadlock");
  struct State {
    bool started = false;
    bool done = false;
  };
  auto state = std::make_shared<State>();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (abandoned_) return false;
  }
  QMetaObject::invokeMethod(
      this,
      [this, state, step] {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          if (abandoned_) return;
          state->started = true;
        }
        RunHandler(step);
        {
          std::lock_guard<std::mutex> lock(mutex_);
          state->done = true;
        }
        changed_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return state->done || (abandoned_ && !state->started); });
  return state->done;
}

bool GuiThreadBridge::Sleep(int ms) {
  if (ms <= 0) return !Abandoned();
  std::unique_lock<std::mutex> lock(mutex_);
  return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return abandoned_; });
}

void GuiThreadBridge::Abandon() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
  }
  changed_.notify_all();
}

bool GuiThreadBridge::Abandoned() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return abandoned_;
}

void GuiThreadBridge::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  abandoned_ = false;
}

QtWorkerHost::QtWorkerHost(GuiThreadBridge& bridge, const ApiCredentials& credentials,
                           std::string endpoint, Downloader download, QWidget* dialog_parent)
    : bridge_(bridge),
      credentials_(credentials),
      endpoint_(std::move(endpoint)),
      download_(std::move(download)),
      dialog_parent_(dialog_parent) {}

void QtWorkerHost::Synchronize(const std::function<void()>& step) { bridge_.Call(step); }

std::string QtWorkerHost::Download(const std::string& url) {
  if (bridge_.Abandoned()) return std::string();
  return download_(url);
}

Credentials QtWorkerHost::CurrentCredentials() { return credentials_.Get(); }

std::string QtWorkerHost::Endpoint() { return endpoint_; }

void QtWorkerHost::ShowMessage(const std::string& text) {
  bridge_.Call([&] { ShowPlainMessage(text, dialog_parent_); });
}

int QtWorkerHost::AskYesNo(const std::string& text) {
  // The answer lives on the heap: a dropped step must not leave the GUI writing into
  // this frame after the worker has moved on.
  auto answer = std::make_shared<int>(kResultNo);
  const bool ran = bridge_.Call([answer, text, parent = dialog_parent_] {
    *answer = AskConfirmation(text, kButtonYes | kButtonNo, parent);
  });
  return ran ? *answer : kResultNo;
}

void QtWorkerHost::Pause(int ms) { bridge_.Sleep(ms); }

WorkerThread::WorkerThread(std::function<void()> body, QObject* parent)
    : QThread(parent), body_(std::move(body)) {}

WorkerThread::~WorkerThread() { wait(); }

void WorkerThread::run() {
  try {
    body_();
  } catch (...) {
    // A worker reports through its host; nothing may leave the thread.
  }
}

bool StopWorkerForShutdown(WorkerThread* thread, GuiThreadBridge& bridge,
                           const std::function<void()>& request_stop, int wait_ms) {
  if (thread == nullptr || thread->isFinished()) {
    bridge.Abandon();
    return true;
  }
  if (request_stop) request_stop();
  bridge.Abandon();
  return thread->wait(QDeadlineTimer(wait_ms));
}

}  // namespace kelvaro
