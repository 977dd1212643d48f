// The completion chime carried in the program: a RIFF WAVE file whose header the audio
// back ends read as written, and a sound that starts and ends in silence.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/AtomicFile.h"

namespace kelvaro {
namespace {

std::uint32_t U32(const std::string& b, size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint16_t U16(const std::string& b, size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}

int Sample(const std::string& b, size_t at) { return static_cast<std::int16_t>(U16(b, at)); }

TEST(ChimesTest, IsSixteenBitStereoPcmWithAnInfoList) {
  const std::string wav = ReadWholeFile(KELVARO_SOURCE_DIR "/resources/chimes.wav");
  ASSERT_EQ(wav.size(), 55776u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(U32(wav, 4), wav.size() - 8);
  EXPECT_EQ(wav.substr(8, 4), "WAVE");

  EXPECT_EQ(wav.substr(12, 4), "fmt ");
  EXPECT_EQ(U32(wav, 16), 16u);
  EXPECT_EQ(U16(wav, 20), 1u);  // PCM
  EXPECT_EQ(U16(wav, 22), 2u);
  EXPECT_EQ(U32(wav, 24), 22050u);
  EXPECT_EQ(U32(wav, 28), 88200u);
  EXPECT_EQ(U16(wav, 32), 4u);
  EXPECT_EQ(U16(wav, 34), 16u);

  EXPECT_EQ(wav.substr(36, 4), "data");
  const std::uint32_t data_size = U32(wav, 40);
  EXPECT_EQ(data_size, 13921u * 4);
  const size_t list = 44 + data_size;

  ASSERT_EQ(wav.substr(list, 4), "LIST");
  EXPECT_EQ(U32(wav, list + 4), 40u);
  EXPECT_EQ(list + 8 + 40, wav.size());
  EXPECT_EQ(wav.substr(list + 8, 4), "INFO");
  // One text field filling the list, ending in its NUL.
  EXPECT_EQ(wav.substr(list + 12, 4), "INAM");
  const std::uint32_t text_size = U32(wav, list + 16);
  EXPECT_EQ(text_size, 40u - 12);
  EXPECT_EQ(wav[list + 20 + text_size - 1], '\0');
  EXPECT_EQ(wav.substr(list + 20, 7), "Kelvaro");

  // Audible but soft, and no click at either end.
  int peak = 0;
  for (size_t at = 44; at < list; at += 2) peak = std::max(peak, std::abs(Sample(wav, at)));
  EXPECT_GT(peak, 8000);
  EXPECT_LT(peak, 30000);
  EXPECT_LT(std::abs(Sample(wav, 44)), 200);
  EXPECT_EQ(Sample(wav, list - 2), 0);
  EXPECT_EQ(Sample(wav, list - 4), 0);
}

}  // namespace
}  // namespace kelvaro
