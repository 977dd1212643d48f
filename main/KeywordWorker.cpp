#include "main/KeywordWorker.h"

#include <cstdint>
#include <utility>

#include "base/WorkerSteps.h"
#include "grid/ResultGridModel.h"
#include "main/GoldenRatio.h"
#include "web/uHelper.h"

namespace kelvaro::MainForm {

namespace {

constexpr size_t kQueriesPerKeyword = 3;

// The link keeps the query without its key: cells end up in project files.
std::string CountLink(const std::string& link, const std::string& count) {
  return "<a href=\"" + link + "\">" + count + "</a>";
}

}  // namespace

KeywordWorker::KeywordWorker(std::vector<std::string> keywords, WorkerHost& host,
                             SearchSetup search, ResultGridModel& grid, KeywordWorkerSink sink,
                             int search_delay_ms)
    : SearchRun(std::move(keywords), host, std::move(search)),
      grid_(grid),
      sink_(std::move(sink)),
      search_delay_ms_(search_delay_ms) {
  // A delay is the user asking for paced searches: one at a time.
  if (search_delay_ms_ > 0) search_.at_once = 1;
}

void KeywordWorker::Run() noexcept {
  RunSession(
      RunShape::kKeywords,
      [this](SearchSession& session) {
        volumes_ = session.AskVolumes(Keywords);
        // Stop while the volumes were asked for ends the run before its first paid query.
        if (StopRequested) return;
        // Every keyword's three queries in one plan, each keyword its group.
        std::vector<SearchQuery> queries;
        queries.reserve(kQueriesPerKeyword * Keywords.size());
        for (size_t i = 0; i < Keywords.size(); ++i) {
          for (const QueryKind kind : {QueryKind::Phrase, QueryKind::Title, QueryKind::URL}) {
            queries.push_back({kind, Keywords[i], i});
          }
        }
        session.Ask(queries, 0,
                    [&](const SearchAnswer& answer) { return OnAnswer(answer, session); });
      },
      [this] { return static_cast<int>(Keywords.size() - counted_); });
}

AnswerFlow KeywordWorker::OnAnswer(const SearchAnswer& answer, SearchSession& session) {
  const size_t i = answer.index / kQueriesPerKeyword;
  const size_t q = answer.index % kQueriesPerKeyword;
  const std::string& k = Keywords[i];
  const bool last = i + 1 == Keywords.size();
  if (answer.outcome != AnswerOutcome::kCounted) {
    // Yes goes straight on with the next keyword: no progress, no pause.
    if (!AskToContinue(host_, answer.failure, last) || StopRequested) return AnswerFlow::kEnd;
    return AnswerFlow::kSkipRest;
  }
  if (q == 0) {
    std::vector<std::string> cells = {"", k, CountLink(answer.link, answer.count), "", ""};
    if (volumes_.asked) {
      cells.push_back(volumes_.volumes[i] ? std::to_string(*volumes_.volumes[i]) : std::string());
      cells.emplace_back();
    }
    AddResultRow(std::move(cells), answer.stored_at, answer.ideas);
  } else {
    SetResultCell(q == 1 ? 3 : 4, CountLink(answer.link, answer.count), answer.stored_at);
  }
  if (q == 1 && volumes_.asked) {
    int64_t allintitle = 0;
    const std::string kgr =
        KgrText(TryStrToInt64(answer.count, allintitle) ? std::optional<int64_t>(allintitle)
                                                        : std::nullopt,
                volumes_.volumes[i]);
    if (!kgr.empty()) SetResultCell(6, kgr);
  }
  if (q + 1 < kQueriesPerKeyword) {
    SetProgress(kQueriesPerKeyword * i + q + 1);
    session.Pause(search_delay_ms_);
    return AnswerFlow::kGoOn;
  }
  ++counted_;
  if (!last) session.Pause(search_delay_ms_);
  SetProgress(kQueriesPerKeyword * (i + 1));
  if (StopRequested) return AnswerFlow::kEnd;
  // Half a second between keywords; after the last one the run simply ends.
  if (!last) session.Pause(pause_between_keywords_ms_);
  return AnswerFlow::kGoOn;
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

void KeywordWorker::AddResultRow(std::vector<std::string> cells, std::optional<int64_t> stored_at,
                                 std::vector<KeywordIdea> ideas) {
  host_.Synchronize([this, cells = std::move(cells), stored_at, ideas = std::move(ideas)] {
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
    if (sink_.KeepIdeas) sink_.KeepIdeas(cells[1], ideas);
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
