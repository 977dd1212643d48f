#include "web/CustomSearch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "base/CodePage.h"
#include "tests/support/FakeWorkerHost.h"

namespace kelvaro {
namespace {

using ::testing::IsEmpty;
using ::testing::SizeIs;

// The value of the q parameter of a built URL.
std::string QueryOf(QueryKind kind, const std::string& text) {
  const std::string url = BuildQueryURL(kind, text, "K", "C");
  const size_t from = url.find("?q=") + 1;
  return url.substr(from, url.find("&cx=") - from);
}

TEST(BuildQueryURL, FullTemplate) {
  EXPECT_EQ(BuildQueryURL(QueryKind::Phrase, "red shoes", " key1 ", "  abc  "),
            "https://www.googleapis.com/customsearch/v1?q=red+shoes&cx=abc&hl=EN&lr=lang_en"
            "&key=key1");
  EXPECT_EQ(BuildQueryURL(QueryKind::Phrase, "x", "k", "c", "http://127.0.0.1:8080"),
            "http://127.0.0.1:8080/customsearch/v1?q=x&cx=c&hl=EN&lr=lang_en&key=k");
}

TEST(BuildQueryURL, PhraseFormKeepsSpacesAsPlus) {
  EXPECT_EQ(QueryOf(QueryKind::Phrase, "best running shoes"), "q=best+running+shoes");
  EXPECT_EQ(QueryOf(QueryKind::Phrase, " a b "), "q=+a+b+");
  EXPECT_EQ(QueryOf(QueryKind::Title, "x y"), "q=allintitle%3A+x+y");
  EXPECT_EQ(QueryOf(QueryKind::URL, "x y"), "q=allinurl%3A+x+y");
}

TEST(BuildQueryURL, PhraseFormEncodesBytesThatWouldBreakTheQuery) {
  EXPECT_EQ(QueryOf(QueryKind::Phrase, "salt & pepper"), "q=salt+%26+pepper");
  EXPECT_EQ(QueryOf(QueryKind::Phrase, "c# tips"), "q=c%23+tips");
  // "café" in the system's code page goes out as UTF-8.
  EXPECT_EQ(QueryOf(QueryKind::Phrase, FromUtf8("caf\xC3\xA9", SystemCodePage())), "q=caf%C3%A9");
  EXPECT_EQ(QueryOf(QueryKind::Phrase, "\"a+b\" 100%"), "q=%22a%2Bb%22+100%25");
  EXPECT_EQ(QueryOf(QueryKind::Title, "c# tips"), "q=allintitle%3A+c%23+tips");
  // The key and engine code are still intact after a phrase full of delimiters.
  const std::string url = BuildQueryURL(QueryKind::Phrase, "a&b#c?d", "K", "C");
  EXPECT_NE(url.find("q=a%26b%23c%3Fd&cx=C&hl=EN&lr=lang_en&key=K"), std::string::npos);
}

TEST(BuildQueryURL, BacklinksEncodeTheWholeURL) {
  EXPECT_EQ(QueryOf(QueryKind::Backlinks, "p?x=1&y=2"), "q=link%3A+p%3Fx%3D1%26y%3D2");
  EXPECT_EQ(QueryOf(QueryKind::Backlinks, "https://a.b/c d"),
            "q=link%3A+https%3A%2F%2Fa.b%2Fc%20d");
}

TEST(BuildQueryURL, ReplacementOrderAndCase) {
  // _KEYWORDS_ is replaced last, so a key holding it receives the query text; _KEY_ inside
  // an engine code receives the key. Placeholders match in any letter case.
  EXPECT_EQ(BuildQueryURL(QueryKind::Phrase, "w", "a_keywords_b", "c_Key_d", ""),
            "/customsearch/v1?q=w&cx=cawbd&hl=EN&lr=lang_en&key=awb");
  // The endpoint is never rewritten, whatever its path holds.
  EXPECT_EQ(BuildQueryURL(QueryKind::Phrase, "w", "K", "C", "https://gw.example/search_keywords_proxy"),
            "https://gw.example/search_keywords_proxy/customsearch/v1?q=w&cx=C&hl=EN&lr=lang_en&key=K");
}

TEST(ReadCount, ValidAndInvalidCounts) {
  std::string count = "keep";
  EXPECT_FALSE(ReadCount("", count));
  EXPECT_FALSE(ReadCount("{\"error\": {\"code\": 400}}", count));
  EXPECT_EQ(count, "keep");
  EXPECT_TRUE(ReadCount("{\n  \"totalResults\": \"0\",\n}", count));
  EXPECT_EQ(count, "0");
  EXPECT_TRUE(ReadCount("\"totalResults\": \"123000\"", count));
  EXPECT_EQ(count, "123000");
  EXPECT_FALSE(ReadCount("\"totalResults\": \"1,230\"", count));
  EXPECT_EQ(count, "1,230");
  EXPECT_FALSE(ReadCount("\"totalResults\":\"5\"", count));  // marker is exact, space included
}

TEST(ErrorText, ReadsTheMessageAsAJsonString) {
  EXPECT_EQ(ErrorText(""), "Abnormal request terminatiom. ");
  EXPECT_EQ(ErrorText("{\"message\": \"\"}"), "Abnormal request terminatiom. ");
  EXPECT_EQ(ErrorText("{\"message\": \"unterminated"), "Abnormal request terminatiom. ");
  EXPECT_EQ(
      ErrorText(
          R"({"error": {"code": 400, "message": "API key not valid. Please pass a valid API key."}})"),
      "Abnormal request terminatiom. API key not valid. Please pass a valid API key.");
  EXPECT_EQ(ErrorText(R"({"message": "limit \u0027Queries per day\u0027 of \"x\""})"),
            "Abnormal request terminatiom. limit 'Queries per day' of \"x\"");
}

TEST(ExtractJsonString, DecodesEscapes) {
  int pos = 1;
  std::string v;
  ASSERT_TRUE(ExtractJsonString(R"("title": "Say \"hi\"")", "\"title\": \"", pos, v));
  EXPECT_EQ(v, "Say \"hi\"");
  pos = 1;
  ASSERT_TRUE(ExtractJsonString(R"("link": "https://a.b/?a=1\u0026b=2")", "\"link\": \"", pos, v));
  EXPECT_EQ(v, "https://a.b/?a=1&b=2");
  pos = 1;
  ASSERT_TRUE(ExtractJsonString(R"(: "\\\/\b\f\n\r\t\u00e9\u20ac\ud83d\ude00")", ": \"", pos, v));
  EXPECT_EQ(v, "\\/\b\f\n\r\t\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  pos = 1;
  ASSERT_TRUE(ExtractJsonString(R"(: "a\\")", ": \"", pos, v));  // escaped backslash, then end
  EXPECT_EQ(v, "a\\");
}

TEST(ExtractJsonString, MalformedEscapesAndLoneSurrogates) {
  int pos = 1;
  std::string v;
  ASSERT_TRUE(ExtractJsonString(R"(: "\x\u12G4\ud800z\udc00")", ": \"", pos, v));
  EXPECT_EQ(v, "\\x\\u12G4\xEF\xBF\xBDz\xEF\xBF\xBD");
  pos = 1;
  ASSERT_TRUE(ExtractJsonString(R"(: "nul\u0000byte")", ": \"", pos, v));
  EXPECT_EQ(v, std::string("nul\0byte", 8));
}

TEST(ExtractJsonString, MovesLikeExtractBetween) {
  const std::string text =
      R"("items": [{"title": "One \"1\"", "link": "a"}, {"title": "Two", "link": "b"}])";
  int pos = 1;
  std::string title, link;
  ASSERT_TRUE(ExtractJsonString(text, "\"title\": \"", pos, title));
  EXPECT_EQ(title, "One \"1\"");
  EXPECT_EQ(text[pos - 1], '"');
  EXPECT_EQ(text.substr(pos - 4, 4), "1\\\"\"");  // the closing quote, not an escaped one
  ASSERT_TRUE(ExtractJsonString(text, "\"link\": \"", pos, link));
  EXPECT_EQ(link, "a");
  ASSERT_TRUE(ExtractJsonString(text, "\"title\": \"", pos, title));
  EXPECT_EQ(title, "Two");
  ASSERT_TRUE(ExtractJsonString(text, "\"link\": \"", pos, link));
  EXPECT_EQ(link, "b");
  const int last = pos;
  EXPECT_FALSE(ExtractJsonString(text, "\"link\": \"", pos, link));
  EXPECT_EQ(pos, last);
  EXPECT_EQ(link, "b");
  pos = static_cast<int>(text.size()) + 2;
  EXPECT_FALSE(ExtractJsonString(text, "\"", pos, link));
  // An empty string is found but reported false, like ExtractBetween.
  pos = 1;
  EXPECT_FALSE(ExtractJsonString(R"(: "")", ": \"", pos, link));
  EXPECT_EQ(link, "");
  EXPECT_EQ(pos, 4);
}

TEST(HTMLDecode, ReferencesAndPlainAmpersands) {
  EXPECT_EQ(HTMLDecode("a&amp;b&#65;&lt;c&gt;"), "a&bA<c>");
  EXPECT_EQ(HTMLDecode("x&y"), "x&y");
  EXPECT_EQ(HTMLDecode("&#66"), "B");
  EXPECT_EQ(HTMLDecode("&quot;q&quot;&nbsp;!"), "\"q\" !");
  EXPECT_EQ(HTMLDecode("&AMP;&amp"), "&AMP;&amp");  // case-sensitive, needs its semicolon
  EXPECT_EQ(HTMLDecode("&#x41;&#$42;&#321;"),
            "AB"
            "A");                               // hex forms; 321 keeps its low byte
  EXPECT_EQ(HTMLDecode("&amp;amp;"), "&amp;");  // decoded once
  // A numeric reference that is not an integer text stays as written.
  EXPECT_EQ(HTMLDecode("&#; &#1 2; &#"), "&#; &#1 2; &#");
}

TEST(ParseCount, DigitsWithCommasOnly) {
  EXPECT_EQ(ParseCount("12,345"), 12345);
  EXPECT_EQ(ParseCount(" 7 "), 7);
  EXPECT_EQ(ParseCount("n/a"), 0);
  EXPECT_EQ(ParseCount(""), 0);
  EXPECT_EQ(ParseCount(",,,"), 0);
  EXPECT_EQ(ParseCount("-5"), 0);
  EXPECT_EQ(ParseCount("2,147,483,647"), 2147483647);
  EXPECT_EQ(ParseCount("2147483648"), 0);
  EXPECT_EQ(ParseCount("99999999999999999999999"), 0);
}

// The list is read entry by entry, as markers, without a JSON parser.
TEST(ReadItemsTest, PairsEachTitleWithItsOwnLink) {
  const std::string answer = R"({
  "kind": "customsearch#search",
  "queries": {"request": [{"title": "Google Custom Search - shoes", "totalResults": "3"}]},
  "searchInformation": {"totalResults": "3"},
  "items": [
    {
      "kind": "customsearch#result",
      "title": "Only a title",
      "htmlTitle": "Only a <b>title</b>",
      "displayLink": "nolink.example",
      "formattedUrl": "https://nolink.example/",
      "pagemap": {"metatags": [{"link": "https://nested.example/"}]}
    },
    {
      "kind": "customsearch#result",
      "htmlTitle": "No <b>title</b> {here}",
      "link": "https://notitle.example/",
      "pagemap": {"listitem": [{"title": "Nested title"}]}
    },
    {
      "kind": "customsearch#result",
      "pagemap": {"hcard": [{"title": "Nested first", "link": "https://nested.example/x"}]},
      "link": "https://shop.example/p?a=1&amp;b=2",
      "title": "Tom \"Big\" [Shoes] {new} \\ sale"
    },
    "not an entry",
    {
      "title": "Second \u0026 last",
      "link": "https://second.example/"
    }
  ]
})";
  const auto results = ReadItems(answer, 10);
  ASSERT_THAT(results, SizeIs(2));
  EXPECT_EQ(results[0].title, "Tom \"Big\" [Shoes] {new} \\ sale");
  EXPECT_EQ(results[0].link, "https://shop.example/p?a=1&b=2");
  EXPECT_EQ(results[1].link, "https://second.example/");

  EXPECT_THAT(ReadItems(answer, 1), SizeIs(1));
  EXPECT_THAT(ReadItems(R"({"items": []})", 10), IsEmpty());
  EXPECT_THAT(ReadItems(R"({"items": "none"})", 10), IsEmpty());
  // Cut off after the second entry's link: both came through whole.
  const std::string cut =
      testing::SearchAnswer("2", {{"Red Shoes 1", "https://www.shop.example/shoes/1"},
                                  {"Red Shoes 2", "https://www.shop.example/shoes/2"}});
  const size_t end = cut.find("\"displayLink\"", cut.find("shoes/2"));
  EXPECT_THAT(ReadItems(cut.substr(0, end), 10), SizeIs(2));
  EXPECT_THAT(ReadItems(cut.substr(0, cut.find("shoes/2")), 10), SizeIs(1));
}

}  // namespace
}  // namespace kelvaro
