#include "web/EndpointPolicy.h"

#include <string_view>

#include "base/Text.h"
#include "web/SearchService.h"
#include "web/uHelper.h"

namespace kelvaro {
namespace {

// Four decimal parts 0-255, the first 127.
bool IsLoopbackIPv4(std::string_view host) {
  int parts = 0;
  while (true) {
    const size_t dot = host.find('.');
    const std::string_view part = host.substr(0, dot);
    if (part.empty() || part.size() > 3) return false;
    int value = 0;
    for (const char c : part) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    if (value > 255 || (parts == 0 && value != 127)) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    host.remove_prefix(dot + 1);
  }
  return parts == 4;
}

bool IsLoopbackHost(std::string_view host) {
  const std::string lower = LowerAscii(host);
  return lower == "localhost" || lower == "[::1]" || IsLoopbackIPv4(lower);
}

}  // namespace

bool IsClearTextRemoteEndpoint(const std::string& endpoint) {
  if (!IsValidEndpoint(endpoint)) return false;
  const std::string text = Trim(endpoint);
  constexpr std::string_view kHttp = "http://";
  if (!StartsWithIgnoringAsciiCase(text, kHttp)) return false;
  std::string_view authority = std::string_view(text).substr(kHttp.size());
  authority = authority.substr(0, authority.find('/'));
  // The host ends at the port's colon; a bracketed address at its bracket.
  const size_t host_end = authority[0] == '[' ? authority.find(']') + 1 : authority.find(':');
  return !IsLoopbackHost(authority.substr(0, host_end));
}

bool IsAcceptableEndpoint(const std::string& endpoint) {
  return IsValidEndpoint(endpoint) && !IsClearTextRemoteEndpoint(endpoint);
}

}  // namespace kelvaro
