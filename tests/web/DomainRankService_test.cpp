#include "web/DomainRankService.h"

#include <gtest/gtest.h>

#include <clocale>
#include <optional>
#include <string>
#include <vector>

namespace kelvaro {
namespace {

using Ranks = std::vector<std::optional<double>>;

TEST(DomainRankService, DomainOfALink) {
  const struct {
    const char* link;
    const char* domain;
  } cases[] = {
      {"https://www.Example.com/shoes?a=1", "example.com"},
      {"http://shop.example.net:8080/x", "shop.example.net"},
      {"https://user:pw@www.example.org./", "example.org"},
      {"https://WWW.reddit.com", "reddit.com"},
      {"example.com/page", "example.com"},
      {"https://caf\xC3\xA9.example/", "caf\xC3\xA9.example"},
      {"https://[::1]:8080/", ""},  // an address, not a domain
      {"https://exa mple.com/", ""},
      {"https://a..b/", ""},
      {"https:///path", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(RankDomain(c.link), c.domain) << c.link;
}

TEST(DomainRankService, EachDomainOnceInBatchesOfAHundred) {
  // "www." and a port make no other domain.
  EXPECT_EQ(RankDomains({"https://www.a.com/1", "http://a.com:81/2", "https://b.com/",
                         "https://A.com/3", "https:///", "https://sub.a.com/"}),
            (std::vector<std::string>{"a.com", "b.com", "sub.a.com"}));

  std::vector<std::string> domains;
  for (int i = 0; i < 250; ++i) domains.push_back("d" + std::to_string(i) + ".com");
  const std::vector<std::string> urls = RankURLs("", domains);
  ASSERT_EQ(urls.size(), 3u);
  EXPECT_EQ(urls[0].rfind("https://openpagerank.com/api/v1.0/getPageRank?domains%5B%5D=d0.com&"
                          "domains%5B%5D=d1.com&", 0),
            0u);
  const auto count = [](const std::string& url) {
    size_t n = 0;
    for (size_t at = url.find("domains%5B%5D="); at != std::string::npos;
         at = url.find("domains%5B%5D=", at + 1)) {
      ++n;
    }
    return n;
  };
  EXPECT_EQ(count(urls[0]), 100u);
  EXPECT_EQ(count(urls[1]), 100u);
  EXPECT_EQ(count(urls[2]), 50u);
  EXPECT_EQ(urls[2].rfind("https://openpagerank.com/api/v1.0/getPageRank?domains%5B%5D=d200.com&", 0),
            0u);
  EXPECT_TRUE(RankURLs("", {}).empty());
  EXPECT_EQ(RankURLs("http://127.0.0.1:8080/", {"caf\xC3\xA9.example"}),
            (std::vector<std::string>{
                "http://127.0.0.1:8080/api/v1.0/getPageRank?domains%5B%5D=caf%C3%A9.example"}));
  EXPECT_EQ(RankHeaders(" SECRET "),
            (std::vector<std::string>{"API-OPR: SECRET", "Accept: application/json"}));
}

TEST(DomainRankService, EntriesMatchByDomainNotPosition) {
  const RankAnswer answer = ReadRankAnswer(200, R"({"status_code": 200, "response": [
      {"status_code": 200, "error": "", "page_rank_integer": 3, "page_rank_decimal": 2.5,
       "rank": "901", "domain": "b.com"},
      {"status_code": 404, "error": "Domain not found", "page_rank_decimal": 0, "domain": "c.com"},
      {"status_code": 200, "page_rank_decimal": "7.31", "domain": "WWW.A.com"},
      {"status_code": 200, "page_rank_decimal": 11, "domain": "d.com"},
      {"status_code": 200, "page_rank_decimal": 1, "domain": "never-asked.com"}],
      "last_updated": "15th Nov 2026"})",
                                           {"a.com", "b.com", "c.com", "d.com", "e.com"}, "k");
  ASSERT_TRUE(answer.ok);
  EXPECT_EQ(answer.ranks, (Ranks{7.31, 2.5, std::nullopt, std::nullopt, std::nullopt}));
}

TEST(DomainRankService, FailuresSayTheServicesWordsWithoutTheKey) {
  const std::vector<std::string> domains = {"a.com"};
  const RankAnswer refused =
      ReadRankAnswer(401, R"({"status_code": 401, "error": "Invalid API key SECRET"})", domains,
                     " SECRET ");
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, "Invalid API key ***");
  // The answer's own status counts even under HTTP 200.
  EXPECT_FALSE(ReadRankAnswer(200, R"({"status_code": 429, "error": "Too many"})", domains, "k").ok);
  EXPECT_EQ(ReadRankAnswer(200, R"({"status_code": 429, "error": "Too many"})", domains, "k").message,
            "Too many");
  EXPECT_FALSE(ReadRankAnswer(200, R"({"status_code": 200})", domains, "k").ok);
  EXPECT_FALSE(ReadRankAnswer(200, R"({"status_code": 200, "response": [)", domains, "k").ok);
  const RankAnswer nothing = ReadRankAnswer(0, "", domains, "k");
  EXPECT_FALSE(nothing.ok);
  EXPECT_EQ(nothing.message, "");
  EXPECT_EQ(nothing.ranks, (Ranks{std::nullopt}));
}

TEST(DomainRankService, RankTextsIgnoreTheLocale) {
  // A locale with a decimal comma, where the system has one, must not change the texts.
  const std::string before = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  EXPECT_EQ(FormatRank(4.567), "4.57");
  EXPECT_EQ(FormatRank(0), "0.00");
  EXPECT_EQ(FormatRank(10), "10.00");
  EXPECT_EQ(ParseRank(RankText(7.31)), 7.31);
  std::setlocale(LC_ALL, before.c_str());
  EXPECT_EQ(ParseRank("3"), 3.0);
  EXPECT_FALSE(ParseRank("10.5") || ParseRank("-1") || ParseRank("") || ParseRank("3,5") ||
               ParseRank("nan") || ParseRank("4.2x"));
}

}  // namespace
}  // namespace kelvaro
