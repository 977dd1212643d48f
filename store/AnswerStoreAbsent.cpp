// The answer store of a build without SQLite (the Windows cross build): never available, so
// every run asks the service, as with a store that cannot be opened.
#include <chrono>
#include <utility>

#include "store/AnswerStore.h"

namespace kelvaro {

int64_t SystemSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

AnswerStore::AnswerStore(std::string path, AnswerClock clock)
    : path_(std::move(path)), clock_(std::move(clock)), serial_(0) {
  open_error_ = "Stored answers are not used: this build of Kelvaro has no answer store.";
}

AnswerStore::~AnswerStore() = default;

bool AnswerStore::Available() const { return false; }

std::optional<StoredAnswer> AnswerStore::Lookup(const AnswerKey&, int) const {
  return std::nullopt;
}

bool AnswerStore::Record(const AnswerKey&, const std::string&,
                         const std::optional<std::vector<SearchResult>>&,
                         const std::vector<KeywordIdea>&) {
  return false;
}

std::optional<int64_t> AnswerStore::LookupVolume(const std::string&, const std::string&,
                                                 int) const {
  return std::nullopt;
}

bool AnswerStore::RecordVolume(const std::string&, const std::string&, int64_t) { return false; }

std::optional<double> AnswerStore::LookupDomainRank(const std::string&, int) const {
  return std::nullopt;
}

bool AnswerStore::RecordDomainRank(const std::string&, double) { return false; }

int AnswerStore::CountFresh(const std::vector<AnswerKey>&, int) const { return 0; }

bool AnswerStore::RecordTask(const AnswerKey&, const std::string&, const std::string&) {
  return false;
}

std::optional<std::string> AnswerStore::LookupTask(const AnswerKey&, const std::string&,
                                                   int) const {
  return std::nullopt;
}

bool AnswerStore::ForgetTask(const AnswerKey&, const std::string&) { return false; }

}  // namespace kelvaro
