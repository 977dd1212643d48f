#pragma once

#include <cstdint>
#include <cstdio>
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

// The same for a file that a library makes itself from a file name: `write` is handed the
// name of the temporary file, which exists (empty, with the mode described above), and
// writes the whole file there, throwing kelvaro::Error when it cannot. The bytes are then
// synced and the file renamed over the target. When `write` throws, its error goes on and
// the target stays as it was; every failure removes the temporary file. Throws as above.
void WriteFileAtomicallyWith(const std::string& file_name,
                             const std::function<void(const std::string& temp_name)>& write,
                             FileAccess access = FileAccess::kKeep);

// Called with the temporary file's name once it exists with its mode and before any byte is
// written to it; an empty function stops that. For tests that look at the file while it is written.
void SetTemporaryFileObserver(std::function<void(const std::string&)> observer);

// Reads a whole file byte for byte.
// Throws kelvaro::Error `Cannot open file "<full path>". <reason>`, the reason of a folder
// being the system's text for "Is a directory".
std::string ReadWholeFile(const std::string& file_name);

// Reads a file a piece at a time, for files too large to hold twice (a project and its
// cells). Opening and reading fail as ReadWholeFile does.
class FileReader {
 public:
  explicit FileReader(const std::string& file_name);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Fills `into` with up to `size` bytes; 0 at the end of the file. Throws kelvaro::Error.
  size_t Read(char* into, size_t size);
  // The file's size when opened, 0 when the system cannot tell.
  uint64_t Size() const { return size_; }

 private:
  std::string file_name_;
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
};

// The full path of a file name as error texts show it.
std::string FullPath(const std::string& file_name);

}  // namespace kelvaro
