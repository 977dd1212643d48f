// On Windows a path is UTF-16; narrow names are in the ANSI code page, as the ANSI functions
// (fopen, the registry's ...A functions) read them.

#include "base/WindowsApi.h"
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "base/NativePath.h"

namespace kelvaro {

std::filesystem::path NativePath(const std::string& name) {
  if (name.empty()) return std::filesystem::path();
  const int size = static_cast<int>(name.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.data(), size, wide.data(), length);
  return std::filesystem::path(wide);
}

std::string NarrowPath(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string name(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), size, name.data(), length, nullptr, nullptr);
  return name;
}

// Links are rare on Windows and need rights to make; a write replaces what the name names.
std::string LinkTarget(const std::string& name) { return name; }

// Files take the access of their folder here: there is no mode to keep or to narrow.
NewFileResult WriteNewFile(const std::string& name, const std::string& bytes,
                           const std::string& /*model*/, FileAccess /*access*/,
                           const std::function<void()>& on_created) {
  NewFileResult result;
  errno = 0;
  const int fd =
      _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    result.error_number = errno != 0 ? errno : EACCES;
    return result;
  }
  result.created = true;
  if (on_created) on_created();
  size_t done = 0;
  bool written = true;
  while (written && done < bytes.size()) {
    const size_t chunk = std::min<size_t>(bytes.size() - done, 1u << 30);
    const int n = _write(fd, bytes.data() + done, static_cast<unsigned>(chunk));
    written = n > 0;
    if (written) done += static_cast<size_t>(n);
  }
  written = written && _commit(fd) == 0;
  const bool closed = _close(fd) == 0;
  if (!written || !closed) {
    result.error_number = errno != 0 ? errno : EIO;
    std::remove(name.c_str());
  }
  return result;
}

int SyncFile(const std::string& name) {
  errno = 0;
  const int fd = _open(name.c_str(), _O_RDWR | _O_BINARY);
  if (fd < 0) return errno != 0 ? errno : EACCES;
  int error_number = 0;
  if (_commit(fd) != 0) error_number = errno != 0 ? errno : EIO;
  _close(fd);
  return error_number;
}

// A rename on NTFS is recorded by the file system's own journal.
void SyncFolderOf(const std::string& /*name*/) {}

std::filesystem::path UserTempFolder(std::error_code& ec) {
  return std::filesystem::temp_directory_path(ec);
}

}  // namespace kelvaro
