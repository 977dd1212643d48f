#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/WorkerHost.h"
#include "search/RunCost.h"
#include "search/SearchRun.h"
#include "search/SearchSession.h"

namespace kelvaro {
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
  // The keyword ideas (UTF-8) of the phrase answer of `phrase` (the keyword line), called as
  // its row is added; empty when the answer held none.
  std::function<void(const std::string& phrase, const std::vector<KeywordIdea>& ideas)> KeepIdeas;
};

// The keyword run: three counts per keyword line (phrase, allintitle, allinurl), one grid
// row per line, each count a link to the query that produced it, asked through its search
// session; at its end the session asks how many searches are left. With a
// volume key in the credentials it first asks the volume service for every line's monthly
// searches, and the rows get two more cells: the volume and the Keyword Golden Ratio. It runs on a
// worker thread; every change to the grid and the progress bar is a step run through
// host.Synchronize, so the model is only ever touched on the GUI thread.
class KeywordWorker : public SearchRun {
 public:
  // `keywords`: the lines as typed, empty lines included. `host`: the door back to the
  // window; `search`: the world outside, for the run's search session. `grid`: the main grid
  // (five columns), written only inside steps. `search_delay_ms`: the pause between the
  // queries of one keyword and between keywords (0 or less: none); a delay runs one search at
  // a time whatever `search.at_once` says. `host`, what `search`
  // points to and `grid` must outlive Run().
  KeywordWorker(std::vector<std::string> keywords, WorkerHost& host, SearchSetup search,
                ResultGridModel& grid, KeywordWorkerSink sink, int search_delay_ms);
  KeywordWorker(const KeywordWorker&) = delete;
  KeywordWorker& operator=(const KeywordWorker&) = delete;

  // The whole run; returns when it is over, however it ended. Never throws.
  void Run() noexcept;

  // StopRequested is read once per keyword, after its three queries: the keyword under way
  // is always completed.

  // The pause between searches this run makes, in milliseconds.
  int SearchDelayMs() const { return search_delay_ms_; }


  // Whether the run asked for monthly searches (a volume key was set), why they are missing
  // when the volume service failed (the service's message, possibly empty), and the credits
  // the volume account had left.
  bool VolumesAsked() const { return volumes_.asked; }
  std::optional<std::string> VolumeFailure() const { return cost_.volume_failure; }
  std::optional<int64_t> VolumeCreditsLeft() const { return cost_.volume_credits_left; }

  // The pause between two keywords, after the search delay (tests shorten it). Before Run().
  static constexpr int kPauseBetweenKeywordsMs = 500;
  void SetPauseBetweenKeywordsMs(int ms) { pause_between_keywords_ms_ = ms; }

 private:
  // One answer of the run's plan (keyword index / 3, query index % 3), handed on in the
  // order of the plan; kEnd when the run must end (a failure the user did not want to go on
  // from, a failure on the last keyword, or Stop after a keyword).
  AnswerFlow OnAnswer(const SearchAnswer& answer, SearchSession& session);

  // The steps run on the GUI thread; each gets its values as arguments. `stored_at`: when
  // the count's stored answer arrived (nullopt: asked now).
  void AddResultRow(std::vector<std::string> cells, std::optional<int64_t> stored_at,
                    std::vector<KeywordIdea> ideas);
  void SetResultCell(int col, std::string text,
                     std::optional<int64_t> stored_at = std::nullopt);
  void SetProgress(size_t done_queries);

  ResultGridModel& grid_;
  KeywordWorkerSink sink_;
  const int search_delay_ms_;
  int pause_between_keywords_ms_ = kPauseBetweenKeywordsMs;
  size_t counted_ = 0;  // phrases with all three counts
  LineVolumes volumes_;  // once asked
};

}  // namespace kelvaro::MainForm
