#include "ui/WorkerBridge.h"

#include <QMetaObject>
#include <QPointer>
#include <cassert>
#include <chrono>
#include <memory>

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
  ++waiting_calls_;
  changed_.wait(lock, [&] { return state->done || (abandoned_ && !state->started); });
  --waiting_calls_;
  return state->done;
}

bool GuiThreadBridge::CallUntilDone(
    const std::function<void(const std::function<void()>& done)>& start) {
  assert(QThread::currentThread() != thread() && "CallUntilDone() from the GUI thread");
  auto done_flag = std::make_shared<bool>(false);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (abandoned_) return false;
  }
  QMetaObject::invokeMethod(
      this,
      [this, done_flag, start] {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          if (abandoned_) return;
        }
        // The box may be answered after this bridge has gone with its window.
        QPointer<GuiThreadBridge> bridge(this);
        const std::function<void()> done = [bridge, done_flag] {
          if (bridge.isNull()) return;
          {
            std::lock_guard<std::mutex> lock(bridge->mutex_);
            *done_flag = true;
          }
          bridge->changed_.notify_all();
        };
        bool started = false;
        RunHandler([&] {
          start(done);
          started = true;
        });
        if (!started) done();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(mutex_);
  ++waiting_calls_;
  changed_.wait(lock, [&] { return *done_flag || abandoned_; });
  --waiting_calls_;
  return *done_flag;
}

bool GuiThreadBridge::Sleep(int ms) {
  if (ms <= 0) return !Abandoned();
  std::unique_lock<std::mutex> lock(mutex_);
  return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return abandoned_.load(); });
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

int GuiThreadBridge::WaitingCalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_calls_;
}

void GuiThreadBridge::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  abandoned_ = false;
}

QtWorkerHost::QtWorkerHost(GuiThreadBridge& bridge, QWidget* dialog_parent, StatusSink status)
    : WorkerHost(&NoticeText),
      bridge_(bridge),
      dialog_parent_(dialog_parent),
      status_(std::move(status)) {}

void QtWorkerHost::Synchronize(const std::function<void()>& step) { bridge_.Call(step); }

void QtWorkerHost::ShowMessage(const std::string& text) {
  bridge_.CallUntilDone([text, parent = dialog_parent_](const std::function<void()>& done) {
    OpenMessageBox(MessageKind::kPlain, text, kButtonOk, parent, [done](int) { done(); });
  });
}

int QtWorkerHost::AskYesNo(const std::string& text) {
  // The answer lives on the heap: abandoning the window wakes the worker while the box
  // may still be open, and an answer given after that must not write into this frame.
  auto answer = std::make_shared<int>(kResultNo);
  const bool answered = bridge_.CallUntilDone(
      [answer, text, parent = dialog_parent_](const std::function<void()>& done) {
        OpenMessageBox(MessageKind::kConfirmation, text, kButtonYes | kButtonNo, parent,
                       [answer, done](int result) {
                         *answer = result;
                         done();
                       });
      });
  return answered ? *answer : kResultNo;
}

void QtWorkerHost::Pause(int ms) { bridge_.Sleep(ms); }

bool QtWorkerHost::Wait(int ms, const std::atomic<bool>& stop, int slice_ms) {
  if (slice_ms < 1) slice_ms = 1;
  while (ms > 0) {
    if (stop) return false;
    const int slice = ms < slice_ms ? ms : slice_ms;
    if (!bridge_.Sleep(slice)) return false;
    ms -= slice;
  }
  return !stop;
}

void QtWorkerHost::ShowStatus(const std::string& text) {
  if (!status_) return;
  bridge_.Call([this, text] { status_(text); });
}

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

}  // namespace kelvaro
