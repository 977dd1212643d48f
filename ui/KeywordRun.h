#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QTimer>

#include "search/SearchSession.h"
#include "ui/PlannedCostThread.h"
#include "ui/RunController.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QStatusBar;
class QWidget;

namespace kelvaro {

// What a window hands its run: its controls, and the two things only the window knows,
// how its grid is reset and which worker it runs.
struct KeywordRunParts {
  QWidget* window = nullptr;  // the boxes stand over it
  QPlainTextEdit* memo = nullptr;
  QLabel* planned_cost = nullptr;  // beside Start: what Start will send for the memo
  QProgressBar* progress = nullptr;
  QStatusBar* status = nullptr;  // what the run cost, at its end
  QCheckBox* append = nullptr;   // the never-visible "Don't erase old results (append the new)"
  // Which run the window makes: it decides what a phrase costs (the run's plan).
  RunShape shape = RunShape::kKeywords;
  std::function<void()> reset_grid;
  // The window's worker for the memo's phrases, reaching the window through `host` and the
  // world outside through a search session made with `search`.
  std::function<std::unique_ptr<WorkerThread>(std::vector<std::string> keywords, WorkerHost& host,
                                              SearchSetup search)>
      make_worker;
  // Called with true when a run starts and with false when it ends; may be empty.
  std::function<void(bool running)> running_changed;
};

// The parts every window has, from its controls of these names; the window adds the rest.
template <typename Form>
KeywordRunParts WindowRunParts(Form* form) {
  KeywordRunParts parts;
  parts.window = form;
  parts.memo = form->Memo1;
  parts.planned_cost = form->lblCost;
  parts.progress = form->barProgress;
  parts.status = form->barStatus;
  parts.append = form->CheckBox1;
  return parts;
}

// The run both windows tell: Start refuses while a run is under way and for a blank memo,
// resets the grid, starts the window's worker, locks the memo and zeroes the progress bar;
// the run's end unlocks the memo, shows what the run cost, zeroes the bar and plays the
// chime; closing the window is refused while a run is under way. GUI thread only.
class KeywordRun {
 public:
  // `services` and the controls in `parts` outlive the run.
  KeywordRun(RunServices& services, KeywordRunParts parts);

  void btnStartClick();
  void bStopClick() { controller_.Stop(); }
  // The run's end notice.
  void HandleWorkerFinished();
  // From Start until the end notice has arrived.
  bool IsRunning() const { return controller_.IsRunning(); }
  // False (after telling the user why) while a run is under way.
  bool FormCloseQuery();
  // Keeps the line beside Start in step with the memo, the answer store and the settings: the
  // line is worked out again on another thread and shown when done. Typing calls it once the
  // typing pauses (kPlannedCostPauseMs).
  void Memo1Change();
  // The run the next Start makes (a window's switch may change what a phrase costs); the
  // line beside Start follows.
  void SetShape(RunShape shape);
  // The line beside Start has not caught up with the last change yet.
  bool PlannedCostPending() const { return cost_thread_.Pending() || cost_timer_.isActive(); }
  // See RunController::Shutdown.
  bool Shutdown() { return controller_.Shutdown(); }

  // What the window handed its run.
  const KeywordRunParts& Parts() const { return parts_; }
  // The last run's thread, or nullptr before the first Start.
  WorkerThread* Thread() const { return controller_.Thread(); }
  RunController& Controller() { return controller_; }

 private:
  RunServices& services_;
  KeywordRunParts parts_;
  RunController controller_;
  QTimer cost_timer_;  // restarted by every keystroke
  PlannedCostThread cost_thread_;
};

// How long typing pauses before the line beside Start is worked out again.
inline constexpr int kPlannedCostPauseMs = 150;

// The line beside Start for `memo_text` as a `shape` run plans it (PlanRun), with `store` (may
// be nullptr), `reuse_days` and `credentials`; `endpoint` is start-up's. Any thread.
std::string PlannedCostLine(RunShape shape, const std::string& memo_text, const AnswerStore* store,
                            int reuse_days, const Credentials& credentials,
                            const std::string& endpoint);

}  // namespace kelvaro
