// Elsewhere than on Windows a path is the bytes of its name.

#include "base/NativePath.h"

namespace kelvaro {

std::filesystem::path NativePath(const std::string& name) { return std::filesystem::path(name); }

std::string NarrowPath(const std::filesystem::path& path) { return path.string(); }

}  // namespace kelvaro
