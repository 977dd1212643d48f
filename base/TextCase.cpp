#include "base/TextCase.h"

#include <cstdint>

#include "base/Text.h"

namespace kelvaro {

namespace {

// The simple lower case of one code point of the alphabets named in the header; others as
// they are.
char32_t LowerCodePoint(char32_t c) {
  if (c < 0x80) return static_cast<char32_t>(LowerAscii(static_cast<char>(c)));
  // Latin-1: À-Þ except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  // Latin Extended-A: pairs, upper case first; three runs start on an odd code point.
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130) return 'i';  // İ
    if (c == 0x178) return 0xFF;  // Ÿ
    const bool odd_pairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (odd_pairs) return (c % 2 == 1) ? c + 1 : c;
    return (c % 2 == 0) ? c + 1 : c;
  }
  // Greek: the accented capitals, then Α-Ω (no capital final sigma).
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 0x3F;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
  // Cyrillic: Ѐ-Џ, А-Я, then the pairs of Ѡ-ҁ, Ҋ-ӿ (Ӏ apart) and Ԁ-ԯ.
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) {
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c == 0x4C0) return 0x4CF;
  if (c >= 0x4C1 && c <= 0x4CE) return (c % 2 == 1) ? c + 1 : c;
  // Armenian: Ա-Ֆ.
  if (c >= 0x531 && c <= 0x556) return c + 0x30;
  // Latin Extended Additional (Vietnamese and others): pairs, and capital sharp s.
  if (c == 0x1E9E) return 0xDF;
  if ((c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF)) {
    return (c % 2 == 0) ? c + 1 : c;
  }
  return c;
}

// The code point at text[pos] and its length in bytes; 0 for a byte that does not begin a
// valid sequence.
size_t Decode(std::string_view text, size_t pos, char32_t& c) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(pos);
  size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0F;
  } else {
    return 0;  // ASCII is handled by the caller; 4-byte letters have no case here
  }
  if (pos + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(pos + i) & 0x3F);
  }
  if (length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) return 0;
  return length;
}

void Encode(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string LowerUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const auto lead = static_cast<uint8_t>(text[pos]);
    if (lead < 0x80) {
      out += static_cast<char>(LowerCodePoint(lead));
      ++pos;
      continue;
    }
    char32_t c = 0;
    const size_t length = Decode(text, pos, c);
    if (length == 0) {
      out += text[pos++];  // not a letter we know: byte for byte
      continue;
    }
    Encode(LowerCodePoint(c), out);
    pos += length;
  }
  return out;
}

}  // namespace kelvaro
