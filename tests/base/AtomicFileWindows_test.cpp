// File names in the ANSI code page on Windows: the atomic write, the full path shown in error
// texts and the temporary folder must name the file that fopen and the ...A functions name.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/AtomicFile.h"
#include "base/TempPath.h"
#include "tests/support/TempDir.h"

namespace kelvaro {
namespace {

using testing::TempDir;

// A name in `dir` joined as bytes (TempDir::File goes through std::filesystem's own reading of
// narrow names, which is what is under test here).
std::string In(const TempDir& dir, const std::string& leaf) {
  return dir.path().string() + "\\" + leaf;
}

TEST(AtomicFileWindowsTest, NamesInTheAnsiCodePageAreReplacedAndShownAsGiven) {
  TempDir dir;
  // Bytes 0x80-0x9F are where the ANSI code page and Latin-1 part: the euro sign, curly quotes
  // and dashes; 0xE9 is a letter both share.
  const std::string name = In(dir, "caf\xe9 \x80 \x93quoted\x94 \x96 dash.csv");
  WriteFileAtomically(name, "first");
  WriteFileAtomically(name, "second");
  EXPECT_EQ(ReadWholeFile(name), "second");
  EXPECT_EQ(FullPath(name), name);
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(In(dir, "*.csv").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(In(dir, found.cFileName), name);
  EXPECT_FALSE(FindNextFileA(search, &found)) << "a second file: " << found.cFileName;
  FindClose(search);
}

TEST(AtomicFileWindowsTest, TheTemporaryFolderIsTheOneGetTempPathNames) {
  TempDir dir;
  const std::string folder = In(dir, "Jos\xe9 \x80");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  char saved[MAX_PATH + 1] = {};
  const DWORD saved_length = GetEnvironmentVariableA("TMP", saved, sizeof saved);
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", folder.c_str()));
  char expected[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(MAX_PATH, expected);
  std::string got;
  try {
    got = GetTempDir();
  } catch (...) {
  }
  SetEnvironmentVariableA("TMP", saved_length > 0 ? saved : nullptr);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(got, std::string(expected, length));
  EXPECT_EQ(got, folder + "\\");
}

}  // namespace
}  // namespace kelvaro
