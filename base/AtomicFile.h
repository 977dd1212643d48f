#pragma once

#include <string>

namespace kelvaro {

// Writes `bytes` to `file_name` as a whole: the text goes to a temporary file in the
// same folder, which replaces the target only once every byte is on disk. A failure
// leaves an existing target exactly as it was and removes the temporary file.
// Throws kelvaro::Error:
//   `Cannot create file "<full path>". <reason>` when the file cannot be created or
//   replaced, "Stream write error" when writing stops short (a full disk).
void WriteFileAtomically(const std::string& file_name, const std::string& bytes);

// Reads a whole file byte for byte.
// Throws kelvaro::Error `Cannot open file "<full path>". <reason>`.
std::string ReadWholeFile(const std::string& file_name);

// The full path of a file name as error texts show it.
std::string FullPath(const std::string& file_name);

}  // namespace kelvaro
