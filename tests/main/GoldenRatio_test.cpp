#include "main/GoldenRatio.h"

#include <gtest/gtest.h>

namespace kelvaro {
namespace {

TEST(GoldenRatio, TextRoundsHalfUpAndIsEmptyWithoutAUsableVolume) {
  EXPECT_EQ(KgrText(18, 100), "0.18");
  EXPECT_EQ(KgrText(249, 1000), "0.25");  // 0.249 shows and colours as 0.25
  EXPECT_EQ(KgrText(2449, 10000), "0.24");
  EXPECT_EQ(KgrText(1001, 1000), "1.00");
  EXPECT_EQ(KgrText(1005, 1000), "1.01");
  EXPECT_EQ(KgrText(25, 2), "12.50");
  EXPECT_EQ(KgrText(0, 5), "0.00");
  EXPECT_EQ(KgrText(5, 0), "");
  EXPECT_EQ(KgrText(5, std::nullopt), "");
  EXPECT_EQ(KgrText(std::nullopt, 5), "");
  EXPECT_EQ(KgrText(-1, 5), "");
  EXPECT_EQ(KgrText(INT64_MAX, 1), "");
}

TEST(GoldenRatio, ColourBandsReadTheShownText) {
  EXPECT_EQ(KgrColor("0.24"), 0x00FF00u);
  EXPECT_EQ(KgrColor("0.25"), 0xFFFF00u);
  EXPECT_EQ(KgrColor("1.00"), 0xFFFF00u);
  EXPECT_EQ(KgrColor("1.01"), 0xFF3C3Cu);
  EXPECT_EQ(KgrColor("250.00"), 0xFF3C3Cu);
  for (const char* odd : {"", "abc", "1", "1.0", "-0.10", "1.000", ".25", "0x1.00"}) {
    EXPECT_EQ(KgrColor(odd), std::nullopt) << odd;
  }
  EXPECT_EQ(VolumeColor("250"), 0x00FF00u);
  EXPECT_EQ(VolumeColor("0"), 0x00FF00u);
  EXPECT_EQ(VolumeColor("251"), std::nullopt);
  EXPECT_EQ(VolumeColor(""), std::nullopt);
  EXPECT_EQ(VolumeColor("-5"), std::nullopt);
}

}  // namespace
}  // namespace kelvaro
