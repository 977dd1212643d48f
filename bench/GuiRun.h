#pragma once

// One run of the main window as a person starts it, timed from the GUI thread: Start pressed,
// the event loop run until the end notice is handled (the progress back at 0 after 100), and
// the longest gap between the ticks of a 5 ms timer meanwhile (the GUI thread must never wait
// on the network or the worker).

#include <QEventLoop>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>

#include "main/view/MainForm.h"

namespace kelvaro::bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct GuiRun {
  bool ended = false;         // the end notice came within the limit
  double run_ms = 0;          // Start pressed -> end notice handled
  double last_count_ms = 0;   // Start pressed -> progress 100
  double max_gui_gap_ms = 0;  // longest time between two ticks of the 5 ms timer
};

// Presses `frm`'s Start and waits at most `limit_ms` for the run to end; `on_tick` (may be
// empty) runs at every tick of the timer, on the GUI thread.
inline GuiRun RunStartToEnd(Tfrm& frm, int limit_ms, const std::function<void()>& on_tick = {}) {
  GuiRun result;
  QEventLoop loop;
  Clock::time_point started, last_count, ended;
  bool seen_full = false;
  const QMetaObject::Connection progress =
      QObject::connect(frm.barProgress, &QProgressBar::valueChanged, [&](int value) {
        if (value == 100) {
          seen_full = true;
          last_count = Clock::now();
        } else if (value == 0 && seen_full) {
          ended = Clock::now();
          result.ended = true;
          loop.quit();
        }
      });
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(5);
  Clock::time_point last_tick;
  bool ticking = false;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const auto now = Clock::now();
    if (ticking) result.max_gui_gap_ms = std::max(result.max_gui_gap_ms, Ms(now - last_tick));
    last_tick = now;
    ticking = true;
    if (on_tick) on_tick();
  });
  ticker.start();
  QTimer::singleShot(0, [&] {
    started = Clock::now();
    frm.bStart->click();
  });
  QTimer::singleShot(limit_ms, &loop, &QEventLoop::quit);  // a hung run ends the benchmark
  loop.exec();
  ticker.stop();
  QObject::disconnect(progress);
  if (result.ended) {
    result.run_ms = Ms(ended - started);
    result.last_count_ms = Ms(last_count - started);
  }
  return result;
}

}  // namespace kelvaro::bench
