#include "main/KeywordWorker.h"

#include <cstdint>
#include <utility>

#include "base/CodePage.h"
#include "base/WorkerSteps.h"
#include "grid/ResultGridModel.h"
#include "main/GoldenRatio.h"
#include "store/AnswerReuse.h"
#include "web/ServiceQuery.h"
#include "web/VolumeService.h"
#include "web/uHelper.h"

namespace kelvaro::MainForm {

namespace {

constexpr int kQueriesPerKeyword = 3;

// The link keeps the query without its key: cells end up in project files.
std::string CountLink(const std::string& url, const std::string& count) {
  return "<a href=\"" + WithoutKey(url) + "\">" + count + "</a>";
}

}  // namespace

KeywordWorker::KeywordWorker(std::vector<std::string> keywords, WorkerHost& host,
                             ResultGridModel& grid, KeywordWorkerSink sink, int search_delay_ms)
    : Keywords(std::move(keywords)),
      host_(host),
      grid_(grid),
      sink_(std::move(sink)),
      search_delay_ms_(search_delay_ms) {}

void KeywordWorker::Run() noexcept {
  try {
    AccountLimits limits(host_, StopRequested, limit_timings_);
    AnswerReuse queries(limits, host_, answer_store_, reuse_days_);
    // The rule the line beside Start follows.
    if (!queries.ConfirmStart(
            KeywordRunStartCost(answer_store_, reuse_days_, RequestSettings(host_), Keywords))) {
      return;
    }
    AskVolumes();
    // Stop while the volumes were asked for ends the run before its first paid query.
    for (size_t i = 0; i < Keywords.size() && !StopRequested; ++i) {
      if (RunKeyword(i, queries) == Outcome::kEnd) break;
    }
    stored_used_ = queries.StoredUsed();
    waited_ms_ = limits.WaitedMs();
    if (limits.RanOut()) not_counted_ = static_cast<int>(Keywords.size() - counted_);
    // An account nobody could reach during the run is not asked again.
    if (limits.Answered()) {
      searches_left_ = AskSearchesLeft(host_, limit_timings_.account_timeout_ms);
    }
  } catch (...) {
    // The thread's edge: a failure here ends the run like any other end.
  }
}

KeywordWorker::Outcome KeywordWorker::RunKeyword(size_t i, AnswerReuse& queries) {
  const std::string& k = Keywords[i];
  const bool last = i + 1 == Keywords.size();
  const QueryKind kinds[kQueriesPerKeyword] = {QueryKind::Phrase, QueryKind::Title, QueryKind::URL};
  for (int q = 0; q < kQueriesPerKeyword; ++q) {
    ServiceAnswer answer;
    std::string count;
    const AccountLimits::Action action = queries.Query(kinds[q], k, queries_sent_, answer, count);
    if (action == AccountLimits::Action::kEnd) return Outcome::kEnd;
    if (action == AccountLimits::Action::kErrorPath) {
      // Yes goes straight on with the next keyword: no progress, no pause.
      return AskToContinue(host_, answer.ErrorText(), last) ? Outcome::kNext : Outcome::kEnd;
    }

    if (q == 0) {
      std::vector<std::string> cells = {"", k, CountLink(answer.url, count), "", ""};
      if (volumes_asked_) {
        cells.push_back(volumes_[i] ? std::to_string(*volumes_[i]) : std::string());
        cells.emplace_back();
      }
      AddResultRow(std::move(cells), answer.StoredAt());
    } else {
      SetResultCell(q == 1 ? 3 : 4, CountLink(answer.url, count), answer.StoredAt());
    }
    if (q == 1 && volumes_asked_) {
      int64_t allintitle = 0;
      const std::string kgr = KgrText(
          TryStrToInt64(count, allintitle) ? std::optional<int64_t>(allintitle) : std::nullopt,
          volumes_[i]);
      if (!kgr.empty()) SetResultCell(6, kgr);
    }
    if (q < kQueriesPerKeyword - 1) {
      SetProgress(kQueriesPerKeyword * i + q + 1);
      queries.Pause(search_delay_ms_);
    }
  }
  ++counted_;
  if (!last) queries.Pause(search_delay_ms_);
  SetProgress(kQueriesPerKeyword * (i + 1));
  if (StopRequested) return Outcome::kEnd;
  // Half a second between keywords; after the last one the run simply ends.
  if (!last) queries.Pause(pause_between_keywords_ms_);
  return Outcome::kNext;
}

void KeywordWorker::AskVolumes() {
  const Credentials credentials = host_.CurrentCredentials();
  if (Trim(credentials.volume_key).empty()) return;
  volumes_asked_ = true;
  volumes_.assign(Keywords.size(), std::nullopt);
  // The service reads UTF-8; the lines are in the system's code page.
  std::vector<std::string> phrases;
  phrases.reserve(Keywords.size());
  for (const std::string& k : Keywords) phrases.push_back(ToUtf8(k, SystemCodePage()));
  const std::string url = VolumeURL(host_.Endpoint());
  const std::vector<std::string> headers = VolumeHeaders(credentials.volume_key);
  // Volumes already paid for stand in for a request, as stored counts do; the others are asked.
  std::vector<std::optional<int64_t>> asked;
  const std::vector<std::string> to_ask =
      VolumesToAsk(answer_store_, reuse_days_, credentials.volume_country, phrases, asked);
  for (const VolumeRequest& request : VolumeRequests(to_ask, credentials.volume_country)) {
    if (StopRequested) break;
    HttpAnswer http;
    try {
      http = host_.Post(url, headers, request.body);
    } catch (...) {
      // A request that throws is a failed one.
    }
    const VolumeAnswer answer = ReadVolumeAnswer(http.status, http.body, request, to_ask);
    if (answer.credits) volume_credits_left_ = answer.credits;
    if (!answer.ok) {
      volume_failure_ = FromUtf8(answer.message, SystemCodePage());
      break;
    }
    for (size_t j = 0; j < request.phrases.size(); ++j) {
      const size_t i = request.phrases[j];
      asked[i] = answer.volumes[j];
      if (asked[i] && answer_store_ != nullptr) {
        answer_store_->RecordVolume(credentials.volume_country, phrases[i], *asked[i]);
      }
    }
  }
  const std::vector<size_t> sources = VolumeSources(phrases);
  for (size_t i = 0; i < sources.size(); ++i) {
    if (sources[i] != SIZE_MAX) volumes_[i] = asked[sources[i]];
  }
}

void KeywordWorker::SetProgress(size_t done_queries) {
  const int64_t total = static_cast<int64_t>(kQueriesPerKeyword * Keywords.size());
  const int progress =
      static_cast<int>(RoundHalfEven(static_cast<int64_t>(done_queries) * 100, total));
  host_.Synchronize([this, progress] {
    if (sink_.ShowProgress) sink_.ShowProgress(progress);
  });
}

// The steps below run on the GUI thread while the worker waits; the host guards them.

void KeywordWorker::AddResultRow(std::vector<std::string> cells, std::optional<int64_t> stored_at) {
  host_.Synchronize([this, cells = std::move(cells), stored_at] {
    // A freshly cleared grid has one empty data row: the first result goes there.
    int row;
    if (grid_.RowCount() == 2 && grid_.Cells(1, 1).empty() && grid_.Cells(2, 1).empty()) {
      row = 1;
    } else {
      grid_.AddRow();
      row = grid_.RowCount() - 1;
    }
    grid_.AddCheckBox(0, row, true, false);
    for (int col = 0; col < grid_.ColCount() && col < static_cast<int>(cells.size()); ++col) {
      grid_.SetCells(col, row, cells[col]);
    }
    if (stored_at && sink_.MarkStoredCell) sink_.MarkStoredCell(2, row, *stored_at);
  });
}

void KeywordWorker::SetResultCell(int col, std::string text, std::optional<int64_t> stored_at) {
  host_.Synchronize([this, col, text = std::move(text), stored_at] {
    const int row = grid_.RowCount() - 1;
    grid_.SetCells(col, row, text);
    if (stored_at && sink_.MarkStoredCell) sink_.MarkStoredCell(col, row, *stored_at);
  });
}

}  // namespace kelvaro::MainForm
