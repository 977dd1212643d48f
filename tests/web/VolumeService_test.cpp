#include "web/VolumeService.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvaro {
namespace {

TEST(VolumeService, RequestsBatchAHundredPhrasesAndLeaveOutWhatCannotBeAsked) {
  std::vector<std::string> phrases;
  for (int i = 0; i < 101; ++i) phrases.push_back("kw " + std::to_string(i));
  phrases.push_back("");                          // empty line
  phrases.push_back("   ");                       // spaces only
  phrases.push_back(std::string(101, 'a'));       // too long
  phrases.push_back("tab\x01inside");             // control character
  phrases.push_back("KW  0");                     // the same phrase as the first
  phrases.push_back("caf\xC3\xA9 & co");
  const std::vector<VolumeRequest> requests = VolumeRequests(phrases, "us");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].phrases.size(), 100u);
  EXPECT_EQ(requests[0].body.rfind("dataSource=gkp&country=us&currency=usd&kw%5B%5D=kw%200&", 0),
            0u);
  EXPECT_EQ(requests[1].phrases, (std::vector<size_t>{100, 106}));
  EXPECT_EQ(requests[1].body,
            "dataSource=gkp&country=us&currency=usd&kw%5B%5D=kw%20100&kw%5B%5D=caf%C3%A9%20%26%20co");
  EXPECT_TRUE(VolumeRequests({"", " "}, "").empty());
  EXPECT_EQ(VolumeRequests({"a"}, " GB ")[0].body, "dataSource=gkp&country=gb&currency=usd&kw%5B%5D=a");
  EXPECT_TRUE(IsVolumeCountry("") && IsVolumeCountry(" us ") && IsVolumeCountry("DE"));
  EXPECT_FALSE(IsVolumeCountry("usa") || IsVolumeCountry("u1") || IsVolumeCountry("u&"));
  EXPECT_EQ(VolumeSources(phrases)[105], 0u);  // the repeat takes the first one's volume
  EXPECT_EQ(VolumeSources(phrases)[103], SIZE_MAX);
  EXPECT_EQ(VolumeCredits(phrases), 102u);
}

TEST(VolumeService, KeyTravelsInTheHeaderOnly) {
  EXPECT_EQ(VolumeHeaders(" SECRET "),
            (std::vector<std::string>{"Authorization: Bearer SECRET", "Accept: application/json"}));
  const auto requests = VolumeRequests({"red shoes"}, "");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body.find("SECRET"), std::string::npos);
  EXPECT_EQ(VolumeURL(""), "https://api.keywordseverywhere.com/v1/get_keyword_data");
  EXPECT_EQ(VolumeURL("http://127.0.0.1:8080/"), "http://127.0.0.1:8080/v1/get_keyword_data");
}

TEST(VolumeService, EntriesMatchByKeywordNotPosition) {
  const std::vector<std::string> phrases = {"Red Shoes", "blue  hats", "green", "never asked"};
  const VolumeRequest request{"", {0, 1, 2}};
  const VolumeAnswer answer = ReadVolumeAnswer(200, R"({"data": [
      {"keyword": "blue hats", "vol": 90},
      {"keyword": "something else", "vol": 7},
      {"keyword": " red  shoes ", "vol": 1300, "cpc": {"currency": "$", "value": "0.52"}}],
      "credits": 98765, "time": 0.2})",
                                               request, phrases);
  ASSERT_TRUE(answer.ok);
  EXPECT_EQ(answer.credits, 98765);
  EXPECT_EQ(answer.volumes,
            (std::vector<std::optional<int64_t>>{1300, 90, std::nullopt}));
  // Letters beyond ASCII match in either case too.
  const VolumeAnswer umlaut =
      ReadVolumeAnswer(200, R"({"data": [{"keyword": "\u00e4pfel kaufen", "vol": 40}]})",
                       VolumeRequest{"", {0}}, {"\xC3\x84pfel Kaufen"});
  EXPECT_EQ(umlaut.volumes, (std::vector<std::optional<int64_t>>{40}));
}

TEST(VolumeService, OddVolumesGiveNoVolume) {
  const std::vector<std::string> phrases = {"a", "b", "c", "d", "e", "f"};
  const VolumeRequest request{"", {0, 1, 2, 3, 4, 5}};
  const VolumeAnswer answer = ReadVolumeAnswer(200, R"({"data": [
      {"keyword": "a", "vol": "1300"}, {"keyword": "b", "vol": -4}, {"keyword": "c", "vol": 2.5},
      {"keyword": "d", "vol": 10}, {"keyword": "d", "vol": 11},
      {"keyword": "e", "vol": 5}, {"keyword": "e", "vol": 5}, {"vol": 3}, 17]})",
                                               request, phrases);
  ASSERT_TRUE(answer.ok);
  EXPECT_EQ(answer.volumes, (std::vector<std::optional<int64_t>>{std::nullopt, std::nullopt,
                                                                 std::nullopt, std::nullopt, 5,
                                                                 std::nullopt}));
}

TEST(VolumeService, FailuresCarryTheServicesMessage) {
  const std::vector<std::string> phrases = {"a"};
  const VolumeRequest request{"", {0}};
  struct Case {
    long status;
    const char* body;
    const char* message;
  };
  for (const Case& c : std::vector<Case>{
           {401, R"({"message": "Invalid API key"})", "Invalid API key"},
           {200, R"({"error": {"message": "Out of credits"}})", "Out of credits"},
           {200, R"({"data": {"keyword": "a", "vol": 1}})", ""},
           {200, R"({"credits": 3})", ""},
           {500, R"({"data": []})", ""},
           {200, "<html>gateway</html>", ""},
           {200, "", ""}}) {
    const VolumeAnswer answer = ReadVolumeAnswer(c.status, c.body, request, phrases);
    EXPECT_FALSE(answer.ok) << c.body;
    EXPECT_EQ(answer.message, c.message) << c.body;
    EXPECT_EQ(answer.volumes, (std::vector<std::optional<int64_t>>{std::nullopt}));
  }
}

}  // namespace
}  // namespace kelvaro
