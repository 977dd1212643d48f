#include "ideas/AutocompleteWorker.h"

#include <utility>

#include "base/WorkerSteps.h"

namespace kelvaro {

AutocompleteWorker::AutocompleteWorker(std::vector<std::string> seeds, WorkerHost& host,
                                       SearchSetup search, AutocompleteSink sink)
    : SearchRun(std::move(seeds), host, std::move(search)), sink_(std::move(sink)) {}

void AutocompleteWorker::Run() noexcept {
  RunSession(
      RunShape::kAutocomplete,
      [this](SearchSession& session) {
        for (size_t i = 0; i < Keywords.size() && !StopRequested; ++i) {
          const std::string& seed = Keywords[i];
          const bool last = i + 1 == Keywords.size();
          bool go_on = true;
          const bool more = session.Ask(
              {{QueryKind::Autocomplete, seed}}, 0, [&](const SearchAnswer& answer) {
                if (answer.outcome != AnswerOutcome::kCounted) {
                  go_on = AskToContinue(host_, answer.failure, last);
                  return go_on ? AnswerFlow::kGoOn : AnswerFlow::kEnd;
                }
                ++answered_;
                host_.Synchronize([this, &seed, &answer] {
                  if (sink_.KeepSuggestions) sink_.KeepSuggestions(seed, answer.ideas);
                });
                return AnswerFlow::kGoOn;
              });
          if (!more || !go_on) break;
        }
      },
      [this] { return static_cast<int>(Keywords.size()) - answered_; });
}

}  // namespace kelvaro
