#include "ideas/KeywordIdeas.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/AnswerStore.h"
#include "tests/support/TempDir.h"
#include "web/SearchService.h"

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

// The ideas of a phrase answered in an earlier session come from the store, of any age and of
// the service asked now only; a phrase this session answered keeps its own.
TEST(KeepStoredIdeas, PhrasesWithoutIdeasTakeThoseOfTheirStoredAnswer) {
  testing::TempDir dir;
  int64_t now = 1'800'000'000;
  AnswerStore store(dir.File("answers.sqlite"), [&] { return now; });
  if (!store.Available()) GTEST_SKIP() << "a build without the answer store";
  const std::vector<KeywordIdea> red = {{IdeaKind::kRelatedSearch, "red shoes near me"}};
  ASSERT_TRUE(store.Record({kSerpApi, "", QueryKind::Phrase, "red shoes"}, "5", std::nullopt, red));
  ASSERT_TRUE(store.Record({kSerpApi, "", QueryKind::Phrase, "blue hats"}, "5", std::nullopt,
                           {{IdeaKind::kQuestion, "stored question?"}}));
  ASSERT_TRUE(store.Record({kGoogleCustomSearch, "", QueryKind::Phrase, "green socks", "cx"}, "5",
                           std::nullopt, {{IdeaKind::kQuestion, "not asked of this service?"}}));
  now += int64_t{400} * 24 * 60 * 60;
  IdeaBook book;
  book.KeepAnswerIdeas("blue hats", {});
  KeepStoredIdeas(book, &store, Credentials{"key", "", kSerpApi, ""},
                  {"red shoes", "blue hats", "green socks"});
  EXPECT_EQ(book.IdeasOf("red shoes"), red);
  EXPECT_THAT(book.IdeasOf("blue hats"), IsEmpty());
  EXPECT_THAT(book.IdeasOf("green socks"), IsEmpty());
  KeepStoredIdeas(book, nullptr, Credentials{}, {"yellow"});
}

TEST(MemoWithIdeas, AppendsOneIdeaALine) {
  EXPECT_EQ(MemoWithIdeas("red shoes", {"a", "b"}), "red shoes\na\nb");
  EXPECT_EQ(MemoWithIdeas("red shoes\n", {"a"}), "red shoes\na");
  EXPECT_EQ(MemoWithIdeas("", {"a", "b"}), "a\nb");
  EXPECT_EQ(MemoWithIdeas("red shoes", {}), "red shoes");
}

}  // namespace
}  // namespace kelvaro
