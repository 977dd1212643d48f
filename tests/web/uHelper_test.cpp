#include "web/uHelper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kelvaro {
namespace {

TEST(IntegerText, DecimalWithinRange) {
  int32_t v = 0;
  EXPECT_TRUE(TryStrToInt("0", v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(TryStrToInt("   -17", v));
  EXPECT_EQ(v, -17);
  EXPECT_TRUE(TryStrToInt("+0042", v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(TryStrToInt("2147483647", v));
  EXPECT_EQ(v, INT32_MAX);
  EXPECT_TRUE(TryStrToInt("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);

  int64_t w = 0;
  EXPECT_TRUE(TryStrToInt64("9223372036854775807", w));
  EXPECT_EQ(w, INT64_MAX);
  EXPECT_TRUE(TryStrToInt64("-9223372036854775808", w));
  EXPECT_EQ(w, INT64_MIN);
  EXPECT_TRUE(TryStrToInt64("2147483648", w));
  EXPECT_EQ(w, 2147483648LL);
}

TEST(IntegerText, InvalidTextsLeaveTheValueAlone) {
  for (const char* text :
       {"", " ", "-", "+", "5 ", "1,230", "- 5", "+-5", "12a", "$", "0x", "x", "2147483648",
        "-2147483649", "99999999999999999999", "$123456789", "1.5", "\t5"}) {
    int32_t v = 77;
    EXPECT_FALSE(TryStrToInt(text, v)) << '"' << text << '"';
    EXPECT_EQ(v, 77) << text;
  }
  int64_t w = 77;
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", w));
  EXPECT_FALSE(TryStrToInt64("$10000000000000000", w));
  EXPECT_EQ(w, 77);
}

TEST(IntegerText, HexadecimalPrefixesAndWrapping) {
  int32_t v = 0;
  EXPECT_TRUE(TryStrToInt("$1F", v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(TryStrToInt("x1f", v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(TryStrToInt("0X10", v));
  EXPECT_EQ(v, 16);
  EXPECT_TRUE(TryStrToInt("  -$10", v));
  EXPECT_EQ(v, -16);
  EXPECT_TRUE(TryStrToInt("$FFFFFFFF", v));  // wraps within 32 bits
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(TryStrToInt("$80000000", v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_TRUE(TryStrToInt("$000000041", v));  // leading zeros do not count as width
  EXPECT_EQ(v, 0x41);

  int64_t w = 0;
  EXPECT_TRUE(TryStrToInt64("$FFFFFFFF", w));  // no wrap in 64 bits
  EXPECT_EQ(w, 0xFFFFFFFFLL);
  EXPECT_TRUE(TryStrToInt64("$FFFFFFFFFFFFFFFF", w));
  EXPECT_EQ(w, -1);
}

TEST(Trim, RemovesControlBytesAndSpacesOnly) {
  EXPECT_EQ(Trim("  \t\r\n abc \x01\x1F "), "abc");
  EXPECT_EQ(Trim(std::string("\0x\0", 3)), "x");
  EXPECT_EQ(Trim(" a b "), "a b");
  EXPECT_EQ(Trim("   "), "");
  // Bytes above 127 are text, not blanks (a signed-char comparison would strip them).
  EXPECT_EQ(Trim("\xE9t\xE9"), "\xE9t\xE9");
}

TEST(ExtractNumber, CountTextMustBeAnInteger) {
  const std::string marker = "\"totalResults\": \"";
  std::string value = "unchanged";
  EXPECT_FALSE(ExtractNumber(marker + "1,230\"", marker, "\"", value));
  EXPECT_EQ(value, "1,230");
  EXPECT_TRUE(ExtractNumber(marker + "0\"", marker, "\"", value));
  EXPECT_EQ(value, "0");
  EXPECT_TRUE(ExtractNumber("a " + marker + "15\" b " + marker + "99\"", marker, "\"", value));
  EXPECT_EQ(value, "15");  // the first occurrence
}

TEST(ExtractNumber, MissingMarkersLeaveTheValueAlone) {
  std::string value = "keep";
  EXPECT_FALSE(ExtractNumber("", "<", ">", value));
  EXPECT_FALSE(ExtractNumber("no start here", "<", ">", value));
  EXPECT_FALSE(ExtractNumber("> <12", "<", ">", value));  // end marker only before the start
  EXPECT_EQ(value, "keep");
}

TEST(ExtractBetween, WalksAListWithOnePosition) {
  const std::string text = R"({"title": "A", "link": "a.com", "title": "", "link": "b.com"})";
  int pos = 1;
  std::string title, link;
  ASSERT_TRUE(ExtractBetween(text, "\"title\": \"", "\"", pos, title));
  EXPECT_EQ(title, "A");
  EXPECT_EQ(text.substr(pos - 1, 1), "\"");  // pos is on the end marker
  ASSERT_TRUE(ExtractBetween(text, "\"link\": \"", "\"", pos, link));
  EXPECT_EQ(link, "a.com");
  // An empty value is found (pos moves, value cleared) but reported as false.
  EXPECT_FALSE(ExtractBetween(text, "\"title\": \"", "\"", pos, title));
  EXPECT_EQ(title, "");
  ASSERT_TRUE(ExtractBetween(text, "\"link\": \"", "\"", pos, link));
  EXPECT_EQ(link, "b.com");
  // Past the last entry: a miss keeps both the value and the position.
  const int last = pos;
  EXPECT_FALSE(ExtractBetween(text, "\"link\": \"", "\"", pos, link));
  EXPECT_EQ(link, "b.com");
  EXPECT_EQ(pos, last);
}

TEST(ExtractBetween, PositionsBeyondTheEndFindNothing) {
  const std::string text = "<a>";
  std::string value = "keep";
  int pos = 5;
  EXPECT_FALSE(ExtractBetween(text, "<", ">", pos, value));
  EXPECT_EQ(pos, 5);
  EXPECT_EQ(value, "keep");
  pos = 2;  // starts after the only start marker
  EXPECT_FALSE(ExtractBetween(text, "<", ">", pos, value));
  EXPECT_EQ(pos, 2);
  pos = 1;
  EXPECT_TRUE(ExtractBetween(text, "<", ">", pos, value));
  EXPECT_EQ(value, "a");
  EXPECT_EQ(pos, 3);
}

TEST(URLEncode, KeepsUnreservedAndEncodesEverythingElse) {
  EXPECT_EQ(URLEncode("a-b_c.d~"), "a-b_c.d~");
  EXPECT_EQ(URLEncode("a b/c?d=1"), "a%20b%2Fc%3Fd%3D1");
  EXPECT_EQ(URLEncode("\xE9"), "%E9");
  EXPECT_EQ(URLEncode(std::string("%&+\0", 4)), "%25%26%2B%00");
}

TEST(SmallHelpers, LeftCopyAndHexByte) {
  EXPECT_EQ(LeftCopy("abc", 2), "ab");
  EXPECT_EQ(LeftCopy("abc", 10), "abc");
  EXPECT_EQ(LeftCopy("abc", 0), "");
  EXPECT_EQ(LeftCopy("abc", -1), "");
  EXPECT_EQ(HexByte(0x0A), "0A");
  EXPECT_EQ(HexByte(0xFF), "FF");
  EXPECT_EQ(HexByte(0), "00");
}

}  // namespace
}  // namespace kelvaro
