// Saving a project or an export onto a full disk (it needs fork and setrlimit: not on
// Windows): the old file stays as it was and no temporary file is left behind.
#include <gtest/gtest.h>

#include "grid/ResultGridModel.h"
#include "tests/support/FullDisk.h"
#include "tests/support/TempDir.h"

namespace kelvaro {
namespace {

TEST(GridFilesTest, FailedWriteLeavesTheOldFileIntact) {
  ResultGridModel grid(5, 2000);
  for (int r = 0; r < 2000; ++r) grid.SetCells(1, r, "a phrase long enough to fill the disk");
  testing::TempDir dir;
  const std::string project = dir.File("project.csv");
  const std::string page = dir.File("export.html");
  testing::WriteBytes(project, "old project\r\n");
  testing::WriteBytes(page, "old export");

  EXPECT_EQ(testing::ErrorOnFullDisk([&] { grid.SaveCSV(project); }), "Stream write error");
  EXPECT_EQ(
      testing::ErrorOnFullDisk([&] { grid.SaveHTML(page, ResultGridModel::DefaultCellVisuals); }),
      "Stream write error");
  EXPECT_EQ(testing::ReadBytes(project), "old project\r\n");
  EXPECT_EQ(testing::ReadBytes(page), "old export");
  EXPECT_EQ(testing::FilesIn(dir.path()), 2u);
}

}  // namespace
}  // namespace kelvaro
