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

namespace kelvaro::MainForm {

// What the keyword worker tells the main window besides the grid. Called on the GUI
// thread, inside a step; may be left empty.
struct KeywordWorkerSink {
  // Puts the progress bar at `progress` (0-100).
  std::function<void(int progress)> ShowProgress;
  // The count in cell (`col`, `row`) is a stored answer that arrived at `arrived` (seconds
  // since 1970 UTC); called right after the cell is written.
  std::function<void(int col, int row, int64_t arrived)> MarkStoredCell;
};

// The keyword run: three counts per keyword line (phrase, allintitle, allinurl), one grid
// row per line, each count a link to the query that produced it, asked of the search
// service the credentials choose; at its end it asks how many searches are left. With a
// volume key in the credentials it first asks the volume service for every line's monthly
// searches, and the rows get two more cells: the volume and the Keyword Golden Ratio. It runs on a
// worker thread; every change to the grid and the progress bar is a step run through
// host.Synchronize, so the model is only ever touched on the GUI thread.
class KeywordWorker {
 public:
  // `keywords`: the lines as typed, empty lines included. `grid`: the main grid (five
  // columns), written only inside steps. `search_delay_ms`: the pause between the
  // queries of one keyword and between keywords (0 or less: none). `host` and `grid`
  // must outlive Run().
  KeywordWorker(std::vector<std::string> keywords, WorkerHost& host, ResultGridModel& grid,
                KeywordWorkerSink sink, int search_delay_ms);
  KeywordWorker(const KeywordWorker&) = delete;
  KeywordWorker& operator=(const KeywordWorker&) = delete;

  // The whole run; returns when it is over, however it ended. Never throws.
  void Run() noexcept;

  // Set by the window's Stop button, from any thread. Read once per keyword, after its
  // three queries: the keyword under way is always completed.
  std::atomic<bool> StopRequested{false};
  void RequestStop() { StopRequested = true; }

  // The pause between searches this run makes, in milliseconds.
  int SearchDelayMs() const { return search_delay_ms_; }

  // What the run cost, read once Run() has returned: the queries it sent, and the searches
  // left on the account as the service told at the end (nullopt: not told).
  int QueriesSent() const { return queries_sent_; }
  std::optional<int64_t> SearchesLeft() const { return searches_left_; }
  // How long the run waited for the service's limits, in milliseconds.
  int64_t WaitedMs() const { return waited_ms_; }
  // The phrases left without all three counts because the searches ran out (0 otherwise),
  // and the phrases of the run.
  int NotCounted() const { return not_counted_; }
  int Phrases() const { return static_cast<int>(Keywords.size()); }

  // Whether the run asked for monthly searches (a volume key was set), why they are missing
  // when the volume service failed (the service's message, possibly empty), and the credits
  // the volume account had left.
  bool VolumesAsked() const { return volumes_asked_; }
  std::optional<std::string> VolumeFailure() const { return volume_failure_; }
  std::optional<int64_t> VolumeCreditsLeft() const { return volume_credits_left_; }

  // The clock of the waits for the service's limits (tests shorten it). Before Run().
  void SetLimitTimings(const LimitTimings& timings) { limit_timings_ = timings; }
  // The pause between two keywords, after the search delay (tests shorten it). Before Run().
  static constexpr int kPauseBetweenKeywordsMs = 500;
  void SetPauseBetweenKeywordsMs(int ms) { pause_between_keywords_ms_ = ms; }
  // The answer store the run records in and, with `reuse_days` > 0, reuses answers of that
  // age from (nullptr: none). Before Run(); the store outlives the run.
  void SetAnswerStore(AnswerStore* store, int reuse_days) {
    answer_store_ = store;
    reuse_days_ = reuse_days;
  }
  // Stored answers the run used instead of queries, read once Run() has returned.
  int StoredUsed() const { return stored_used_; }

 private:
  enum class Outcome { kNext, kEnd };

  // One keyword's three queries; kEnd when the run must end (a failure the user did not
  // want to go on from, a failure on the last keyword, or the searches ran out).
  Outcome RunKeyword(size_t i, AnswerReuse& queries);
  // The monthly searches of every line, before the first count; a failure leaves them unknown.
  void AskVolumes();

  // The steps run on the GUI thread; each gets its values as arguments. `stored_at`: when
  // the count's stored answer arrived (nullopt: asked now).
  void AddResultRow(std::vector<std::string> cells, std::optional<int64_t> stored_at);
  void SetResultCell(int col, std::string text,
                     std::optional<int64_t> stored_at = std::nullopt);
  void SetProgress(size_t done_queries);

  const std::vector<std::string> Keywords;
  WorkerHost& host_;
  ResultGridModel& grid_;
  KeywordWorkerSink sink_;
  const int search_delay_ms_;
  LimitTimings limit_timings_;
  int pause_between_keywords_ms_ = kPauseBetweenKeywordsMs;
  AnswerStore* answer_store_ = nullptr;
  int reuse_days_ = 0;
  int queries_sent_ = 0;
  int stored_used_ = 0;
  size_t counted_ = 0;  // phrases with all three counts
  std::optional<int64_t> searches_left_;
  int64_t waited_ms_ = 0;
  int not_counted_ = 0;
  bool volumes_asked_ = false;
  std::vector<std::optional<int64_t>> volumes_;  // per line, once asked
  std::optional<std::string> volume_failure_;
  std::optional<int64_t> volume_credits_left_;
};

}  // namespace kelvaro::MainForm
