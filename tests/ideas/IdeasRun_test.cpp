// Keyword ideas against the substitute server: what a keyword run's phrase answers hold, with
// reuse off and from the store, and the autocomplete run with its cost.

#ifdef KELVARO_HAVE_SEARCHSIM

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "grid/ResultGridModel.h"
#include "ideas/AutocompleteWorker.h"
#include "main/KeywordWorker.h"
#include "search/SearchSession.h"
#include "store/AnswerStore.h"
#include "tests/support/ServerWorkerHost.h"
#include "tests/support/TempDir.h"
#include "tools/SearchAnswers.h"
#include "tools/SubstituteSearchServer.h"
#include "web/SearchService.h"

namespace kelvaro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The ideas the substitute answers for a phrase, as a phrase answer holds them.
std::vector<KeywordIdea> AnswerIdeas(const std::string& phrase) {
  std::vector<KeywordIdea> ideas;
  for (const std::string& text : searchsim::RelatedSearchesFor(phrase)) {
    ideas.push_back({IdeaKind::kRelatedSearch, text});
  }
  for (const std::string& text : searchsim::QuestionsFor(phrase)) {
    ideas.push_back({IdeaKind::kQuestion, text});
  }
  return ideas;
}

class IdeasRunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("no_proxy", "127.0.0.1,localhost", 1); }

  IdeasRunTest() {
    host_.SetCredentials({"demo-key", "", kSerpApi, server_.Endpoint()});
  }

  // A keyword run with reuse of `reuse_days`; the ideas it handed over, by phrase.
  std::map<std::string, std::vector<KeywordIdea>> KeywordRun(std::vector<std::string> phrases,
                                                              int reuse_days) {
    server_.ClearRequests();
    std::map<std::string, std::vector<KeywordIdea>> kept;
    MainForm::KeywordWorkerSink sink;
    sink.KeepIdeas = [&](const std::string& phrase, const std::vector<KeywordIdea>& ideas) {
      kept[phrase] = ideas;
    };
    ResultGridModel grid(5, 2);
    MainForm::KeywordWorker worker(std::move(phrases), host_, host_.Search(), grid, sink, 0);
    worker.SetPauseBetweenKeywordsMs(0);
    worker.SetAnswerStore(&store_, reuse_days);
    worker.Run();
    return kept;
  }

  // The searches that reached the service (not the account requests).
  std::vector<std::string> Searches() const {
    std::vector<std::string> targets;
    for (const auto& request : server_.Requests()) {
      if (request.target.starts_with("/search.json")) targets.push_back(request.target);
    }
    return targets;
  }

  searchsim::SubstituteSearchServer server_;
  testing::TempDir temp_;
  AnswerStore store_{temp_.File("answers.sqlite")};
  testing::ServerWorkerHost host_;
};

// Reuse off still records the answers: the next run with reuse gives the same ideas unasked.
TEST_F(IdeasRunTest, PhraseAnswersGiveTheirIdeasAskedOrStored) {
  const auto asked = KeywordRun({"red shoes", "nothing here"}, 0);
  EXPECT_EQ(Searches().size(), 6u);
  EXPECT_EQ(asked.at("red shoes"), AnswerIdeas("red shoes"));
  // An answer without results holds no ideas.
  EXPECT_THAT(asked.at("nothing here"), IsEmpty());

  const auto stored = KeywordRun({"red shoes"}, 30);
  EXPECT_THAT(server_.Requests(), IsEmpty());
  EXPECT_EQ(stored.at("red shoes"), AnswerIdeas("red shoes"));
}

TEST_F(IdeasRunTest, AutocompleteAsksOneQueryASeedAndReusesStoredSuggestions) {
  const auto run = [&](int reuse_days) {
    server_.ClearRequests();
    std::map<std::string, std::vector<std::string>> kept;
    AutocompleteSink sink;
    sink.KeepSuggestions = [&](const std::string& seed, const std::vector<KeywordIdea>& ideas) {
      for (const KeywordIdea& idea : ideas) {
        EXPECT_EQ(idea.kind, IdeaKind::kAutocomplete);
        kept[seed].push_back(idea.text);
      }
    };
    SearchSetup setup = host_.Search();
    setup.store = &store_;
    setup.reuse_days = reuse_days;
    const RunPlan plan = PlanRun(RunShape::kAutocomplete, {"red shoes", "Blue  Hats"},
                                 host_.CurrentCredentials(), "", &store_, reuse_days);
    AutocompleteWorker worker({"red shoes", "Blue  Hats"}, host_, setup, sink);
    worker.Run();
    EXPECT_EQ(worker.QueriesSent(), plan.queries);
    EXPECT_EQ(worker.StoredUsed(), plan.stored);
    return kept;
  };
  const auto asked = run(0);
  ASSERT_EQ(Searches().size(), 2u);
  EXPECT_THAT(Searches()[0], ::testing::HasSubstr("engine=google_autocomplete"));
  EXPECT_EQ(asked.at("red shoes"), searchsim::SuggestionsFor("red shoes"));
  EXPECT_EQ(asked.at("Blue  Hats"), searchsim::SuggestionsFor("blue hats"));

  const auto stored = run(30);
  EXPECT_THAT(server_.Requests(), IsEmpty());
  EXPECT_EQ(stored, asked);
  EXPECT_THAT(host_.Questions(), IsEmpty());
}

}  // namespace
}  // namespace kelvaro

#endif  // KELVARO_HAVE_SEARCHSIM
