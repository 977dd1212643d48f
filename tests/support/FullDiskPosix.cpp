#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "base/Error.h"
#include "tests/support/FullDisk.h"

namespace kelvaro::testing {

std::string ErrorOnFullDisk(const std::function<void()>& write) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return "(no pipe)";
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    // Past the limit a write fails with EFBIG instead of raising SIGXFSZ.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string text;
    try {
      write();
    } catch (const Error& e) {
      text = e.what();
    }
    [[maybe_unused]] const ssize_t sent = ::write(pipe_ends[1], text.data(), text.size());
    _exit(0);
  }
  close(pipe_ends[1]);
  std::string text;
  char buffer[512];
  ssize_t got;
  while ((got = read(pipe_ends[0], buffer, sizeof buffer)) > 0) text.append(buffer, got);
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return "(crashed)";
  return text;
}

}  // namespace kelvaro::testing
