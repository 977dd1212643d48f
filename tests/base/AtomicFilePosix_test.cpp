// The full-disk case of the safe write (it needs fork and setrlimit: not on Windows).
#include <gtest/gtest.h>

#include "base/AtomicFile.h"
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

}  // namespace
}  // namespace kelvaro
