#include "deep/DeepAnalysisWorker.h"

#include <utility>

#include "base/CodePage.h"
#include "base/WorkerSteps.h"
#include "grid/CellMarkup.h"
#include "grid/ResultGridModel.h"

namespace kelvaro::DeepAnalysisForm {

namespace {

constexpr int kColumns = 4;
constexpr const char* kAveragesText = "<b>Averages:</b>";

std::string Bold(const std::string& text) { return "<b>" + text + "</b>"; }

}  // namespace

std::string FormatAverage(int64_t sum, int64_t counted) {
  const int64_t mean = RoundHalfEven(sum, counted);
  if (mean == 0) return Bold("");
  const std::string digits = std::to_string(mean);
  std::string grouped;
  const size_t first = digits[0] == '-' ? 1 : 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > first && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return Bold(grouped);
}

DeepAnalysisWorker::DeepAnalysisWorker(std::vector<std::string> keywords, WorkerHost& host,
                                       SearchSetup search, ResultGridModel& grid,
                                       DeepAnalysisWorkerSink sink, bool autofit)
    : SearchRun(std::move(keywords), host, std::move(search)),
      grid_(grid),
      sink_(std::move(sink)),
      autofit_(autofit) {}

void DeepAnalysisWorker::Run() noexcept {
  RunSession(
      RunShape::kDeepAnalysis,
      [this](SearchSession& session) {
        if (FirstPass(session)) SecondPass(session);
      },
      // A phrase whose results did not all get their backlink counts is not counted either.
      [this] { return static_cast<int>(Keywords.size() - counted_ + listed_ - averaged_); });
}

bool DeepAnalysisWorker::FirstPass(SearchSession& session) {
  StartRowCount = ReadRowCount();
  const size_t n = Keywords.size();
  std::vector<SearchQuery> queries;
  queries.reserve(n);
  for (size_t i = 0; i < n; ++i) queries.push_back({QueryKind::Phrase, Keywords[i], i});
  return session.Ask(queries, kMaxResults, [&](const SearchAnswer& answer) {
    const size_t i = answer.index;
    const std::string& k = Keywords[i];
    if (answer.outcome != AnswerOutcome::kCounted) {
      // Yes goes straight on with the next phrase: no progress, no pause.
      return AskToContinue(host_, answer.failure, i + 1 == n) ? AnswerFlow::kSkipRest
                                                                 : AnswerFlow::kEnd;
    }
    ++counted_;
    AddResultRow({"", Bold(k), Bold(answer.count), ""}, 2, answer.stored_at);
    if (!answer.has_result_list) {
      host_.Tell({RunNotice::Kind::kEmptyResult});
      return AnswerFlow::kSkipRest;
    }
    // One row per result the answer lists; a shorter list gives fewer rows.
    // The answers' texts are UTF-8; the grid's are in the system's code page.
    const unsigned code_page = SystemCodePage();
    for (size_t r = 0; r < answer.results.size(); ++r) {
      AddResultRow({std::to_string(r + 1),
                    LiteralCellText(FromUtf8(answer.results[r].title, code_page)),
                    FromUtf8(answer.results[r].link, code_page), ""});
    }
    AddResultRow({"", "", kAveragesText, ""});
    ++listed_;
    AddResultRow({"", "", "", ""});

    ShowProgress(static_cast<int>(
        RoundHalfEven(static_cast<int64_t>(i + 1) * 20, static_cast<int64_t>(n + 1))));
    if (StopRequested) return AnswerFlow::kEnd;
    // Half a second between phrases; the second pass follows the last one at once.
    if (i + 1 < n) session.Pause(pause_between_phrases_ms_);
    return AnswerFlow::kGoOn;
  });
}

void DeepAnalysisWorker::SecondPass(SearchSession& session) {
  const int s = StartRowCount;
  const int e = ReadRowCount();
  // The result rows' links, each its own query; the averages rows close a phrase.
  std::vector<SearchQuery> queries;
  std::vector<int> query_rows;
  std::vector<int> averages_rows;
  for (int r = s + 1; r <= e - 1; ++r) {
    const std::vector<std::string> cells = ReadRowCells(r);
    const std::string c2 = cells.size() > 2 ? cells[2] : std::string();
    if (c2 == kAveragesText) {
      averages_rows.push_back(r);
    } else if (!c2.empty() && c2.compare(0, 3, "<b>") != 0) {  // not a spacer or phrase row
      queries.push_back({QueryKind::Backlinks, c2, queries.size()});
      query_rows.push_back(r);
    }
  }
  // 64-bit: the counts of ten well-linked pages overflow 32 bits easily.
  int64_t counted = 0;
  int64_t sum = 0;
  size_t next_average = 0;
  // Writes the averages of the phrases whose rows end before `row`.
  const auto average_before = [&](int row) {
    for (; next_average < averages_rows.size() && averages_rows[next_average] < row;
         ++next_average) {
      ++averaged_;
      if (counted > 0) SetResultCell(3, averages_rows[next_average], FormatAverage(sum, counted));
      counted = 0;
      sum = 0;
    }
  };
  size_t handed = 0;  // answers handed on
  const bool more = session.Ask(queries, 0, [&](const SearchAnswer& answer) {
    const int r = query_rows[answer.index];
    handed = answer.index + 1;
    average_before(r);
    if (answer.outcome != AnswerOutcome::kCounted) {
      const bool end = !AskToContinue(host_, answer.failure, r == e - 1);
      if (end) handed = queries.size();  // the run ends here, averages and all
      return end ? AnswerFlow::kEnd : AnswerFlow::kSkipRest;
    }
    SetResultCell(3, r, answer.count, answer.stored_at);
    sum += ParseCount(answer.count);
    ++counted;
    ShowProgress(static_cast<int>(
                     RoundHalfEven((static_cast<int64_t>(r) - s + 1) * 80,
                                   static_cast<int64_t>(e) - s + 1)) +
                 20);
    if (!StopRequested) return AnswerFlow::kGoOn;
    handed = queries.size();
    return AnswerFlow::kEnd;
  });
  // A run the session ended (the searches ran out) still closes the phrases before the
  // query it could not ask.
  if (more) {
    average_before(e);
  } else if (handed < queries.size()) {
    average_before(query_rows[handed]);
  }
}

// The steps below run on the GUI thread while the worker waits; the host guards them. A
// step the host drops (its window is gone) hands back nothing: no rows, no cells.

int DeepAnalysisWorker::ReadRowCount() {
  int rows = 0;
  host_.Synchronize([this, &rows] { rows = grid_.RowCount(); });
  return rows;
}

void DeepAnalysisWorker::AddResultRow(std::vector<std::string> cells, int stored_col,
                                      std::optional<int64_t> stored_at) {
  host_.Synchronize([this, cells = std::move(cells), stored_col, stored_at] {
    // Always appended: the grid's empty row 1 stays above the results.
    grid_.AddRow();
    const int row = grid_.RowCount() - 1;
    for (int col = 0; col < kColumns && col < static_cast<int>(cells.size()); ++col) {
      grid_.SetCells(col, row, cells[col]);
    }
    if (stored_at && sink_.MarkStoredCell) sink_.MarkStoredCell(stored_col, row, *stored_at);
    if (autofit_) {
      grid_.SetAutoSizeGrowOnly(true);
      if (sink_.AutoFitColumns) sink_.AutoFitColumns();
    }
  });
}

std::vector<std::string> DeepAnalysisWorker::ReadRowCells(int row) {
  std::vector<std::string> cells;
  host_.Synchronize([this, row, &cells] {
    for (int col = 0; col < kColumns; ++col) cells.push_back(grid_.Cells(col, row));
  });
  return cells;
}

void DeepAnalysisWorker::SetResultCell(int col, int row, std::string text,
                                       std::optional<int64_t> stored_at) {
  host_.Synchronize([this, col, row, text = std::move(text), stored_at] {
    grid_.SetCells(col, row, text);
    if (stored_at && sink_.MarkStoredCell) sink_.MarkStoredCell(col, row, *stored_at);
  });
}

void DeepAnalysisWorker::ShowProgress(int progress) {
  host_.Synchronize([this, progress] {
    if (sink_.ShowProgress) sink_.ShowProgress(progress);
  });
}

XlsxSheet TopResultsSheet() {
  XlsxSheet sheet;
  sheet.name = "Deep Analysis";
  sheet.columns = {XlsxColumn::kNumber, XlsxColumn::kText, XlsxColumn::kNumberOrText,
                   XlsxColumn::kNumber};
  return sheet;
}

}  // namespace kelvaro::DeepAnalysisForm
