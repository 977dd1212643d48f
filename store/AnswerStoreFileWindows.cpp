#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/NativePath.h"
#include "store/AnswerStore.h"
#include "store/AnswerStoreFile.h"

namespace kelvaro {
namespace fs = std::filesystem;

// Windows gives a new file under the user's profile the profile's own access rules, which
// keep other users out.
int CreateStoreFile(const std::string& name) {
  const fs::path file = NativePath(name);
  std::error_code ec;
  if (fs::exists(file, ec)) return 0;
  fs::create_directories(file.parent_path(), ec);
  if (ec) return ec.value();
  // Never truncates a file another Kelvaro made in the meantime.
  const int fd =
      _wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return errno == EEXIST ? 0 : errno;
  _close(fd);
  return 0;
}

std::string SqliteFileName(const std::string& name) {
  const std::u8string utf8 = NativePath(name).u8string();
  return std::string(utf8.begin(), utf8.end());
}

std::string DefaultAnswerStorePath() {
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  const fs::path data = local != nullptr ? fs::path(local) : fs::path();
  return NarrowPath(data / "Dovrane" / "Kelvaro" / "answers.sqlite");
}

}  // namespace kelvaro
