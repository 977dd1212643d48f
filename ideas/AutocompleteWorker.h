#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/WorkerHost.h"
#include "search/SearchRun.h"
#include "search/SearchSession.h"

namespace kelvaro {

// What the autocomplete run tells its window. Called on the GUI thread, inside a step.
struct AutocompleteSink {
  // The suggestions (UTF-8) asked, or taken from the answer store, for `seed`.
  std::function<void(const std::string& seed, const std::vector<KeywordIdea>& suggestions)>
      KeepSuggestions;
};

// Asks the autocomplete suggestions of each seed phrase, one query a seed, through its search
// session (stored suggestions stand in for a query as stored answers do). A failed query asks
// whether to go on, as the other runs do. StopRequested is read after each seed.
class AutocompleteWorker : public SearchRun {
 public:
  // `host` and what `search` points to must outlive Run().
  AutocompleteWorker(std::vector<std::string> seeds, WorkerHost& host, SearchSetup search,
                     AutocompleteSink sink);

  // The whole run; returns when it is over, however it ended. Never throws.
  void Run() noexcept;

 private:
  AutocompleteSink sink_;
  int answered_ = 0;  // seeds with their suggestions
};

}  // namespace kelvaro
