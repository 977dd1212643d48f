#include "main/KeywordWorker.h"

#include <cstdint>
#include <utility>

#include "grid/ResultGridModel.h"
#include "web/CustomSearch.h"

namespace kelvaro::MainForm {

namespace {

constexpr int kColumns = 5;
constexpr int kQueriesPerKeyword = 3;
constexpr int kPauseBetweenKeywordsMs = 500;
constexpr const char* kContinueQuestion = "\r\n\r\nDo you wish to continue request?";

// num / den to the nearest integer, halves to even (den > 0, num >= 0).
int RoundHalfEven(int64_t num, int64_t den) {
  int64_t quotient = num / den;
  const int64_t twice_rest = 2 * (num % den);
  if (twice_rest > den || (twice_rest == den && quotient % 2 != 0)) ++quotient;
  return static_cast<int>(quotient);
}

std::string CountLink(const std::string& url, const std::string& count) {
  return "<a href=\"" + url + "\">" + count + "</a>";
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
    RunKeywords();
  } catch (...) {
    // The thread's edge: a failure here ends the run like any other end.
  }
}

void KeywordWorker::RunKeywords() {
  for (size_t i = 0; i < Keywords.size(); ++i) {
    if (RunKeyword(i) == Outcome::kEnd) return;
  }
}

KeywordWorker::Outcome KeywordWorker::RunKeyword(size_t i) {
  const std::string& k = Keywords[i];
  const bool last = i + 1 == Keywords.size();
  const QueryKind kinds[kQueriesPerKeyword] = {QueryKind::Phrase, QueryKind::Title, QueryKind::URL};
  for (int q = 0; q < kQueriesPerKeyword; ++q) {
    // The key and engine code may be changed in the settings dialog during the run: read
    // them afresh for every request.
    const Credentials credentials = host_.CurrentCredentials();
    const std::string url =
        BuildQueryURL(kinds[q], k, credentials.api_key, credentials.engine_code, host_.Endpoint());
    std::string response;
    try {
      response = host_.Download(url);
    } catch (...) {
      // A failed download is an empty answer; the error path below deals with it.
    }
    std::string count;
    if (!ReadCount(response, count)) return Fail(i, response);

    if (q == 0) {
      RowCells = {"", k, CountLink(url, count), "", ""};
      AddResultRow();
    } else {
      RowCells = {CountLink(url, count)};
      CellCol = q == 1 ? 3 : 4;
      SetResultCell();
    }
    if (q < kQueriesPerKeyword - 1) {
      SetProgress(kQueriesPerKeyword * i + q + 1);
      host_.Pause(search_delay_ms_);
    }
  }
  if (!last) host_.Pause(search_delay_ms_);
  SetProgress(kQueriesPerKeyword * (i + 1));
  if (StopRequested) return Outcome::kEnd;
  // Half a second between keywords; after the last one the run simply ends.
  if (!last) host_.Pause(kPauseBetweenKeywordsMs);
  return Outcome::kNext;
}

KeywordWorker::Outcome KeywordWorker::Fail(size_t i, const std::string& response) {
  const std::string text = ErrorText(response);
  if (i + 1 == Keywords.size()) {
    host_.ShowMessage(text);
    return Outcome::kEnd;
  }
  // Yes goes straight on with the next keyword: no progress, no pause.
  return host_.AskYesNo(text + kContinueQuestion) == kResultYes ? Outcome::kNext : Outcome::kEnd;
}

void KeywordWorker::SetProgress(size_t done_queries) {
  const int64_t total = static_cast<int64_t>(kQueriesPerKeyword * Keywords.size());
  Progress = RoundHalfEven(static_cast<int64_t>(done_queries) * 100, total);
  ShowProgress();
}

// The steps below run on the GUI thread while the worker waits. Nothing thrown inside
// one may reach the event loop, so each body is guarded.

void KeywordWorker::AddResultRow() {
  host_.Synchronize([this] {
    try {
      // A freshly cleared grid has one empty data row: the first result goes there.
      int row;
      if (grid_.RowCount() == 2 && grid_.Cells(1, 1).empty() && grid_.Cells(2, 1).empty()) {
        row = 1;
      } else {
        grid_.AddRow();
        row = grid_.RowCount() - 1;
      }
      grid_.AddCheckBox(0, row, true, false);
      for (int col = 0; col < kColumns && col < static_cast<int>(RowCells.size()); ++col) {
        grid_.SetCells(col, row, RowCells[col]);
      }
    } catch (...) {
    }
  });
}

void KeywordWorker::SetResultCell() {
  host_.Synchronize([this] {
    try {
      if (!RowCells.empty()) grid_.SetCells(CellCol, grid_.RowCount() - 1, RowCells[0]);
    } catch (...) {
    }
  });
}

void KeywordWorker::ShowProgress() {
  host_.Synchronize([this] {
    try {
      if (sink_.ShowProgress) sink_.ShowProgress(Progress);
    } catch (...) {
    }
  });
}

}  // namespace kelvaro::MainForm
