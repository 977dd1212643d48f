#pragma once

// File names in Kelvaro are bytes in the system's code page, as the user typed or chose them.
// std::filesystem does not read narrow names that way everywhere: on Windows it takes them for
// another encoding, so a name with "€" or curly quotes names another file, and the temporary
// folder of a user called "José" comes back in UTF-8. These two conversions are the only way
// between the two; each platform has its own source file.

#include <filesystem>
#include <string>

namespace kelvaro {

// The path named by `name`, a file name in the system's code page.
std::filesystem::path NativePath(const std::string& name);

// `path` as a file name in the system's code page.
std::string NarrowPath(const std::filesystem::path& path);

}  // namespace kelvaro
