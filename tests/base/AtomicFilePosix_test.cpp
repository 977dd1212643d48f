// The full-disk case of the atomic write, which needs a child process with a file-size limit
// (fork and setrlimit): built everywhere but on Windows.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "base/AtomicFile.h"
#include "base/Error.h"
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

TEST(AtomicFileTest, FullDiskKeepsOldFileIntact) {
  TempDir dir;
  const auto file = dir.File("project.csv");
  WriteBytes(file, "old project\r\n");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A file-size limit stands in for a full disk: writes past 4 KiB fail with EFBIG.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      WriteFileAtomically(file, std::string(1 << 20, 'x'));
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
