#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/WorkerHost.h"
#include "ui/RunTexts.h"

class QWidget;

namespace kelvaro {

// The one choke point for calls from a worker thread onto the GUI thread. Call() queues
// a step to the GUI thread and blocks until it has run. Abandon() (GUI thread, when the
// window goes away or the process ends) drops every step not yet started and wakes the
// waiting worker, so no step ever runs on a destroyed window and no worker waits on a
// closed door. A step that has already started is always waited for, except one that
// waits for the user (CallUntilDone), which Abandon() also wakes from.
class GuiThreadBridge : public QObject {
 public:
  explicit GuiThreadBridge(QObject* parent = nullptr);
  ~GuiThreadBridge() override;

  // Worker thread only. Returns false when the step was dropped.
  bool Call(const std::function<void()>& step);
  // Worker thread only. Runs `start` on the GUI thread, which opens something the user
  // answers later without blocking the window (a box), and waits until that calls the
  // `done` it was given (on the GUI thread). Returns false when the step was dropped or
  // abandoned before `done`; a `start` that throws counts as done at once.
  bool CallUntilDone(const std::function<void(const std::function<void()>& done)>& start);
  // Sleeps up to `ms` milliseconds; returns early (false) once abandoned.
  bool Sleep(int ms);
  void Abandon();
  bool Abandoned() const;
  // Set while abandoned; a transfer under way watches it to end when the window goes away.
  const std::atomic<bool>& AbandonedFlag() const { return abandoned_; }
  // Re-opens the door for the next run (GUI thread, no worker running).
  void Reset();
  // How many workers wait in Call() or CallUntilDone() now (tests wait on it).
  int WaitingCalls() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<bool> abandoned_{false};  // changed under mutex_, so waits miss no change
  int waiting_calls_ = 0;
};

// The host both windows give their workers: steps and questions run on the GUI thread
// through the bridge, pauses and waits on the worker's own thread; it never sends a request.
class QtWorkerHost : public WorkerHost {
 public:
  using StatusSink = std::function<void(const std::string& text)>;

  // The boxes stand over `dialog_parent` and leave it usable while the worker waits.
  // `status` shows a status text on the GUI thread (may be empty).
  QtWorkerHost(GuiThreadBridge& bridge, QWidget* dialog_parent, StatusSink status = {});

  void Synchronize(const std::function<void()>& step) override;
  void ShowMessage(const std::string& text) override;
  int AskYesNo(const std::string& text) override;
  void Pause(int ms) override;
  // Ends early on Stop (checked every slice) and when the window goes away.
  bool Wait(int ms, const std::atomic<bool>& stop, int slice_ms) override;
  void ShowStatus(const std::string& text) override;

 private:
  GuiThreadBridge& bridge_;
  QWidget* dialog_parent_;
  StatusSink status_;
};

// A QThread whose run() calls one function; nothing thrown crosses the thread's edge.
class WorkerThread : public QThread {
 public:
  explicit WorkerThread(std::function<void()> body, QObject* parent = nullptr);
  ~WorkerThread() override;

  // Asks the worker to stop at its next stopping point; from any thread.
  virtual void RequestStop() {}
  // What the run cost; read once the run is over.
  virtual RunCost Cost() const { return {}; }

 protected:
  void run() override;

 private:
  std::function<void()> body_;
};

// A window's worker thread: it owns the worker (any class with Run(), RequestStop() and Cost())
// and waits for the run before the worker goes.
template <typename Worker>
class WorkerThreadOf : public WorkerThread {
 public:
  explicit WorkerThreadOf(std::unique_ptr<Worker> worker)
      : WorkerThread([w = worker.get()] { w->Run(); }), worker_(std::move(worker)) {}
  ~WorkerThreadOf() override { wait(); }

  Worker& worker() { return *worker_; }
  void RequestStop() override { worker_->RequestStop(); }
  RunCost Cost() const override {
    return worker_->Cost();
  }

 private:
  std::unique_ptr<Worker> worker_;
};

}  // namespace kelvaro
