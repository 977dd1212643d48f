#pragma once

#include <filesystem>
#include <string>

namespace kelvaro::testing {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / name as a string.
  std::string File(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// How many entries a folder holds (a failed write must leave no temporary file behind).
size_t FilesIn(const std::filesystem::path& dir);

// Writes bytes to a file (test fixtures only; no atomic replace).
void WriteBytes(const std::string& file_name, const std::string& bytes);
std::string ReadBytes(const std::string& file_name);

}  // namespace kelvaro::testing
