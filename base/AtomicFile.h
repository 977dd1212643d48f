#pragma once

#include <functional>
#include <string>

#include "base/NativePath.h"

namespace kelvaro {

// Writes `bytes` to `file_name` as a whole: the text goes to a temporary file in the
// same folder, which replaces the target only once every byte is on disk. A failure
// leaves an existing target exactly as it was and removes the temporary file. A symbolic
// link stays a link: its target is the file replaced. The new file keeps the mode and group
// of the one it replaces, or with FileAccess::kOwnerOnly is private from its creation on.
// Throws kelvaro::Error:
//   `Cannot create file "<full path>". <reason>` when the file cannot be created or
//   replaced, "Stream write error" when writing stops short (a full disk).
//   A mode that cannot be set counts as a file that cannot be created.
void WriteFileAtomically(const std::string& file_name, const std::string& bytes,
                         FileAccess access = FileAccess::kKeep);

// Called with the temporary file's name once it exists with its mode and before any byte is
// written to it; an empty function stops that. For tests that look at the file while it is written.
void SetTemporaryFileObserver(std::function<void(const std::string&)> observer);

// Reads a whole file byte for byte.
// Throws kelvaro::Error `Cannot open file "<full path>". <reason>`, the reason of a folder
// being the system's text for "Is a directory".
std::string ReadWholeFile(const std::string& file_name);

// The full path of a file name as error texts show it.
std::string FullPath(const std::string& file_name);

}  // namespace kelvaro
