// Elsewhere than on Windows a path is the bytes of its name.

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/NativePath.h"

namespace kelvaro {
namespace {

namespace fs = std::filesystem;

// The last error of a system call, never 0.
int LastError() { return errno != 0 ? errno : EIO; }

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Gives the new file `fd` its mode and group; false when they cannot be given. `old` is the
// file it replaces, or null.
bool SetAccess(int fd, const struct stat* old, FileAccess access) {
  if (access == FileAccess::kOwnerOnly) return ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
  if (old == nullptr) return true;  // created with the system's default mode
  // The group first: changing it may clear set-group-ID bits that the mode then restores.
  // Only the owner's own groups are allowed; another group is silently not kept.
  if (::fchown(fd, static_cast<uid_t>(-1), old->st_gid) != 0) errno = 0;
  return ::fchmod(fd, old->st_mode & 07777) == 0;
}

bool IsPrivateFolderOf(const fs::path& folder, unsigned uid) {
  struct stat st;
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid &&
         (st.st_mode & 077) == 0;
}

}  // namespace

std::filesystem::path NativePath(const std::string& name) { return std::filesystem::path(name); }

std::string NarrowPath(const std::filesystem::path& path) { return path.string(); }

std::string LinkTarget(const std::string& name) {
  fs::path path(name);
  std::error_code ec;
  for (int hops = 0; hops < 40; ++hops) {
    if (!fs::is_symlink(path, ec)) return path.string();
    const fs::path next = fs::read_symlink(path, ec);
    if (ec) return name;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return name;
}

NewFileResult WriteNewFile(const std::string& name, const std::string& bytes,
                           const std::string& model, FileAccess access,
                           const std::function<void()>& on_created) {
  NewFileResult result;
  struct stat model_stat;
  const bool replaces = access == FileAccess::kKeep && ::stat(model.c_str(), &model_stat) == 0 &&
                        S_ISREG(model_stat.st_mode);
  // A new file gets the default mode (0666 less the umask) as any program's; otherwise it is
  // owner-only until its mode is set, so the bytes are never readable by others on the way.
  const mode_t create_mode =
      access == FileAccess::kKeep && !replaces ? 0666 : static_cast<mode_t>(S_IRUSR | S_IWUSR);
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, create_mode);
  if (fd < 0) {
    result.error_number = LastError();
    return result;
  }
  errno = 0;
  if (!SetAccess(fd, replaces ? &model_stat : nullptr, access)) {
    result.error_number = LastError();
  } else {
    result.created = true;
    if (on_created) on_created();
    errno = 0;
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) result.error_number = LastError();
  }
  if (::close(fd) != 0 && result.error_number == 0) {
    result.error_number = LastError();
  }
  if (result.error_number != 0) ::unlink(name.c_str());
  return result;
}

int SyncFile(const std::string& name) {
  errno = 0;
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return LastError();
  int error_number = 0;
  if (::fsync(fd) != 0) error_number = LastError();
  ::close(fd);
  return error_number;
}

void SyncFolderOf(const std::string& name) {
  const fs::path parent = fs::path(name).parent_path();
  const int fd = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::filesystem::path PrivateFolderUnder(const std::filesystem::path& base, unsigned uid,
                                         std::error_code& ec) {
  ec.clear();
  const std::string prefix = "kelvaro-" + std::to_string(uid);
  fs::path folder = base / prefix;
  if (::mkdir(folder.c_str(), S_IRWXU) == 0) {
    // The mode given to mkdir is narrowed by the umask only; make sure of it all the same.
    if (::chmod(folder.c_str(), S_IRWXU) == 0) return folder;
  } else if (errno == EEXIST && IsPrivateFolderOf(folder, uid)) {
    return folder;
  }
  // Someone else's folder, a link, a file or a folder others may enter stands in the way.
  std::string pattern = (base / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    ec = std::error_code(LastError(), std::generic_category());
    return {};
  }
  return fs::path(pattern);
}

bool MakePrivateFolders(const fs::path& folder) {
  std::error_code ec;
  if (folder.empty() || fs::is_directory(folder, ec)) return true;
  if (!MakePrivateFolders(folder.parent_path())) return false;
  return ::mkdir(folder.c_str(), S_IRWXU) == 0 || (errno == EEXIST && fs::is_directory(folder, ec));
}

fs::path XdgFolder(const char* variable, const fs::path& fallback) {
  const char* xdg = std::getenv(variable);
  if (xdg != nullptr && fs::path(xdg).is_absolute()) return xdg;
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    const passwd* user = getpwuid(getuid());
    home = user != nullptr ? user->pw_dir : nullptr;
  }
  return fs::path(home != nullptr ? home : "") / fallback;
}

std::filesystem::path UserTempFolder(std::error_code& ec) {
  ec.clear();
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && fs::path(runtime).is_absolute() && fs::is_directory(runtime, ec)) {
    return fs::path(runtime);
  }
  const char* tmpdir = std::getenv("TMPDIR");
  const fs::path base = tmpdir != nullptr && fs::path(tmpdir).is_absolute() ? tmpdir : "/tmp";
  return PrivateFolderUnder(base, ::getuid(), ec);
}

}  // namespace kelvaro
