#include "base/TempPath.h"

#include <filesystem>
#include <system_error>

#include "base/Error.h"
#include "base/NativePath.h"

namespace kelvaro {

std::string GetTempDir() {
  std::error_code ec;
  const std::filesystem::path path = UserTempFolder(ec);
  if (ec) {
    throw Error("System Error.  Code: " + std::to_string(ec.value()) + ".\r\n" + ec.message());
  }
  std::string text = NarrowPath(path);
  if (text.empty()) throw Error("A call to an OS function failed");
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  if (text.back() != separator && text.back() != '/') text += separator;
  return text;
}

}  // namespace kelvaro
