// The safe write on a full disk (it needs fork and setrlimit), through symbolic links and
// with file modes: not on Windows.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/AtomicFile.h"
#include "base/Error.h"
#include "tests/support/FullDisk.h"
#include "tests/support/TempDir.h"

namespace kelvaro {
namespace {

using testing::ReadBytes;

TEST(AtomicFileTest, FullDiskKeepsOldFileIntact) {
  testing::TempDir dir;
  const auto file = dir.File("project.csv");
  testing::WriteBytes(file, "old project\r\n");
  EXPECT_EQ(testing::ErrorOnFullDisk([&] { WriteFileAtomically(file, std::string(1 << 20, 'x')); }),
            "Stream write error");
  EXPECT_EQ(ReadBytes(file), "old project\r\n");
  EXPECT_EQ(testing::FilesIn(dir.path()), 1u);
}

TEST(AtomicFileTest, ASaveThroughALinkReplacesItsTargetInTheTargetsFolder) {
  testing::TempDir here;
  testing::TempDir there;
  const auto target = there.File("project.csv");
  testing::WriteBytes(target, "old\r\n");
  const auto link = here.File("project.csv");
  std::filesystem::create_symlink(std::filesystem::relative(target, here.path()), link);
  WriteFileAtomically(link, "new\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(target), "new\r\n");
  EXPECT_EQ(testing::FilesIn(there.path()), 1u);
  // A link to a file not there yet creates that file.
  const auto dangling = here.File("export.csv");
  std::filesystem::create_symlink(there.File("export.csv"), dangling);
  WriteFileAtomically(dangling, "x");
  EXPECT_EQ(ReadBytes(there.File("export.csv")), "x");
}

TEST(AtomicFileTest, AReplacedFileKeepsItsMode) {
  using std::filesystem::perms;
  testing::TempDir dir;
  const auto file = dir.File("shared.csv");
  testing::WriteBytes(file, "old");
  const perms mode =
      perms::owner_read | perms::owner_write | perms::group_read | perms::group_write;
  std::filesystem::permissions(file, mode);
  WriteFileAtomically(file, "new");
  EXPECT_EQ(std::filesystem::status(file).permissions(), mode);
  WriteFileAtomically(file, "private", FileAccess::kOwnerOnly);
  EXPECT_EQ(std::filesystem::status(file).permissions(), perms::owner_read | perms::owner_write);
}

TEST(AtomicFileTest, ReadingAFolderSaysItIsOne) {
  testing::TempDir dir;
  try {
    ReadWholeFile(dir.path().string());
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(),
                 ("Cannot open file \"" + dir.path().string() + "\". Is a directory").c_str());
  }
}

}  // namespace
}  // namespace kelvaro
