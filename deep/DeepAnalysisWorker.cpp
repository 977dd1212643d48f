#include "deep/DeepAnalysisWorker.h"

#include <unordered_map>
#include <utility>

#include "base/CodePage.h"
#include "base/WorkerSteps.h"
#include "deep/ForumPages.h"
#include "grid/CellMarkup.h"
#include "grid/ResultGridModel.h"
#include "web/DomainRankService.h"
#include "web/uHelper.h"

namespace kelvaro::DeepAnalysisForm {

namespace {

constexpr int kColumns = 4;
constexpr const char* kAveragesText = "<b>Averages:</b>";

std::string Bold(const std::string& text) { return "<b>" + text + "</b>"; }

constexpr char kRankTitle[] = "Domain Rank";
constexpr char kForumsTitle[] = "Forums";
constexpr int kRankWidth = 80;
constexpr int kForumsWidth = 55;
constexpr uint32_t kForumGreen = 0x00FF00;

}  // namespace

int ForumsColumn(bool ranks) { return ranks ? kRankColumn + 1 : kRankColumn; }

bool WantsDomainRanks(const Credentials& credentials) { return !Trim(credentials.rank_key).empty(); }

bool HasRankColumn(const ResultGridModel& grid) {
  return grid.ColCount() > kRankColumn && grid.Cells(kRankColumn, 0) == kRankTitle;
}

void ShowSignalColumns(ResultGridModel& grid, bool ranks) {
  const int forums = ForumsColumn(ranks);
  if (grid.ColCount() == forums + 1 && HasRankColumn(grid) == ranks &&
      grid.Cells(forums, 0) == kForumsTitle) {
    return;
  }
  grid.SetColCount(forums + 1);
  if (ranks) {
    grid.SetCells(kRankColumn, 0, kRankTitle);
    grid.SetColWidths(kRankColumn, kRankWidth);
  }
  grid.SetCells(forums, 0, kForumsTitle);
  grid.SetColWidths(forums, kForumsWidth);
}

std::string FormatAverageRank(const std::vector<std::optional<double>>& ranks) {
  double sum = 0;
  size_t counted = 0;
  for (const std::optional<double>& rank : ranks) {
    if (!rank) continue;
    sum += *rank;
    ++counted;
  }
  if (counted == 0) return std::string();
  return Bold(FormatRank(sum / static_cast<double>(counted)));
}

std::string FormatForumCount(size_t forums) { return Bold(std::to_string(forums)); }

std::optional<uint32_t> TopResultsCellColor(const ResultGridModel& grid, int col, int row) {
  if (row <= 0 || col != ForumsColumn(HasRankColumn(grid)) || col >= grid.ColCount()) {
    return std::nullopt;
  }
  if (grid.Cells(2, row) != kAveragesText) return std::nullopt;
  const std::string& count = grid.Cells(col, row);
  if (count.empty() || count == FormatForumCount(0)) return std::nullopt;
  return kForumGreen;
}

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
      ask_backlinks_ ? RunShape::kDeepAnalysis : RunShape::kDeepAnalysisWithoutBacklinks,
      [this](SearchSession& session) {
        ranks_shown_ = session.AsksDomainRanks();
        ShowSignalColumns(ranks_shown_);
        if (!FirstPass(session)) return;
        RankPass(session);
        if (ask_backlinks_) SecondPass(session);
      },
      // A phrase whose results did not all get their backlink counts is not counted either.
      [this] {
        const size_t unaveraged = ask_backlinks_ ? listed_ - averaged_ : 0;
        return static_cast<int>(Keywords.size() - counted_ + unaveraged);
      });
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
    ListedPhrase listed;
    size_t forums = 0;
    for (size_t r = 0; r < answer.results.size(); ++r) {
      const std::string& link = answer.results[r].link;
      listed.rows.push_back(AddResultRow({std::to_string(r + 1),
                                          LiteralCellText(FromUtf8(answer.results[r].title, code_page)),
                                          FromUtf8(link, code_page), ""}));
      listed.domains.push_back(RankDomain(link));
      if (IsForumPage(link)) ++forums;
    }
    listed.averages_row = AddResultRow({"", "", kAveragesText, ""});
    SetResultCell(ForumsColumn(ranks_shown_), listed.averages_row, FormatForumCount(forums));
    listed_phrases_.push_back(std::move(listed));
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

void DeepAnalysisWorker::RankPass(SearchSession& session) {
  if (!ranks_shown_ || StopRequested) return;
  std::vector<std::string> links;
  for (const ListedPhrase& phrase : listed_phrases_) {
    links.insert(links.end(), phrase.domains.begin(), phrase.domains.end());
  }
  const std::vector<std::string> domains = RankDomains(links);
  if (domains.empty()) return;
  const DomainRanks answer = session.AskDomainRanks(domains);
  if (!answer.asked) return;
  std::unordered_map<std::string, double> rank_of;
  for (size_t i = 0; i < domains.size() && i < answer.ranks.size(); ++i) {
    if (answer.ranks[i]) rank_of.emplace(domains[i], *answer.ranks[i]);
  }
  // A failed request leaves the column empty; the status line says why.
  if (rank_of.empty()) return;
  for (const ListedPhrase& phrase : listed_phrases_) {
    std::vector<std::optional<double>> ranks;
    for (size_t r = 0; r < phrase.rows.size(); ++r) {
      const auto found = rank_of.find(phrase.domains[r]);
      ranks.push_back(found == rank_of.end() ? std::nullopt : std::optional(found->second));
      if (ranks.back() && phrase.rows[r] >= 0) {
        SetResultCell(kRankColumn, phrase.rows[r], FormatRank(*ranks.back()));
      }
    }
    const std::string average = FormatAverageRank(ranks);
    if (!average.empty() && phrase.averages_row >= 0) {
      SetResultCell(kRankColumn, phrase.averages_row, average);
    }
  }
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

int DeepAnalysisWorker::AddResultRow(std::vector<std::string> cells, int stored_col,
                                     std::optional<int64_t> stored_at) {
  int added = -1;
  host_.Synchronize([this, cells = std::move(cells), stored_col, stored_at, &added] {
    // Always appended: the grid's empty row 1 stays above the results.
    grid_.AddRow();
    const int row = grid_.RowCount() - 1;
    added = row;
    for (int col = 0; col < kColumns && col < static_cast<int>(cells.size()); ++col) {
      grid_.SetCells(col, row, cells[col]);
    }
    if (stored_at && sink_.MarkStoredCell) sink_.MarkStoredCell(stored_col, row, *stored_at);
    if (autofit_) {
      grid_.SetAutoSizeGrowOnly(true);
      if (sink_.AutoFitColumns) sink_.AutoFitColumns();
    }
  });
  return added;
}

void DeepAnalysisWorker::ShowSignalColumns(bool ranks) {
  host_.Synchronize([this, ranks] { DeepAnalysisForm::ShowSignalColumns(grid_, ranks); });
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

XlsxSheet TopResultsSheet(const ResultGridModel& grid) {
  XlsxSheet sheet = TopResultsSheet();
  if (HasRankColumn(grid)) sheet.columns.push_back(XlsxColumn::kTwoDecimals);
  sheet.columns.push_back(XlsxColumn::kNumber);
  sheet.background = [&grid](int col, int row) { return TopResultsCellColor(grid, col, row); };
  return sheet;
}

}  // namespace kelvaro::DeepAnalysisForm
