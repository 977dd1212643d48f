#include "base/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/Error.h"
#include "tests/support/TempDir.h"

namespace kelvaro {
namespace {

using testing::FilesIn;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(AtomicFileTest, ReplacesWholeFileAndLeavesNoTemporary) {
  TempDir dir;
  const auto file = dir.File("a.csv");
  WriteBytes(file, "a much longer old content\r\n");
  WriteFileAtomically(file, std::string("new\0bytes", 9));
  EXPECT_EQ(ReadBytes(file), std::string("new\0bytes", 9));
  EXPECT_EQ(FilesIn(dir.path()), 1u);
  WriteFileAtomically(file, "");
  EXPECT_EQ(ReadBytes(file), "");
}

TEST(AtomicFileTest, MissingFolderGivesCreateErrorWithFullPath) {
  TempDir dir;
  const auto file = dir.File("missing/a.csv");
  try {
    WriteFileAtomically(file, "x");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + file + "\". ", 0), 0u)
        << e.what();
  }
}

TEST(AtomicFileTest, FolderInTheWayKeepsFolderAndLeavesNoTemporary) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "chimes.wav");
  EXPECT_THROW(WriteFileAtomically(dir.File("chimes.wav"), "RIFF"), Error);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "chimes.wav"));
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(AtomicFileTest, ReadMissingFileGivesOpenError) {
  TempDir dir;
  const auto file = dir.File("nope.csv");
  try {
    ReadWholeFile(file);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + file + "\". ", 0), 0u);
  }
}

}  // namespace
}  // namespace kelvaro
