#include "web/SearchService.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "base/Error.h"
#include "web/ServiceQuery.h"

namespace kelvaro {
namespace {

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

const SearchService& Google() { return SearchServiceNamed(kGoogleCustomSearch); }
const SearchService& Serp() { return SearchServiceNamed(kSerpApi); }

TEST(SearchServiceNamed, EmptyMeansGoogleAndUnknownNamesAreReported) {
  EXPECT_EQ(FindSearchService(""), &Google());
  EXPECT_EQ(FindSearchService("serpapi"), nullptr);  // names are exact
  try {
    SearchServiceNamed("Bing");
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Unknown search service \"Bing\"");
  }
  EXPECT_TRUE(Google().NeedsEngineCode());
  EXPECT_FALSE(Serp().NeedsEngineCode());
}

TEST(QueryURL, EachKindForBothServices) {
  const Credentials settings{" key1 ", " cx1 ", "", ""};
  EXPECT_EQ(Google().QueryURL(QueryKind::Title, "x y", settings),
            "https://www.googleapis.com/customsearch/v1?q=allintitle%3A+x+y&cx=cx1&hl=EN"
            "&lr=lang_en&key=key1");
  EXPECT_EQ(Serp().QueryURL(QueryKind::Phrase, "salt & pepper", settings),
            "https://serpapi.com/search.json?engine=google&q=salt+%26+pepper&hl=en&lr=lang_en"
            "&api_key=key1");
  EXPECT_THAT(Serp().QueryURL(QueryKind::Title, "x y", settings),
              HasSubstr("?engine=google&q=allintitle%3A+x+y&hl="));
  EXPECT_THAT(Serp().QueryURL(QueryKind::URL, "x y", settings),
              HasSubstr("?engine=google&q=allinurl%3A+x+y&hl="));
  EXPECT_THAT(Serp().QueryURL(QueryKind::Backlinks, "p?x=1&y=2", settings),
              HasSubstr("?engine=google&q=link%3A+p%3Fx%3D1%26y%3D2&hl="));
  // No engine code goes to SerpApi, and a key cannot add parameters to the request.
  EXPECT_THAT(Serp().QueryURL(QueryKind::Phrase, "x", {"k&num=100#", "cx1", "", ""}),
              Not(HasSubstr("cx1")));
  EXPECT_THAT(Serp().QueryURL(QueryKind::Phrase, "x", {"k&num=100#", "", "", ""}),
              HasSubstr("&api_key=k%26num%3D100%23"));
}

TEST(QueryURL, EndpointWithPortAndPathPrefix) {
  const Credentials settings{"k", "c", "", " http://127.0.0.1:8080/proxy/serp/ "};
  EXPECT_EQ(Serp().QueryURL(QueryKind::Phrase, "a", settings),
            "http://127.0.0.1:8080/proxy/serp/search.json?engine=google&q=a&hl=en&lr=lang_en"
            "&api_key=k");
  EXPECT_EQ(Google().QueryURL(QueryKind::Phrase, "a", settings),
            "http://127.0.0.1:8080/proxy/serp/customsearch/v1?q=a&cx=c&hl=EN&lr=lang_en&key=k");
  EXPECT_EQ(Serp().AccountURL(settings), "http://127.0.0.1:8080/proxy/serp/account.json?api_key=k");
  EXPECT_EQ(Serp().AccountURL({" k ", "", "", ""}), "https://serpapi.com/account.json?api_key=k");
  EXPECT_EQ(Google().AccountURL(settings), "");
}

TEST(IsValidEndpoint, SchemeHostPortAndPathOnly) {
  for (const char* good : {"", "  ", "https://serpapi.com", "HTTP://127.0.0.1:8080",
                           "http://[::1]:9000/p", "https://proxy.example.org/serp/v1/"}) {
    EXPECT_TRUE(IsValidEndpoint(good)) << good;
  }
  for (const char* bad : {"serpapi.com", "ftp://h", "https://", "https://:80", "https://h:0",
                          "https://h:65536", "https://h:8x", "https://user@h", "https://h/p?x=1",
                          "https://h/p#f", "https://h/a b", "https://h/p&q=1", "https://[]"}) {
    EXPECT_FALSE(IsValidEndpoint(bad)) << bad;
  }
}

// Shapes of SerpApi's answers.
constexpr char kSerpCount[] = R"({
  "search_metadata": {"id": "1", "status": "Success"},
  "search_information": {"query_displayed": "red shoes", "total_results": 1230000},
  "organic_results": [
    {"position": 1, "title": "Red \"Shoes\" & more", "link": "https://a.example/?x=1&amp;y=2"},
    {"position": 2, "title": "No link here"},
    {"position": 3, "title": "", "link": "https://empty-title.example/"},
    {"position": 4, "title": "Third", "link": "https://c.example/",
     "sitelinks": {"inline": [{"title": "Inner", "link": "https://inner.example/"}]}}
  ]
})";

TEST(SerpApiReader, CountWithResults) {
  std::string count;
  EXPECT_TRUE(Serp().ReadCount(kSerpCount, count));
  EXPECT_EQ(count, "1230000");
  EXPECT_TRUE(Serp().HasResultList(kSerpCount));
  // Entries without a title or a link are left out; links are taken as they stand.
  EXPECT_THAT(Serp().ReadResults(kSerpCount, 10),
              ElementsAre(Field(&SearchResult::link, "https://a.example/?x=1&amp;y=2"),
                          Field(&SearchResult::title, "Third")));
  EXPECT_EQ(Serp().ReadResults(kSerpCount, 10)[0].title, "Red \"Shoes\" & more");
  EXPECT_THAT(Serp().ReadResults(kSerpCount, 1), ElementsAre(Field(&SearchResult::title, _)));
}

TEST(SerpApiReader, NoResultsIsACountOfZero) {
  const std::string answer = R"({"search_metadata": {"status": "Success"},
    "search_information": {"total_results": 0, "organic_results_state": "Fully empty"},
    "error": "Google hasn't returned any results for this query."})";
  std::string count = "stale";
  EXPECT_TRUE(Serp().ReadCount(answer, count));
  EXPECT_EQ(count, "0");
  EXPECT_FALSE(Serp().HasResultList(answer));
  EXPECT_THAT(Serp().ReadResults(answer, 10), IsEmpty());
}

TEST(SerpApiReader, ErrorsAreFailedRequestsWithTheServiceMessage) {
  const std::string invalid_key =
      R"({"error": "Invalid API key. Your API key should be here: https://serpapi.com/manage-api-key"})";
  const std::string used_up = R"({"error": "Your account has run out of searches."})";
  // An error wins over a count in the same answer.
  const std::string both = R"({"search_information": {"total_results": 5}, "error": "Busy"})";
  std::string count = "kept";
  for (const std::string& answer : {invalid_key, used_up, both}) {
    EXPECT_FALSE(Serp().ReadCount(answer, count)) << answer;
  }
  EXPECT_EQ(count, "kept");
  EXPECT_EQ(Serp().ErrorText(invalid_key),
            std::string(kAbnormalTermination) +
                "Invalid API key. Your API key should be here: https://serpapi.com/manage-api-key");
  EXPECT_EQ(Serp().ErrorText(used_up),
            std::string(kAbnormalTermination) + "Your account has run out of searches.");
}

TEST(SerpApiReader, NeitherCountNorErrorIsAFailureWithoutMessage) {
  for (const std::string& answer :
       {std::string(), std::string("<html>502 Bad Gateway</html>"),
        std::string(R"({"search_information": {"total_results": 12)"),  // cut off
        std::string(R"({"search_metadata": {"status": "Success"}})"),
        std::string(R"({"search_information": {"total_results": "12"}})"),
        std::string(R"({"search_information": {"total_results": 1.5}})"),
        std::string(R"({"search_information": {"total_results": 9223372036854775808}})"),
        std::string(R"({"error": ""})"), std::string(R"({"error": {"code": 500}})"),
        std::string(R"(["error"])")}) {
    std::string count;
    EXPECT_FALSE(Serp().ReadCount(answer, count)) << answer;
    EXPECT_EQ(Serp().ErrorText(answer), kAbnormalTermination) << answer;
    EXPECT_THAT(Serp().ReadResults(answer, 10), IsEmpty());
  }
}

TEST(SerpApiReader, ResultsWithoutACountAndNegativeTotalsAreFailures) {
  const std::string no_count = R"({"organic_results": [{"title": "A", "link": "https://a.example/"}]})";
  std::string count = "kept";
  EXPECT_FALSE(Serp().ReadCount(no_count, count));
  EXPECT_EQ(Serp().ErrorText(no_count), std::string(kAbnormalTermination) +
                                            "The answer lists results but no result count.");
  EXPECT_FALSE(Serp().ReadCount(R"({"search_information": {"total_results": -3}})", count));
  EXPECT_EQ(count, "kept");
  EXPECT_FALSE(Google().ReadCount(R"({"searchInformation": {"totalResults": "-3"}})", count));
}

TEST(SerpApiReader, SearchesLeftOnlyFromAValidAccountAnswer) {
  EXPECT_EQ(Serp().ReadSearchesLeft(R"({"plan_searches_left": 3, "total_searches_left": 240})"),
            240);
  for (const char* answer : {"", R"({"plan_searches_left": 3})",
                             R"({"total_searches_left": "240"})", R"({"total_searches_left": -1})",
                             R"({"error": "Invalid API key.", "total_searches_left": 1})"}) {
    EXPECT_EQ(Serp().ReadSearchesLeft(answer), std::nullopt) << answer;
  }
  EXPECT_EQ(Google().ReadSearchesLeft(R"({"total_searches_left": 240})"), std::nullopt);
}

TEST(GoogleCustomSearchService, ReadsTheCustomSearchAnswer) {
  const std::string answer = R"({"searchInformation": {"totalResults": "42"},
    "items": [{"title": "A", "link": "https://a.example/?x=1&amp;y=2"}, {"title": "B"}]})";
  std::string count;
  EXPECT_TRUE(Google().ReadCount(answer, count));
  EXPECT_EQ(count, "42");
  EXPECT_TRUE(Google().HasResultList(answer));
  EXPECT_THAT(Google().ReadResults(answer, 10),
              ElementsAre(Field(&SearchResult::link, "https://a.example/?x=1&y=2")));
  EXPECT_EQ(Google().ErrorText(R"({"error": {"message": "Bad"}})"),
            std::string(kAbnormalTermination) + "Bad");
}

TEST(SerpApiIdeas, RelatedSearchesThenQuestionsAndOnlyTextsThatAreThere) {
  using Idea = KeywordIdea;
  const std::string answer = R"({"search_information": {"total_results": 5},
    "related_questions": [{"question": "what is x?"}, {"question": 7}, "where?", {"title": "t"},
                          {"question": "  "}, {"question": "why x?"}],
    "related_searches": [{"query": "x near me", "link": "l"}, null, {"query": ""},
                         {"query": "best x"}]})";
  EXPECT_THAT(Serp().ReadIdeas(answer),
              ElementsAre(Idea{IdeaKind::kRelatedSearch, "x near me"},
                          Idea{IdeaKind::kRelatedSearch, "best x"},
                          Idea{IdeaKind::kQuestion, "what is x?"},
                          Idea{IdeaKind::kQuestion, "why x?"}));
  // Missing, empty or not lists, and answers that are not JSON objects, hold none.
  for (const char* none :
       {R"({"search_information": {"total_results": 5}})",
        R"({"related_searches": [], "related_questions": []})",
        R"({"related_searches": {"query": "x"}, "related_questions": "why?"})", "[1]", "",
        R"({"related_searches": [{"query": "cut)"}) {
    EXPECT_THAT(Serp().ReadIdeas(none), IsEmpty()) << none;
  }
  EXPECT_FALSE(Google().GivesIdeas());
  EXPECT_TRUE(Serp().GivesIdeas());
  EXPECT_THAT(Google().ReadIdeas(answer), IsEmpty());
}

TEST(SerpApiIdeas, AutocompleteIsOneQueryWhoseCountIsItsSuggestions) {
  const Credentials settings{"key1", "", kSerpApi, ""};
  EXPECT_EQ(Serp().QueryURL(QueryKind::Autocomplete, "red & shoes", settings),
            "https://serpapi.com/search.json?engine=google_autocomplete&q=red+%26+shoes&hl=en"
            "&api_key=key1");
  EXPECT_EQ(WithoutKey(Serp().QueryURL(QueryKind::Autocomplete, "x", settings)),
            "https://serpapi.com/search.json?engine=google_autocomplete&q=x&hl=en");
  const std::string answer =
      R"({"suggestions": [{"value": "x online"}, {"value": ""}, {"relevance": 3}, 5,
                          {"value": "x 2026"}]})";
  EXPECT_THAT(Serp().ReadSuggestions(answer), ::testing::Optional(ElementsAre("x online", "x 2026")));
  EXPECT_THAT(Serp().ReadSuggestions(R"({"suggestions": []})"), ::testing::Optional(IsEmpty()));
  for (const char* failed : {R"({"error": "Invalid API key."})",
                             R"({"error": "x", "suggestions": [{"value": "a"}]})",
                             R"({"suggestions": "a"})", R"({"search_metadata": {}})", ""}) {
    EXPECT_EQ(Serp().ReadSuggestions(failed), std::nullopt) << failed;
  }
  EXPECT_EQ(Google().ReadSuggestions(answer), std::nullopt);

  ServiceAnswer reply;
  reply.service = &Serp();
  reply.kind = QueryKind::Autocomplete;
  reply.body = answer;
  std::string count;
  ASSERT_TRUE(reply.ReadCount(count));
  EXPECT_EQ(count, "2");
  EXPECT_THAT(reply.ReadIdeas(), ElementsAre(KeywordIdea{IdeaKind::kAutocomplete, "x online"},
                                             KeywordIdea{IdeaKind::kAutocomplete, "x 2026"}));
  reply.body = R"({"error": "Your account has run out of searches."})";
  EXPECT_FALSE(reply.ReadCount(count));
  EXPECT_THAT(reply.ReadIdeas(), IsEmpty());
}

// What a count link keeps of its query: everything up to the key, the engine code included.
TEST(WithoutKey, CutsTheKeyParameterOfAQueryURLAndLeavesOtherTextsAlone) {
  const Credentials settings{" K&cx=x&key=K2 ", "C", "", "https://gw.example:8443/p"};
  EXPECT_EQ(WithoutKey(Google().QueryURL(QueryKind::Title, "a & b", settings)),
            "https://gw.example:8443/p/customsearch/v1?q=allintitle%3A+a+%26+b&cx=C&hl=EN"
            "&lr=lang_en");
  EXPECT_EQ(WithoutKey(Serp().QueryURL(QueryKind::Phrase, "a", settings)),
            "https://gw.example:8443/p/search.json?engine=google&q=a&hl=en&lr=lang_en");
  EXPECT_EQ(WithoutKey(Google().QueryURL(QueryKind::Phrase, "a", {"", "C", "", ""})),
            "https://www.googleapis.com/customsearch/v1?q=a&cx=C&hl=EN&lr=lang_en");
  // Links an earlier Kelvaro wrote: the key anywhere, a phrase's quote kept unencoded.
  EXPECT_EQ(WithoutKey("https://www.googleapis.com/customsearch/v1?key=K&cx=C&q=a"),
            "https://www.googleapis.com/customsearch/v1");
  EXPECT_EQ(WithoutKey("https://serpapi.com/search.json?q=\"red+shoes\"&api_key=K"),
            "https://serpapi.com/search.json?q=\"red+shoes\"");
  for (const char* other :
       {"", "u1", "https://a.example/page?q=x&key=K", "https://serpapi.com/account.json?api_key=K",
        "https://www.googleapis.com/customsearch/v1?q=a&monkey=1"}) {
    EXPECT_EQ(WithoutKey(other), other);
  }
}

TEST(PublicResultsURL, CarriesTheQueryTextAndNeverTheKeyOrEngineCode) {
  const Credentials settings{"SECRET-KEY", "SECRET-CX", "", "http://127.0.0.1:1/p"};
  for (const SearchService* service : {&Google(), &Serp()}) {
    EXPECT_EQ(PublicResultsURL(service->QueryURL(QueryKind::Title, "c# & tips", settings)),
              "https://www.google.com/search?q=allintitle%3A+c%23+%26+tips");
    EXPECT_EQ(PublicResultsURL(service->QueryURL(QueryKind::Backlinks, "https://a/?b=1", settings)),
              "https://www.google.com/search?q=link%3A+https%3A%2F%2Fa%2F%3Fb%3D1");
  }
  // Links written before phrases were encoded, and a key or engine code full of delimiters.
  EXPECT_EQ(PublicResultsURL("https://www.googleapis.com/customsearch/v1?q=c#+\"x\"&cx=C&key=K"),
            "https://www.google.com/search?q=c%23+%22x%22");
  for (const char* key : {"K&q=K", "?q=K", "_KEYWORDS_"}) {
    const std::string url = Google().QueryURL(QueryKind::Phrase, "a", {key, "C&q=C", "", ""});
    EXPECT_EQ(PublicResultsURL(url), "https://www.google.com/search?q=a") << url;
  }
  // Anything else keeps its text only.
  for (const char* other : {"", "https://a.example/", "https://a.example/page?q=x&key=K",
                            "https://serpapi.com/account.json?api_key=K",
                            "https://www.googleapis.com/customsearch/v1?key=K"}) {
    EXPECT_EQ(PublicResultsURL(other), "") << other;
  }
}

}  // namespace
}  // namespace kelvaro
