#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/NativePath.h"
#include "store/AnswerStore.h"
#include "store/AnswerStoreFile.h"

namespace kelvaro {
namespace fs = std::filesystem;

int CreateStoreFile(const std::string& name) {
  struct stat info {};
  if (::stat(name.c_str(), &info) == 0) return 0;
  // The store tells which phrases the user researched.
  if (!MakePrivateFolders(fs::path(name).parent_path())) return errno != 0 ? errno : EIO;
  // SQLite gives its -wal and -shm files the mode of the database file.
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) return errno == EEXIST ? 0 : errno;
  ::close(fd);
  return 0;
}

std::string SqliteFileName(const std::string& name) { return name; }

std::string DefaultAnswerStorePath() {
  return (XdgFolder("XDG_DATA_HOME", fs::path(".local") / "share") / "Dovrane" / "Kelvaro" /
          "answers.sqlite")
      .string();
}

}  // namespace kelvaro
