#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/WorkerHost.h"
#include "web/RunLimits.h"

namespace kelvaro {
class AnswerReuse;
class AnswerStore;
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
// Every query goes to the search service the credentials choose; at the end the run asks
// how many searches are left.
// It runs on a worker thread; every change to the grid and the progress bar is a step run
// through host.Synchronize.
class DeepAnalysisWorker {
 public:
  static constexpr size_t kMaxResults = 10;

  // `keywords`: the phrases, one per entry. `grid`: the Deep Analysis grid (four columns),
  // read and written only inside steps. `autofit`: the window's "Autofit Page Title and
  // URL" switch. `host` and `grid` must outlive Run().
  DeepAnalysisWorker(std::vector<std::string> keywords, WorkerHost& host, ResultGridModel& grid,
                     DeepAnalysisWorkerSink sink, bool autofit = true);
  DeepAnalysisWorker(const DeepAnalysisWorker&) = delete;
  DeepAnalysisWorker& operator=(const DeepAnalysisWorker&) = delete;

  // Both passes; returns when the run is over, however it ended. Never throws.
  void Run() noexcept;

  // Set by the window's Stop button, from any thread. Read after each phrase of the
  // first pass (a stop there skips the second pass) and after each counted row of the
  // second pass.
  std::atomic<bool> StopRequested{false};
  void RequestStop() { StopRequested = true; }

  // What the run cost, read once Run() has returned: the queries it sent, and the searches
  // left on the account as the service told at the end (nullopt: not told).
  int QueriesSent() const { return queries_sent_; }
  std::optional<int64_t> SearchesLeft() const { return searches_left_; }
  // How long the run waited for the service's limits, in milliseconds.
  int64_t WaitedMs() const { return waited_ms_; }
  // The phrases left without their total because the searches ran out (0 otherwise), and
  // the phrases of the run.
  int NotCounted() const { return not_counted_; }
  int Phrases() const { return static_cast<int>(Keywords.size()); }

  // The clock of the waits for the service's limits (tests shorten it). Before Run().
  void SetLimitTimings(const LimitTimings& timings) { limit_timings_ = timings; }
  // The pause between two phrases of the first pass (tests shorten it). Before Run().
  static constexpr int kPauseBetweenPhrasesMs = 500;
  void SetPauseBetweenPhrasesMs(int ms) { pause_between_phrases_ms_ = ms; }
  // The answer store the run records in and, with `reuse_days` > 0, reuses answers of that
  // age from (nullptr: none). Before Run(); the store outlives the run.
  void SetAnswerStore(AnswerStore* store, int reuse_days) {
    answer_store_ = store;
    reuse_days_ = reuse_days;
  }
  // Stored answers the run used instead of queries, read once Run() has returned.
  int StoredUsed() const { return stored_used_; }

 private:
  // false when the run ended before the last phrase was done.
  bool FirstPass(AnswerReuse& queries);
  void SecondPass(AnswerReuse& queries);

  // The steps run on the GUI thread; each gets its values as arguments and hands back
  // what it read as its result.
  int ReadRowCount();
  // `stored_at`: when the stored answer of the count in column `stored_col` arrived.
  void AddResultRow(std::vector<std::string> cells, int stored_col = -1,
                    std::optional<int64_t> stored_at = std::nullopt);
  std::vector<std::string> ReadRowCells(int row);
  void SetResultCell(int col, int row, std::string text,
                     std::optional<int64_t> stored_at = std::nullopt);
  void ShowProgress(int progress);

  const std::vector<std::string> Keywords;
  WorkerHost& host_;
  ResultGridModel& grid_;
  DeepAnalysisWorkerSink sink_;
  const bool autofit_;
  // The grid's row count when the run began: the second pass starts below it.
  int StartRowCount = 0;
  LimitTimings limit_timings_;
  int pause_between_phrases_ms_ = kPauseBetweenPhrasesMs;
  AnswerStore* answer_store_ = nullptr;
  int reuse_days_ = 0;
  int queries_sent_ = 0;
  int stored_used_ = 0;
  size_t counted_ = 0;  // phrases with their total
  size_t listed_ = 0;    // of them, phrases whose listed results wait for their backlinks
  size_t averaged_ = 0;  // of those, phrases whose backlinks were all asked for
  std::optional<int64_t> searches_left_;
  int64_t waited_ms_ = 0;
  int not_counted_ = 0;
};

// The mean of the backlink counts as the averages row shows it: `<b>`, the mean rounded
// to the nearest integer (halves to even) with comma thousands separators, `</b>`; a mean
// of 0 leaves the text between the tags empty. `counted` > 0.
std::string FormatAverage(int64_t sum, int64_t counted);

}  // namespace kelvaro::DeepAnalysisForm
