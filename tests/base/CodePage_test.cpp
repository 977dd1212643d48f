#include "base/CodePage.h"

#include <gtest/gtest.h>

#include "web/uHelper.h"

namespace kelvaro {
namespace {

// A phrase typed on a Western-European Windows (cp1252) reaches the URL as UTF-8, and an
// answer's UTF-8 text comes back in that code page; UTF-8 systems change nothing.
TEST(CodePage, Cp1252ToUtf8AndBack) {
  EXPECT_EQ(URLEncode(ToUtf8("caf\xE9", 1252)), "caf%C3%A9");
  EXPECT_EQ(ToUtf8("\x80 na\xEFve", 1252), "\xE2\x82\xAC na\xC3\xAFve");
  EXPECT_EQ(FromUtf8("caf\xC3\xA9 \xE2\x82\xAC", 1252), "caf\xE9 \x80");
  EXPECT_EQ(FromUtf8("\xE4\xB8\xAD", 1252), "?");  // not in cp1252
  EXPECT_EQ(ToUtf8("caf\xE9", kUtf8CodePage), "caf\xE9");
  EXPECT_EQ(FromUtf8("caf\xC3\xA9", kUtf8CodePage), "caf\xC3\xA9");
}

}  // namespace
}  // namespace kelvaro
