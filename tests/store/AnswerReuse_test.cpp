#include "store/AnswerReuse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "web/SearchService.h"

namespace kelvaro {
namespace {

// The line before Start counts what the store holds now: for Deep Analysis a stored phrase
// answer also tells which of its results' backlinks are stored.
TEST(AnswerReuseTest, StartCostCountsOnlyWhatWillBeSent) {
  testing::TempDir dir;
  AnswerStore store(dir.File("answers.sqlite"));
  const SearchSettings settings{"key", "", kSerpApi, ""};
  for (const QueryKind kind : {QueryKind::Phrase, QueryKind::Title, QueryKind::URL}) {
    store.Record({kSerpApi, "", kind, "red"}, "12",
                 std::vector<SearchResult>{{"A", "https://a.test/"}, {"B", "https://b.test/"}});
  }
  store.Record({kSerpApi, "", QueryKind::Backlinks, "https://a.test/"}, "7");
  const std::vector<std::string> phrases = {"red", "blue"};

  const StartCost keyword = KeywordRunStartCost(&store, 30, settings, phrases);
  EXPECT_EQ(keyword.queries, 3);
  EXPECT_EQ(keyword.stored, 3);
  const StartCost deep = DeepAnalysisStartCost(&store, 30, settings, phrases, 10);
  EXPECT_EQ(deep.queries, 1 + 11);  // red's second backlink, and all of blue
  EXPECT_EQ(deep.stored, 2);

  const StartCost off = DeepAnalysisStartCost(&store, 0, settings, phrases, 10);
  EXPECT_EQ(off.queries, 22);
  EXPECT_EQ(off.stored, 0);
  EXPECT_EQ(KeywordRunStartCost(nullptr, 30, settings, phrases).queries, 6);
}

}  // namespace
}  // namespace kelvaro
