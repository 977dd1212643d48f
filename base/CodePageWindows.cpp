// The code page conversions through the system's own tables.

#include "base/WindowsApi.h"  // first: the headers below need its types

#include <string>

#include "base/CodePage.h"

namespace kelvaro {

namespace {

std::wstring Widen(const std::string& text, unsigned code_page) {
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(const std::wstring& wide, unsigned code_page) {
  const int size = static_cast<int>(wide.size());
  // CP_UTF8 takes no default character; every other code page puts "?" for what it lacks.
  const char* fallback = code_page == CP_UTF8 ? nullptr : "?";
  const int length =
      WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, fallback, nullptr);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), size, text.data(), length, fallback, nullptr);
  return text;
}

bool Known(unsigned code_page) { return IsValidCodePage(code_page) != 0; }

}  // namespace

unsigned SystemCodePage() { return GetACP(); }

std::string ToUtf8(const std::string& text, unsigned code_page) {
  if (code_page == kUtf8CodePage || text.empty() || !Known(code_page)) return text;
  return Narrow(Widen(text, code_page), CP_UTF8);
}

std::string FromUtf8(const std::string& text, unsigned code_page) {
  if (code_page == kUtf8CodePage || text.empty() || !Known(code_page)) return text;
  return Narrow(Widen(text, CP_UTF8), code_page);
}

}  // namespace kelvaro
