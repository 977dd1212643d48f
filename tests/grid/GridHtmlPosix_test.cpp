// The full-disk case of the HTML export, which needs a child process with a file-size limit
// (fork and setrlimit): built everywhere but on Windows.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "base/Error.h"
#include "grid/GridHtml.h"
#include "grid/ResultGridModel.h"
#include "tests/support/TempDir.h"

namespace kelvaro {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(GridHtmlTest, FailedWriteLeavesTheOldExportIntact) {
  TempDir dir;
  const std::string file = dir.File("export.html");
  WriteBytes(file, "old export");
  ResultGridModel grid(5, 1000);
  for (int r = 0; r < 1000; ++r) grid.SetCells(1, r, "a phrase");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};  // stands in for a full disk
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      grid.SaveHTML(file, ResultGridModel::DefaultCellLook);
    } catch (const Error& e) {
      _exit(std::string(e.what()) == "Stream write error" ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadBytes(file), "old export");
}

}  // namespace
}  // namespace kelvaro
