#include "web/uHelper.h"

#include <chrono>
#include <limits>
#include <type_traits>

#include "base/Text.h"
#include "web/DownloadBackend.h"

namespace kelvaro {

namespace {

// The integer-text rule for a signed type of any width.
template <typename Signed>
bool TryParseInteger(const std::string& text, Signed& value) {
  using Unsigned = std::make_unsigned_t<Signed>;
  constexpr int kBits = std::numeric_limits<Unsigned>::digits;

  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }

  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) return false;  // no digits

  Unsigned magnitude = 0;
  if (hex) {
    for (; i < text.size(); ++i) {
      const int digit = HexDigitValue(text[i]);
      if (digit < 0) return false;
      if (magnitude >> (kBits - 4) != 0) return false;  // a digit more than the width holds
      magnitude = static_cast<Unsigned>((magnitude << 4) | static_cast<Unsigned>(digit));
    }
    // Hexadecimal wraps within the width: $FFFFFFFF is -1 in 32 bits.
    if (negative) magnitude = static_cast<Unsigned>(Unsigned{0} - magnitude);
    value = static_cast<Signed>(magnitude);
    return true;
  }

  const Unsigned limit = negative ? static_cast<Unsigned>(std::numeric_limits<Signed>::max()) + 1u
                                  : static_cast<Unsigned>(std::numeric_limits<Signed>::max());
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const auto digit = static_cast<Unsigned>(text[i] - '0');
    if (magnitude > (limit - digit) / 10u) return false;
    magnitude = static_cast<Unsigned>(magnitude * 10u + digit);
  }
  value = negative ? static_cast<Signed>(Unsigned{0} - magnitude) : static_cast<Signed>(magnitude);
  return true;
}

// 0-based index where a search from the 1-based position pos begins, or npos when pos lies
// beyond the end of the text. Positions below 1 search from the start.
size_t SearchStart(const std::string& text, int pos) {
  if (pos < 1) return 0;
  const auto index = static_cast<size_t>(pos) - 1;
  return index > text.size() ? std::string::npos : index;
}

}  // namespace

std::string DownloadPage(const std::string& url) {
  return internal::Download(url, std::chrono::milliseconds(kReceiveTimeoutMs),
                            internal::ConnectionUse::kReuse);
}

HttpAnswer DownloadAnswer(const std::string& url, int receive_timeout_ms,
                          const std::atomic<bool>* abort) {
  internal::TransferBounds bounds;
  bounds.abort = abort;
  return internal::DownloadAnswer(url, std::chrono::milliseconds(receive_timeout_ms),
                                  internal::ConnectionUse::kReuse, bounds);
}

HttpAnswer DownloadWithHeaders(const std::string& url, const std::vector<std::string>& headers,
                               int receive_timeout_ms, const std::atomic<bool>* abort) {
  internal::TransferBounds bounds;
  bounds.abort = abort;
  internal::PostData get{headers, std::string()};
  get.get = true;
  return internal::Exchange(url, &get, std::chrono::milliseconds(receive_timeout_ms),
                            internal::ConnectionUse::kReuse, bounds);
}

HttpAnswer PostForm(const std::string& url, const std::vector<std::string>& headers,
                    const std::string& body, int receive_timeout_ms,
                    const std::atomic<bool>* abort) {
  internal::TransferBounds bounds;
  bounds.abort = abort;
  return internal::PostAnswer(url, internal::PostData{headers, body},
                              std::chrono::milliseconds(receive_timeout_ms),
                              internal::ConnectionUse::kReuse, bounds);
}

namespace internal {

int ParseRetryAfter(const std::string& value) {
  const std::string text = Trim(value);
  if (text.empty() || text.size() > 9) return -1;
  int seconds = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    seconds = seconds * 10 + (c - '0');
  }
  return seconds;
}

}  // namespace internal

bool ExtractNumber(const std::string& text, const std::string& start_marker,
                   const std::string& end_marker, std::string& value) {
  const size_t start = text.find(start_marker);
  if (start == std::string::npos) return false;
  const size_t from = start + start_marker.size();
  const size_t end = text.find(end_marker, from);
  if (end == std::string::npos) return false;
  value = text.substr(from, end - from);
  int64_t number = 0;
  return TryStrToInt64(value, number);
}

bool ExtractBetween(const std::string& text, const std::string& start_marker,
                    const std::string& end_marker, int& pos, std::string& value) {
  const size_t search_from = SearchStart(text, pos);
  if (search_from == std::string::npos) return false;
  const size_t start = text.find(start_marker, search_from);
  if (start == std::string::npos) return false;
  const size_t from = start + start_marker.size();
  const size_t end = text.find(end_marker, from);
  if (end == std::string::npos) return false;
  value = text.substr(from, end - from);
  pos = static_cast<int>(end + 1);
  return !value.empty();
}

std::string URLEncode(const std::string& text) {
  std::string encoded;
  encoded.reserve(text.size() * 3);
  for (const char c : text) {
    const bool unreserved = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                            (c >= 'A' && c <= 'Z') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += HexByte(static_cast<unsigned char>(c));
    }
  }
  return encoded;
}

std::string LeftCopy(const std::string& s, int n) {
  if (n <= 0) return std::string();
  return s.substr(0, static_cast<size_t>(n));
}

std::string HexByte(unsigned char value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string{kDigits[value >> 4], kDigits[value & 0x0F]};
}

bool TryStrToInt(const std::string& text, int32_t& value) { return TryParseInteger(text, value); }

bool TryStrToInt64(const std::string& text, int64_t& value) { return TryParseInteger(text, value); }

std::string Trim(const std::string& text) {
  const auto is_blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  size_t first = 0;
  size_t last = text.size();
  while (first < last && is_blank(text[first])) ++first;
  while (last > first && is_blank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool ReadCountDigits(std::string_view text, bool (*skip)(char), int64_t max, int64_t& value) {
  int64_t number = 0;
  bool any_digit = false;
  for (const char ch : text) {
    if (ch >= '0' && ch <= '9') {
      const int digit = ch - '0';
      if (number > (max - digit) / 10) return false;
      number = number * 10 + digit;
      any_digit = true;
    } else if (!skip(ch)) {
      return false;
    }
  }
  if (!any_digit) return false;
  value = number;
  return true;
}

}  // namespace kelvaro
