#include "ui/KeywordRun.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <utility>

#include "base/KeywordLines.h"
#include "ui/FormParts.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBox.h"
#include "ui/RunTexts.h"
#include "ui/TextConvert.h"
#include "web/uHelper.h"

namespace kelvaro {

KeywordRun::KeywordRun(RunServices& services, KeywordRunParts parts)
    : services_(services),
      parts_(std::move(parts)),
      controller_(services, parts_.window),
      cost_thread_([label = parts_.planned_cost](const std::string& text) {
        label->setText(ToQString(text));
      }) {
  cost_timer_.setSingleShot(true);
  cost_timer_.setInterval(kPlannedCostPauseMs);
  // The controller as the context: the connections go with the run.
  QObject::connect(parts_.memo, &QPlainTextEdit::textChanged, &controller_,
                   [this] { cost_timer_.start(); });
  QObject::connect(&cost_timer_, &QTimer::timeout, &controller_,
                   [this] { RunHandler([this] { Memo1Change(); }); });
  Memo1Change();
}

void KeywordRun::btnStartClick() {
  if (IsRunning()) {
    ShowInformation(kAnalyzingText, parts_.window);
    return;
  }
  const std::string memo_text = FromQString(parts_.memo->toPlainText());
  if (Trim(memo_text).empty()) {
    ShowInformation(kNoKeywordsText, parts_.window);
    return;
  }
  if (parts_.append == nullptr || !parts_.append->isChecked()) parts_.reset_grid();
  controller_.Start(
      parts_.make_worker(KeywordLines(memo_text), controller_.Host(), controller_.Search()),
                    [this] { HandleWorkerFinished(); });
  LockKeywordMemo(parts_.memo, true);
  parts_.progress->setValue(0);
  if (parts_.running_changed) parts_.running_changed(true);
}

void KeywordRun::HandleWorkerFinished() {
  if (parts_.running_changed) parts_.running_changed(false);
  LockKeywordMemo(parts_.memo, false);
  parts_.progress->setValue(0);
  ShowRunCost(parts_.status, RunCostText(controller_.Thread()->Cost()));
  // The run's answers are stored now.
  Memo1Change();
  // No temporary folder: no sound, and the end of the run stands.
  services_.chime.Play(services_.ChimePath());
}

bool KeywordRun::FormCloseQuery() {
  if (!IsRunning()) return true;
  ShowInformation(kAnalyzingText, parts_.window);
  return false;
}

void KeywordRun::SetShape(RunShape shape) {
  parts_.shape = shape;
  Memo1Change();
}

void KeywordRun::Memo1Change() {
  cost_timer_.stop();
  // Everything the line depends on, read here on the GUI thread and handed over as values.
  cost_thread_.Post([shape = parts_.shape, memo_text = FromQString(parts_.memo->toPlainText()),
                     store = services_.answers, reuse_days = services_.reuse_days,
                     credentials = services_.credentials.Get(), endpoint = services_.endpoint] {
    return PlannedCostLine(shape, memo_text, store, reuse_days, credentials, endpoint);
  });
}

std::string PlannedCostLine(RunShape shape, const std::string& memo_text, const AnswerStore* store,
                            int reuse_days, const Credentials& credentials,
                            const std::string& endpoint) {
  // Only the backlink counts make a Deep Analysis cost a bound rather than a figure.
  const bool deep = shape == RunShape::kDeepAnalysis;
  const std::size_t phrases = StartPhraseCount(memo_text);
  if (phrases == 0) {
    return PlannedCostText(0, deep ? kDeepAnalysisMaxQueriesPerPhrase : kKeywordRunQueriesPerPhrase,
                           deep);
  }
  const RunPlan plan =
      PlanRun(shape, KeywordLines(memo_text), credentials, endpoint, store, reuse_days);
  if (plan.dollars) {
    return PlannedTasksText(phrases, plan.queries, plan.stored, plan.queued, deep, *plan.dollars,
                            plan.volume_credits);
  }
  return PlannedQueriesText(phrases, plan.queries, plan.stored, deep, plan.volume_credits);
}

}  // namespace kelvaro
