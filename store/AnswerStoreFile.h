#pragma once

// The answer store's file on this system: one source file per platform.

#include <string>

namespace kelvaro {

// Makes the missing folders of `name` and then `name` itself, empty; away from Windows the
// folders it makes are for their owner only (0700) and the file is readable and writable by
// its owner only (0600) from the moment it exists. An existing file is left alone. Returns 0
// or the system's error number.
int CreateStoreFile(const std::string& name);

// `name`, a file name in the system's code page, as SQLite takes file names (UTF-8 on
// Windows, the bytes themselves elsewhere).
std::string SqliteFileName(const std::string& name);

}  // namespace kelvaro
