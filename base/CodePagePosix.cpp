// The code page conversions through iconv. The core's texts are UTF-8 here; other code pages
// are converted for the tests and for files that carry them.

#include <iconv.h>

#include <cerrno>
#include <string>

#include "base/CodePage.h"

namespace kelvaro {

namespace {

std::string Convert(const std::string& text, const std::string& to, const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  // iconv_open's failure is the handle (iconv_t)-1.
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;  // NOLINT(performance-no-int-to-ptr)
  std::string out;
  out.reserve(text.size() * 2);
  // iconv takes a non-const input pointer on some systems.
  std::string input = text;
  char* in = input.data();
  size_t in_left = input.size();
  char buffer[1024];
  while (in_left > 0) {
    char* next = buffer;
    size_t out_left = sizeof buffer;
    const size_t done = iconv(cd, &in, &in_left, &next, &out_left);
    out.append(buffer, static_cast<size_t>(next - buffer));
    if (done != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // A byte that is not a character, or one the target cannot hold: "?" and go on.
    out += '?';
    ++in;
    --in_left;
    if (errno == EILSEQ && to != "UTF-8") {
      // Skip the rest of a UTF-8 character the target cannot hold.
      while (in_left > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) {
        ++in;
        --in_left;
      }
    }
  }
  iconv_close(cd);
  return out;
}

std::string Name(unsigned code_page) { return "CP" + std::to_string(code_page); }

}  // namespace

unsigned SystemCodePage() { return kUtf8CodePage; }

std::string ToUtf8(const std::string& text, unsigned code_page) {
  if (code_page == kUtf8CodePage || text.empty()) return text;
  return Convert(text, "UTF-8", Name(code_page));
}

std::string FromUtf8(const std::string& text, unsigned code_page) {
  if (code_page == kUtf8CodePage || text.empty()) return text;
  return Convert(text, Name(code_page), "UTF-8");
}

}  // namespace kelvaro
