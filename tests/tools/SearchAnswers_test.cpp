#ifdef KELVARO_HAVE_SEARCHSIM

#include "tools/SearchAnswers.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "web/CustomSearch.h"

namespace kelvaro::searchsim {
namespace {

// The main window's colour bands: 0 green, 1 yellow, 2 red.
int PhraseBand(int64_t count) { return count < 200000 ? 0 : count < 600000 ? 1 : 2; }
int NarrowBand(int64_t count) { return count < 10000 ? 0 : count < 50000 ? 1 : 2; }

TEST(SearchCounts, DeterministicAndIndifferentToCaseAndSpacing) {
  EXPECT_EQ(PhraseCount("red shoes"), PhraseCount("  Red   SHOES "));
  EXPECT_EQ(CountFor("allintitle: red shoes"), TitleCount("red shoes"));
  EXPECT_EQ(CountFor("ALLINURL:red shoes"), UrlCount("red shoes"));
  EXPECT_EQ(CountFor("link: https://a.example.com/x"), BacklinkCount("https://a.example.com/x"));
  EXPECT_NE(PhraseCount("red shoes"), PhraseCount("red shoe"));
}

TEST(SearchCounts, NarrowCountsStayBelowThePhraseAndAllColoursAppear) {
  std::set<int> phrase_bands, title_bands, url_bands;
  for (int i = 0; i < 60; ++i) {
    const std::string phrase = "keyword " + std::to_string(i);
    const int64_t phrase_count = PhraseCount(phrase);
    EXPECT_LT(TitleCount(phrase), phrase_count) << phrase;
    EXPECT_LT(UrlCount(phrase), phrase_count) << phrase;
    EXPECT_GT(UrlCount(phrase), 0) << phrase;
    phrase_bands.insert(PhraseBand(phrase_count));
    title_bands.insert(NarrowBand(TitleCount(phrase)));
    url_bands.insert(NarrowBand(UrlCount(phrase)));
  }
  EXPECT_EQ(phrase_bands.size(), 3u);
  EXPECT_EQ(title_bands.size(), 3u);
  EXPECT_EQ(url_bands.size(), 3u);
}

TEST(SearchCounts, WordsThatPickTheAnswer) {
  EXPECT_EQ(PhraseCount("nothing here"), 0);
  EXPECT_EQ(TitleCount("nothing here"), 0);
  EXPECT_EQ(PhraseCount("a few tips"), 4);
  EXPECT_EQ(TitleCount("a few tips"), 2);
  EXPECT_EQ(UrlCount("a few tips"), 1);
  EXPECT_EQ(ItemsFor("a few tips", 4).size(), 4u);
  EXPECT_NE(PhraseCount("fewer"), 4);  // whole words only
  for (const char* word : {"niche", "common", "popular"}) {
    const int band = std::string(word) == "niche" ? 0 : std::string(word) == "common" ? 1 : 2;
    for (int i = 0; i < 10; ++i) {
      const std::string phrase = std::string(word) + " item " + std::to_string(i);
      EXPECT_EQ(PhraseBand(PhraseCount(phrase)), band) << phrase;
      EXPECT_EQ(NarrowBand(TitleCount(phrase)), band) << phrase;
      EXPECT_EQ(NarrowBand(UrlCount(phrase)), band) << phrase;
    }
  }
}

TEST(SearchCounts, BacklinksIncludeSomeZeros) {
  int zeros = 0;
  for (int i = 0; i < 200; ++i) {
    const int64_t count = BacklinkCount("https://www.example.com/page" + std::to_string(i));
    EXPECT_GE(count, 0);
    EXPECT_LE(count, 3000);
    zeros += count == 0;
  }
  EXPECT_GT(zeros, 0);
  EXPECT_LT(zeros, 60);
}

TEST(SearchItems, RealLookingResults) {
  EXPECT_TRUE(ItemsFor("red shoes", 0).empty());
  const auto items = ItemsFor("red shoes", 1234);
  ASSERT_EQ(items.size(), 10u);
  bool link_with_ampersand = false, title_with_quote = false, title_with_ampersand = false;
  for (const SearchItem& item : items) {
    EXPECT_EQ(item.link.rfind("https://" + item.display_link + "/", 0), 0u) << item.link;
    EXPECT_NE(item.title.find("Red Shoes"), std::string::npos);
    EXPECT_NE(item.html_title.find("<b>Red Shoes</b>"), std::string::npos);
    link_with_ampersand |= item.link.find('&') != std::string::npos;
    title_with_quote |= item.title.find('"') != std::string::npos;
    title_with_ampersand |= item.title.find('&') != std::string::npos;
  }
  EXPECT_TRUE(link_with_ampersand);
  EXPECT_TRUE(title_with_quote);
  EXPECT_TRUE(title_with_ampersand);
  // A phrase of odd bytes still gives clean URLs.
  for (const SearchItem& item : ItemsFor("c# \"tips\" & tricks", 10)) {
    EXPECT_EQ(item.link.find_first_of(" \"#"), std::string::npos) << item.link;
  }
}

TEST(SearchAnswerJson, ReadsBackWithTheProductsOwnReader) {
  const std::string q = "allintitle: red shoes";
  const auto items = ItemsFor(q, 5123);
  const std::string answer = SearchAnswerJson(q, "demo-cx", 5123, items);

  std::string count;
  ASSERT_TRUE(ReadCount(answer, count));
  EXPECT_EQ(count, "5123");
  EXPECT_NE(answer.find("\"searchInformation\": {"), std::string::npos);
  EXPECT_NE(answer.find("\"totalResults\": \"5123\"", answer.find("\"searchInformation\"")),
            std::string::npos);
  EXPECT_NE(answer.find("\n  \"queries\": {\n    \"request\": [\n      {\n"), std::string::npos);

  // The deep-analysis walk: from "items": take a title, then a link, each a JSON string.
  const size_t list = answer.find("\"items\":");
  ASSERT_NE(list, std::string::npos);
  int pos = static_cast<int>(list) + 1 + 8;
  for (const SearchItem& item : items) {
    std::string title, link;
    ASSERT_TRUE(ExtractJsonString(answer, "\"title\": \"", pos, title));
    ASSERT_TRUE(ExtractJsonString(answer, "\"link\": \"", pos, link));
    EXPECT_EQ(title, item.title);
    EXPECT_EQ(link, item.link);
  }
  std::string more;
  EXPECT_FALSE(ExtractJsonString(answer, "\"title\": \"", pos, more));
}

TEST(SearchAnswerJson, ZeroCountHasNoItems) {
  const std::string answer = SearchAnswerJson("nothing", "demo-cx", 0, {});
  std::string count;
  ASSERT_TRUE(ReadCount(answer, count));
  EXPECT_EQ(count, "0");
  EXPECT_EQ(answer.find("\"items\""), std::string::npos);
}

TEST(ErrorAnswerJson, TheApiErrorFormat) {
  const std::string answer = ErrorAnswerJson(QuotaExceededError());
  EXPECT_EQ(answer.rfind("{\n  \"error\": {\n    \"code\": 429,\n    \"message\": \"", 0), 0u);
  EXPECT_NE(answer.find("\"reason\": \"rateLimitExceeded\""), std::string::npos);
  EXPECT_NE(answer.find("\"status\": \"RESOURCE_EXHAUSTED\""), std::string::npos);
  EXPECT_EQ(ErrorText(answer), std::string(kAbnormalTermination) + QuotaExceededError().message);
  std::string count;
  EXPECT_FALSE(ReadCount(answer, count));
}

TEST(JsonQuote, EscapesLikeTheApi) {
  EXPECT_EQ(JsonQuote("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(JsonQuote("x&y<z>'"), R"("x\u0026y\u003cz\u003e\u0027")");
  EXPECT_EQ(JsonQuote(std::string("\n\t\x01", 3)), R"("\n\t\u0001")");
}

TEST(ParseQuery, OperatorsAndSubjects) {
  EXPECT_EQ(ParseQuery(" red shoes ").op, Operator::kNone);
  EXPECT_EQ(ParseQuery(" red shoes ").subject, "red shoes");
  EXPECT_EQ(ParseQuery("allintitle: x y").op, Operator::kAllInTitle);
  EXPECT_EQ(ParseQuery("allintitle: x y").subject, "x y");
  EXPECT_EQ(ParseQuery("AllInUrl:x").op, Operator::kAllInUrl);
  EXPECT_EQ(ParseQuery("link: https://a.b/?x=1&y=2").subject, "https://a.b/?x=1&y=2");
  EXPECT_EQ(ParseQuery("linked list").op, Operator::kNone);
}

}  // namespace
}  // namespace kelvaro::searchsim

#endif  // KELVARO_HAVE_SEARCHSIM
