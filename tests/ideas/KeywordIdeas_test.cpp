#include "ideas/KeywordIdeas.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvaro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(IdeaKey, IgnoresLetterCaseAndRunsOfSpaces) {
  EXPECT_EQ(IdeaKey("  Red \t  SHOES\r\n near me "), "red shoes near me");
  EXPECT_EQ(IdeaKey(" \t "), "");
}

// Each idea once, the first seed that gave it named as its source; none that the memo holds,
// none blank; a seed ticked twice lists its ideas once; lines break into spaces.
TEST(ListIdeas, EachIdeaOnceAndNoneTheMemoHolds) {
  IdeaBook book;
  book.KeepAnswerIdeas("red shoes", {{IdeaKind::kRelatedSearch, "red shoes near me"},
                                     {IdeaKind::kRelatedSearch, "Best Red  Shoes"},
                                     {IdeaKind::kQuestion, "what are\nred shoes?"},
                                     {IdeaKind::kRelatedSearch, "  "},
                                     // not an idea a phrase answer gives: left out
                                     {IdeaKind::kAutocomplete, "red shoes sale"}});
  book.KeepSuggestions("red shoes", {{IdeaKind::kAutocomplete, "RED SHOES NEAR ME"},
                                     {IdeaKind::kAutocomplete, "red shoes online"}});
  book.KeepAnswerIdeas("blue hats", {{IdeaKind::kRelatedSearch, "best red shoes"},
                                     {IdeaKind::kQuestion, "why blue hats?"}});

  EXPECT_THAT(
      ListIdeas({"red shoes", "blue hats", "red shoes", "no answer"}, book,
                "blue hats\n  WHY blue   hats? \n"),
      ElementsAre(IdeaRow{"red shoes near me", "red shoes", IdeaKind::kRelatedSearch},
                  IdeaRow{"Best Red Shoes", "red shoes", IdeaKind::kRelatedSearch},
                  IdeaRow{"what are red shoes?", "red shoes", IdeaKind::kQuestion},
                  IdeaRow{"red shoes online", "red shoes", IdeaKind::kAutocomplete}));

  // A later answer replaces the phrase's ideas and keeps its suggestions.
  book.KeepAnswerIdeas("red shoes", {});
  EXPECT_THAT(ListIdeas({"red shoes"}, book, ""),
              ElementsAre(IdeaRow{"RED SHOES NEAR ME", "red shoes", IdeaKind::kAutocomplete},
                          IdeaRow{"red shoes online", "red shoes", IdeaKind::kAutocomplete}));
  EXPECT_THAT(ListIdeas({}, book, ""), IsEmpty());
}

TEST(MemoWithIdeas, AppendsOneIdeaALine) {
  EXPECT_EQ(MemoWithIdeas("red shoes", {"a", "b"}), "red shoes\na\nb");
  EXPECT_EQ(MemoWithIdeas("red shoes\n", {"a"}), "red shoes\na");
  EXPECT_EQ(MemoWithIdeas("", {"a", "b"}), "a\nb");
  EXPECT_EQ(MemoWithIdeas("red shoes", {}), "red shoes");
}

}  // namespace
}  // namespace kelvaro
