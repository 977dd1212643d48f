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

TEST(KeywordLinesTest, CostLineCountsThePhrasesStartSends) {
  EXPECT_EQ(KeywordRunCostText("a\nb\n\nc\nd\n"), "5 phrases: 15 queries");
  EXPECT_EQ(DeepAnalysisCostText("a\r\nb\r\nc"), "3 phrases: up to 33 queries");
  EXPECT_EQ(KeywordRunCostText("red shoes\n"), "1 phrase: 3 queries");
  EXPECT_EQ(DeepAnalysisCostText("red shoes"), "1 phrase: up to 11 queries");
  // Start refuses a memo of blanks, so nothing would be sent.
  EXPECT_EQ(KeywordRunCostText(""), "0 phrases: 0 queries");
  EXPECT_EQ(DeepAnalysisCostText(" \n\t\n"), "0 phrases: 0 queries");
}

}  // namespace
}  // namespace kelvaro
