#include "base/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace kelvaro {
namespace {

TEST(TextTest, AsciiCaseLeavesEveryOtherByteAlone) {
  EXPECT_EQ(LowerAscii("AZaz09@[`{"), "azaz09@[`{");
  EXPECT_EQ(LowerAscii("\xC4pfel \xC3\x84"), "\xC4pfel \xC3\x84");  // Latin-1 and UTF-8 Ä
  EXPECT_TRUE(EqualsIgnoringAsciiCase("Retry-After", "retry-after"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC4", "\xE4"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("ab", "abc"));
  EXPECT_TRUE(StartsWithIgnoringAsciiCase("HTTPS://x", "https://"));
  EXPECT_FALSE(StartsWithIgnoringAsciiCase("http", "https://"));
  EXPECT_TRUE(StartsWithIgnoringAsciiCase("", ""));
}

TEST(TextTest, HexDigitValues) {
  const struct {
    char c;
    int value;
  } cases[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'F', 15}, {'f', 15}, {'g', -1}, {'G', -1},
               {'/', -1}, {':', -1}, {'@', -1}, {'`', -1}, {'\0', -1}};
  for (const auto& c : cases) EXPECT_EQ(HexDigitValue(c.c), c.value) << c.c;
}

TEST(TextTest, LinesEndAtEitherBreakOrAtLfOnly) {
  using Lines = std::vector<std::string_view>;
  const struct {
    std::string_view text;
    Lines any;
    Lines lf;
  } cases[] = {
      {"", {}, {}},
      {"a", {"a"}, {"a"}},
      {"a\n", {"a"}, {"a"}},
      {"\r\n", {""}, {""}},
      {"a\n\nb", {"a", "", "b"}, {"a", "", "b"}},
      {"a\r\nb\rc\n\r", {"a", "b", "c", ""}, {"a", "b\rc", ""}},
      {"a\r\r\n", {"a", ""}, {"a\r"}},
      {"a\r", {"a"}, {"a"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitLines(c.text), c.any) << testing::PrintToString(std::string(c.text));
    EXPECT_EQ(SplitLines(c.text, LineEnds::kLf), c.lf)
        << testing::PrintToString(std::string(c.text));
  }
  EXPECT_EQ(SplitLines(std::string_view()), Lines{});
}

}  // namespace
}  // namespace kelvaro
