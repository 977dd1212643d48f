// Exports on a full disk (fork and setrlimit: not on Windows).
#include <gtest/gtest.h>

#include "grid/ResultGridModel.h"
#include "main/ProjectFiles.h"
#include "tests/support/FullDisk.h"
#include "tests/support/TempDir.h"

namespace kelvaro::MainForm {
namespace {

TEST(ExportTest, AFailedExportLeavesTheOldFileAsItWas) {
  ResultGridModel grid(3, 2);
  grid.SetCells(1, 0, "Keyword");
  grid.SetCells(1, 1, std::string(8000, 'k'));  // more than the full disk takes
  grid.AddCheckBox(0, 1, true, false);
  grid.SetSaveWithHTML(false);
  testing::TempDir dir;
  const auto csv = dir.File("export.csv");
  const auto html = dir.File("export.html");
  testing::WriteBytes(csv, "old csv");
  testing::WriteBytes(html, "old html");
  EXPECT_EQ(testing::ErrorOnFullDisk([&] { ExportCSV(grid, csv); }), "Stream write error");
  EXPECT_EQ(
      testing::ErrorOnFullDisk([&] { ExportHTML(grid, ResultGridModel::DefaultCellVisuals, html); }),
      "Stream write error");
  EXPECT_EQ(testing::ReadBytes(csv), "old csv");
  EXPECT_EQ(testing::ReadBytes(html), "old html");
  EXPECT_EQ(testing::FilesIn(dir.path()), 2u);

  // With room on the disk the file is the tidied export.
  ExportCSV(grid, csv);
  EXPECT_EQ(testing::ReadBytes(csv), "Keyword,\"\"\r\n" + std::string(8000, 'k') + ",\"\"\r\n");
  ExportHTML(grid, ResultGridModel::DefaultCellVisuals, html);
  EXPECT_NE(testing::ReadBytes(html).find("nowrap=\"nowrap\" target=\"_blank\">"),
            std::string::npos);
}

}  // namespace
}  // namespace kelvaro::MainForm
