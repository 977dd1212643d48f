#include "base/TextCase.h"

#include <gtest/gtest.h>

namespace kelvaro {
namespace {

TEST(TextCaseTest, LowerUtf8FoldsLettersOfEveryAlphabetAndKeepsTheRest) {
  const struct {
    const char* text;
    const char* lower;
  } cases[] = {
      {"Red SHOES 42", "red shoes 42"},
      {"\xC3\x84pfel kaufen", "\xC3\xA4pfel kaufen"},            // Äpfel
      {"\xC3\x97\xC3\x9F", "\xC3\x97\xC3\x9F"},                  // × and ß have no other case
      {"\xC5\x81\xC3\x93" "D\xC5\xB9", "\xC5\x82\xC3\xB3" "d\xC5\xBA"},  // ŁÓDŹ
      {"\xC5\xB8", "\xC3\xBF"},                                  // Ÿ
      {"\xCE\x91\xCE\xA3\xCE\xA9", "\xCE\xB1\xCF\x83\xCF\x89"},  // ΑΣΩ
      {"\xD0\x9C\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90 \xD0\x81",
       "\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xD1\x91"},  // МОСКВА Ё
      {"\xE1\xBA\xA0", "\xE1\xBA\xA1"},                          // Ạ (Vietnamese)
      {"\xE1\xBA\x9E", "\xC3\x9F"},                              // ẞ
      {"\xF0\x9F\x98\x80 \xE4\xB8\xAD", "\xF0\x9F\x98\x80 \xE4\xB8\xAD"},  // emoji, CJK
      {"bad \xC3 \xFF\xC3", "bad \xC3 \xFF\xC3"},                // broken UTF-8 as it is
  };
  for (const auto& c : cases) EXPECT_EQ(LowerUtf8(c.text), c.lower) << c.text;
}

}  // namespace
}  // namespace kelvaro
