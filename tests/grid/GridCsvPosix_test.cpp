// The full-disk case of saving a project, which needs a child process with a file-size limit
// (fork and setrlimit): built everywhere but on Windows.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "base/Error.h"
#include "grid/GridCsv.h"
#include "grid/ResultGridModel.h"
#include "tests/support/TempDir.h"

namespace kelvaro {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

size_t FilesIn(const std::filesystem::path& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

TEST(GridCsvTest, FailedWriteLeavesTheOldProjectIntact) {
  TempDir dir;
  const std::string file = dir.File("project.csv");
  WriteBytes(file, "old project\r\n");
  ResultGridModel grid(5, 2000);
  for (int r = 0; r < 2000; ++r) grid.SetCells(1, r, "a phrase long enough to fill the disk");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A file-size limit stands in for a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      grid.SaveCSV(file);
    } catch (const Error& e) {
      _exit(std::string(e.what()) == "Stream write error" ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadBytes(file), "old project\r\n");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

}  // namespace
}  // namespace kelvaro
