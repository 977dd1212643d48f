#include "base/KeywordLines.h"

#include <gtest/gtest.h>

namespace kelvaro {
namespace {

using Lines = std::vector<std::string>;

TEST(KeywordLinesTest, TypedLinesOnly) {
  EXPECT_EQ(KeywordLines(""), Lines{});
  EXPECT_EQ(KeywordLines("red shoes"), Lines{"red shoes"});
  EXPECT_EQ(KeywordLines("a\nb\n"), (Lines{"a", "b"}));
  EXPECT_EQ(KeywordLines("a\r\n\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(KeywordLines("a\n\n"), (Lines{"a", ""}));
  EXPECT_EQ(KeywordLines("a\rb"), (Lines{"a", "b"}));
  // A long phrase stays one phrase, cut at 4096 characters.
  const std::string longest(5000, 'w');
  EXPECT_EQ(KeywordLines(longest + "\nx"), (Lines{longest.substr(0, 4096), "x"}));
}

// Start refuses a memo of blanks, so nothing would be sent.
TEST(KeywordLinesTest, StartPhraseCountIsWhatStartSends) {
  EXPECT_EQ(StartPhraseCount("a\nb\n\nc\nd\n"), 5u);
  EXPECT_EQ(StartPhraseCount("red shoes"), 1u);
  EXPECT_EQ(StartPhraseCount(""), 0u);
  EXPECT_EQ(StartPhraseCount(" \n\t\n"), 0u);
}

}  // namespace
}  // namespace kelvaro
