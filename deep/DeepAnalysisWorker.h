#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/WorkerHost.h"
#include "grid/GridXlsx.h"
#include "search/SearchRun.h"
#include "search/SearchSession.h"

namespace kelvaro {
class ResultGridModel;
}  // namespace kelvaro

namespace kelvaro::DeepAnalysisForm {

// What the deep analysis worker tells its window besides the grid. Called on the GUI
// thread, inside a step; either may be left empty.
struct DeepAnalysisWorkerSink {
  // Puts the progress bar at `progress` (0-100).
  std::function<void(int progress)> ShowProgress;
  // Called after each row the worker adds, only when autofit is on, once AutoSizeGrowOnly
  // is set on the model: the window fits columns 1 and 2 to their widest text and
  // narrows column 2 when the columns overflow the grid.
  std::function<void()> AutoFitColumns;
  // The count in cell (`col`, `row`) is a stored answer that arrived at `arrived` (seconds
  // since 1970 UTC); called right after the cell is written.
  std::function<void(int col, int row, int64_t arrived)> MarkStoredCell;
};

// The deep analysis run. First pass: per phrase, the total count and the top results
// (title, URL). Second pass: per listed URL its backlink count, and per phrase the mean.
// Every query goes through the run's search session; at the end the session asks how many
// searches are left.
// It runs on a worker thread; every change to the grid and the progress bar is a step run
// through host.Synchronize.
class DeepAnalysisWorker : public SearchRun {
 public:
  static constexpr size_t kMaxResults = kDeepAnalysisMaxResults;

  // `keywords`: the phrases, one per entry. `host`: the door back to the window; `search`: the
  // world outside, for the run's search session. `grid`: the Deep Analysis grid (four
  // columns), read and written only inside steps. `autofit`: the window's "Autofit Page Title
  // and URL" switch. `host`, what `search` points to and `grid` must outlive Run().
  DeepAnalysisWorker(std::vector<std::string> keywords, WorkerHost& host, SearchSetup search,
                     ResultGridModel& grid, DeepAnalysisWorkerSink sink, bool autofit = true);
  DeepAnalysisWorker(const DeepAnalysisWorker&) = delete;
  DeepAnalysisWorker& operator=(const DeepAnalysisWorker&) = delete;

  // Both passes; returns when the run is over, however it ended. Never throws.
  void Run() noexcept;

  // StopRequested is read after each phrase of the first pass (a stop there skips the second
  // pass) and after each counted row of the second pass.

  
  // The pause between two phrases of the first pass (tests shorten it). Before Run().
  static constexpr int kPauseBetweenPhrasesMs = 500;
  void SetPauseBetweenPhrasesMs(int ms) { pause_between_phrases_ms_ = ms; }

  // Whether the second pass asks the backlink counts (the window's "Ask backlink counts"
  // box); off, a phrase costs one query and the Backlinks cells stay empty. Before Run().
  void SetAskBacklinks(bool ask) { ask_backlinks_ = ask; }

 private:
  // A phrase's rows that the first pass listed, and the domains of its results.
  struct ListedPhrase {
    std::vector<int> rows;
    std::vector<std::string> domains;  // by row; "" for a link without one
    int averages_row = 0;
  };

  // false when the run ended before the last phrase was done.
  bool FirstPass(SearchSession& session);
  // The rank of each listed result's domain and each phrase's average rank.
  void RankPass(SearchSession& session);
  void SecondPass(SearchSession& session);

  // The steps run on the GUI thread; each gets its values as arguments and hands back
  // what it read as its result.
  int ReadRowCount();
  // `stored_at`: when the stored answer of the count in column `stored_col` arrived.
  // Returns the row added (-1 when the step did not run).
  int AddResultRow(std::vector<std::string> cells, int stored_col = -1,
                   std::optional<int64_t> stored_at = std::nullopt);
  void ShowSignalColumns(bool ranks);
  std::vector<std::string> ReadRowCells(int row);
  void SetResultCell(int col, int row, std::string text,
                     std::optional<int64_t> stored_at = std::nullopt);
  void ShowProgress(int progress);

  ResultGridModel& grid_;
  DeepAnalysisWorkerSink sink_;
  const bool autofit_;
  // The grid's row count when the run began: the second pass starts below it.
  int StartRowCount = 0;
  int pause_between_phrases_ms_ = kPauseBetweenPhrasesMs;
  bool ask_backlinks_ = true;
  bool ranks_shown_ = false;  // the run has a Domain Rank column
  std::vector<ListedPhrase> listed_phrases_;
  size_t counted_ = 0;  // phrases with their total
  size_t listed_ = 0;    // of them, phrases whose listed results wait for their backlinks
  size_t averaged_ = 0;  // of those, phrases whose backlinks were all asked for
};

// The mean of the backlink counts as the averages row shows it: `<b>`, the mean rounded
// to the nearest integer (halves to even) with comma thousands separators, `</b>`; a mean
// of 0 leaves the text between the tags empty. `counted` > 0.
std::string FormatAverage(int64_t sum, int64_t counted);

// The columns after Backlinks: "Domain Rank" when `ranks` (a rank key is set), then "Forums".
// The first four columns are those of TopResultsGridColumns in every case.
inline constexpr int kBacklinksColumn = 3;
inline constexpr int kRankColumn = 4;
int ForumsColumn(bool ranks);
// Whether a run with `credentials` asks domain ranks (a rank key is set).
bool WantsDomainRanks(const Credentials& credentials);
// Puts the grid's columns after Backlinks as `ranks` says: their count, titles and first
// widths. Leaves a grid that has them already as it is.
void ShowSignalColumns(ResultGridModel& grid, bool ranks);
// Whether the grid has a Domain Rank column.
bool HasRankColumn(const ResultGridModel& grid);

// The average of the ranks a phrase's results have (missing ones left out), as its
// averages row shows it ("<b>4.57</b>"); "" when none has a rank.
std::string FormatAverageRank(const std::vector<std::optional<double>>& ranks);
// The forum count of a phrase's averages row ("<b>2</b>").
std::string FormatForumCount(size_t forums);
// The background of a cell of the Deep Analysis grid: green for an averages row's forum
// count of one or more; nullopt for the others.
std::optional<uint32_t> TopResultsCellColor(const ResultGridModel& grid, int col, int row);

// The Deep Analysis grid as a worksheet "Deep Analysis": the result's rank and the backlink
// counts and averages as numbers, the page titles as text, and in the URL column the
// addresses as text beside the phrases' totals as numbers. No cell has a background, as in
// the grid.
XlsxSheet TopResultsSheet();
// The same for `grid` as it is, with the columns after Backlinks (the ranks with two
// decimals, the forum counts as numbers) and the forum counts' green; `grid` outlives the
// sheet.
XlsxSheet TopResultsSheet(const ResultGridModel& grid);

}  // namespace kelvaro::DeepAnalysisForm
