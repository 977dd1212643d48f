// The answer readers take any bytes: counts, error texts, JSON strings, character
// references, the integer texts they rest on, both search services' readers, and the public
// results link of an export.
#include <cstddef>
#include <cstdint>
#include <string>

#include "web/CustomSearch.h"
#include "web/SearchService.h"
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

  for (const std::string& name : kelvaro::SearchServiceNames()) {
    const kelvaro::SearchService& service = kelvaro::SearchServiceNamed(name);
    if (service.ReadCount(text, count)) {
      int64_t number = 0;
      if (!kelvaro::TryStrToInt64(count, number)) __builtin_trap();
    }
    if (service.ErrorText(text).rfind("Abnormal request terminatiom. ", 0) != 0) __builtin_trap();
    service.HasResultList(text);
    const auto results = service.ReadResults(text, 10);
    if (results.size() > 10) __builtin_trap();
    for (const auto& result : results) {
      if (result.title.empty() || result.link.empty()) __builtin_trap();
    }
    service.ReadSearchesLeft(text);
  }
  // Whatever the link held, the public link carries no second parameter and no fragment.
  const std::string link = kelvaro::PublicResultsURL(text);
  if (!link.empty() && (link.rfind("https://www.google.com/search?q=", 0) != 0 ||
                        link.find_first_of("&#", 1) != std::string::npos)) {
    __builtin_trap();
  }
  // A link without its key is the same text cut short, and holds no key parameter.
  const std::string keyless = kelvaro::WithoutKey(text);
  if (text.compare(0, keyless.size(), keyless) != 0 || kelvaro::WithoutKey(keyless) != keyless) {
    __builtin_trap();
  }
  kelvaro::IsValidEndpoint(text);
  return 0;
}
