// On Windows a path is UTF-16; narrow names are in the ANSI code page, as the ANSI functions
// (fopen, the registry's ...A functions) read them.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

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

}  // namespace kelvaro
