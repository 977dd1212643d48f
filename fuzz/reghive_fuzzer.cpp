// The settings hive file reader takes any bytes: a damaged file is reported as an
// error, never a crash, and loading never changes the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/Error.h"
#include "base/WorkerHost.h"
#include "settings/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string file = "/tmp/kelvaro-reghive-fuzz-" + std::to_string(getpid()) + ".reg";
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);
  try {
    kelvaro::Credentials values;
    kelvaro::SettingsStore(file).Load(values);
  } catch (const kelvaro::Error&) {
    // A damaged hive or a value of the wrong type: reported, as it should be.
  }
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) __builtin_trap();
  std::string back(size + 1, '\0');
  const size_t got = std::fread(back.data(), 1, back.size(), in);
  std::fclose(in);
  if (got != size || back.compare(0, size, reinterpret_cast<const char*>(data), size) != 0) {
    __builtin_trap();  // the load changed the file
  }
  return 0;
}
