#include "base/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <utility>

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

std::function<void(const std::string&)> temporary_file_observer;

}  // namespace

std::string FullPath(const std::string& file_name) {
  std::error_code ec;
  const auto full = std::filesystem::absolute(NativePath(file_name), ec);
  return ec ? file_name : NarrowPath(full);
}

namespace {

// Puts the finished temporary file in the target's place.
void ReplaceWith(const std::string& temp_name, const std::string& target,
                 const std::string& file_name) {
  std::error_code ec;
  std::filesystem::rename(NativePath(temp_name), NativePath(target), ec);
  if (ec) {
    std::remove(temp_name.c_str());
    throw Error("Cannot create file \"" + FullPath(file_name) + "\". " + ec.message());
  }
  SyncFolderOf(target);
}

[[noreturn]] void ThrowWriteError(const std::string& file_name, const NewFileResult& written) {
  if (!written.created) throw Error(CreateError(file_name, written.error_number));
  throw Error("Stream write error");
}

}  // namespace

void WriteFileAtomically(const std::string& file_name, const std::string& bytes,
                         FileAccess access) {
  // Through a symbolic link the link's target is replaced, from a temporary file in the
  // target's own folder: a rename only replaces a file within one file system.
  const std::string target = LinkTarget(file_name);
  const std::string temp_name = TemporaryNameFor(target);
  const NewFileResult written = WriteNewFile(temp_name, bytes, target, access, [&temp_name] {
    if (temporary_file_observer) temporary_file_observer(temp_name);
  });
  if (written.error_number != 0) ThrowWriteError(file_name, written);
  ReplaceWith(temp_name, target, file_name);
}

void WriteFileAtomicallyWith(const std::string& file_name,
                             const std::function<void(const std::string& temp_name)>& write,
                             FileAccess access) {
  const std::string target = LinkTarget(file_name);
  const std::string temp_name = TemporaryNameFor(target);
  // An empty file first: it takes the mode the new file is to have before a byte is in it.
  const NewFileResult made = WriteNewFile(temp_name, std::string(), target, access, {});
  if (made.error_number != 0) ThrowWriteError(file_name, made);
  if (temporary_file_observer) temporary_file_observer(temp_name);
  try {
    write(temp_name);
  } catch (...) {
    std::remove(temp_name.c_str());
    throw;
  }
  if (SyncFile(temp_name) != 0) {
    std::remove(temp_name.c_str());
    throw Error("Stream write error");
  }
  ReplaceWith(temp_name, target, file_name);
}

void SetTemporaryFileObserver(std::function<void(const std::string&)> observer) {
  temporary_file_observer = std::move(observer);
}

FileReader::FileReader(const std::string& file_name) : file_name_(file_name) {
  errno = 0;
  file_ = std::fopen(file_name.c_str(), "rb");
  if (file_ == nullptr) {
    throw Error("Cannot open file \"" + FullPath(file_name) + "\". " +
                ReasonText(errno ? errno : ENOENT));
  }
  FilePtr owner(file_);  // closes the file if the checks below throw
  // A folder opens like a file here and only its reading fails, as an input/output error.
  std::error_code kind_error;
  if (std::filesystem::is_directory(NativePath(file_name), kind_error)) {
    throw Error("Cannot open file \"" + FullPath(file_name) + "\". " + ReasonText(EISDIR));
  }
  std::error_code size_error;
  const auto size = std::filesystem::file_size(NativePath(file_name), size_error);
  if (!size_error) size_ = static_cast<uint64_t>(size);
  static_cast<void>(owner.release());  // the reader closes the file from here on
}

FileReader::~FileReader() { std::fclose(file_); }

size_t FileReader::Read(char* into, size_t size) {
  const size_t got = std::fread(into, 1, size, file_);
  if (got == 0 && std::ferror(file_)) {
    throw Error("Cannot open file \"" + FullPath(file_name_) + "\". " + ReasonText(EIO));
  }
  return got;
}

std::string ReadWholeFile(const std::string& file_name) {
  FileReader file(file_name);
  std::string bytes;
  // One allocation of the final size: growing by doubling touches up to twice the memory.
  bytes.reserve(static_cast<size_t>(file.Size()));
  char buffer[1 << 16];
  size_t got;
  while ((got = file.Read(buffer, sizeof buffer)) > 0) bytes.append(buffer, got);
  return bytes;
}

}  // namespace kelvaro
