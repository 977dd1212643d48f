#include "ui/PlannedCostThread.h"

#include <utility>

namespace kelvaro {

PlannedCostThread::PlannedCostThread(std::function<void(const std::string&)> show)
    : show_(std::move(show)), thread_([this] { Loop(); }) {}

PlannedCostThread::~PlannedCostThread() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    waiting_.reset();
  }
  wake_.notify_one();
  thread_.join();
  // receiver_ goes after this, and with it any text still queued for the GUI thread.
}

void PlannedCostThread::Post(Job job) {
  const uint64_t number = ++posted_;
  {
    std::lock_guard lock(mutex_);
    waiting_.emplace(number, std::move(job));
  }
  wake_.notify_one();
}

void PlannedCostThread::Loop() {
  for (;;) {
    std::pair<uint64_t, Job> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || waiting_.has_value(); });
      if (quit_) return;
      job = std::move(*waiting_);
      waiting_.reset();
    }
    std::optional<std::string> text;
    try {
      text = job.second();
    } catch (...) {
      // The line keeps what it said; the next change tries again.
    }
    QMetaObject::invokeMethod(
        &receiver_,
        [this, number = job.first, text = std::move(text)] {
          if (number < posted_) return;  // a newer memo is on its way
          shown_ = number;
          if (text) show_(*text);
        },
        Qt::QueuedConnection);
  }
}

}  // namespace kelvaro
