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
#include "web/ServiceQuery.h"
#include "web/uHelper.h"

namespace kelvaro {

KeywordRun::KeywordRun(RunServices& services, KeywordRunParts parts)
    : services_(services), parts_(std::move(parts)), controller_(services, parts_.window) {
  // The controller as the context: the connection goes with the run.
  QObject::connect(parts_.memo, &QPlainTextEdit::textChanged, &controller_,
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
  controller_.Start(parts_.make_worker(KeywordLines(memo_text), controller_.Host()),
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

void KeywordRun::Memo1Change() {
  const std::string memo_text = FromQString(parts_.memo->toPlainText());
  const std::size_t phrases = StartPhraseCount(memo_text);
  const std::vector<std::string> lines = KeywordLines(memo_text);
  const std::size_t credits = parts_.volume_credits ? parts_.volume_credits(lines) : 0;
  std::string text = PlannedCostText(phrases, parts_.queries_per_phrase, parts_.up_to, credits);
  if (phrases > 0 && parts_.start_cost && services_.answers != nullptr &&
      services_.reuse_days > 0) {
    const StartCost cost =
        parts_.start_cost(services_.answers, services_.reuse_days,
                          RequestSettings(services_.credentials.Get(), services_.endpoint), lines);
    text = PlannedQueriesText(phrases, cost.queries, cost.stored, parts_.up_to, credits);
  }
  parts_.planned_cost->setText(ToQString(text));
}

}  // namespace kelvaro
