// The answer readers take any bytes: counts, error texts, JSON strings, character
// references, and the integer texts they rest on.
#include <cstddef>
#include <cstdint>
#include <string>

#include "web/CustomSearch.h"
#include "web/uHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string count;
  if (kelvaro::ReadCount(text, count)) {
    int64_t value = 0;
    if (!kelvaro::TryStrToInt64(count, value)) __builtin_trap();
  }
  const std::string error = kelvaro::ErrorText(text);
  if (error.rfind("Abnormal request terminatiom. ", 0) != 0) __builtin_trap();

  int pos = 1;
  std::string value;
  for (int n = 0; n < 12; ++n) {
    const int before = pos;
    std::string title;
    kelvaro::ExtractJsonString(text, "\"title\": \"", pos, title);
    kelvaro::ExtractJsonString(text, "\"link\": \"", pos, value);
    if (pos < before) __builtin_trap();  // the walk never goes back
  }
  kelvaro::HTMLDecode(text);
  kelvaro::ParseCount(text);
  int32_t small = 0;
  kelvaro::TryStrToInt(text, small);
  kelvaro::URLEncode(text);
  return 0;
}
