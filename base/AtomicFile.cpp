#include "base/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "base/Error.h"
#include "base/NativePath.h"

namespace kelvaro {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string ReasonText(int error_number) { return std::strerror(error_number); }

std::string CreateError(const std::string& file_name, int error_number) {
  return "Cannot create file \"" + FullPath(file_name) + "\". " + ReasonText(error_number);
}

// A name beside the target that no other writer uses at the same time.
std::string TemporaryNameFor(const std::string& file_name) {
  static std::atomic<unsigned> counter{0};
  const auto ticks =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, ".~kv%llx-%x", ticks & 0xffffffffULL, counter.fetch_add(1));
  return file_name + suffix;
}

}  // namespace

std::string FullPath(const std::string& file_name) {
  std::error_code ec;
  const auto full = std::filesystem::absolute(NativePath(file_name), ec);
  return ec ? file_name : NarrowPath(full);
}

void WriteFileAtomically(const std::string& file_name, const std::string& bytes) {
  const std::string temp_name = TemporaryNameFor(file_name);
  errno = 0;
  std::FILE* raw = std::fopen(temp_name.c_str(), "wb");
  if (raw == nullptr) throw Error(CreateError(file_name, errno ? errno : EACCES));
  FilePtr file(raw);
  bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  written = written && std::fflush(file.get()) == 0;
  const bool closed = std::fclose(file.release()) == 0;
  if (!written || !closed) {
    std::remove(temp_name.c_str());
    throw Error("Stream write error");
  }
  std::error_code ec;
  std::filesystem::rename(NativePath(temp_name), NativePath(file_name), ec);
  if (ec) {
    std::remove(temp_name.c_str());
    throw Error("Cannot create file \"" + FullPath(file_name) + "\". " + ec.message());
  }
}

std::string ReadWholeFile(const std::string& file_name) {
  errno = 0;
  std::FILE* raw = std::fopen(file_name.c_str(), "rb");
  if (raw == nullptr) {
    throw Error("Cannot open file \"" + FullPath(file_name) + "\". " +
                ReasonText(errno ? errno : ENOENT));
  }
  FilePtr file(raw);
  std::string bytes;
  // One allocation of the final size: growing by doubling touches up to twice the memory.
  std::error_code size_error;
  const auto size = std::filesystem::file_size(NativePath(file_name), size_error);
  if (!size_error) bytes.reserve(static_cast<size_t>(size));
  char buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, got);
  if (std::ferror(file.get())) {
    throw Error("Cannot open file \"" + FullPath(file_name) + "\". " + ReasonText(EIO));
  }
  return bytes;
}

}  // namespace kelvaro
