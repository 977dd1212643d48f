#include "main/GoldenRatio.h"

#include <limits>

#include "web/uHelper.h"

namespace kelvaro {

namespace {

constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kRed = 0xFF3C3C;

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

// The ratio in hundredths, rounded half up; nothing when it does not fit.
std::optional<int64_t> Hundredths(int64_t numerator, int64_t denominator) {
  const int64_t whole = numerator / denominator;
  const int64_t rest = numerator % denominator;
  if (whole > kMax / 100 - 1) return std::nullopt;
  // No volume comes near this; the rounding below would overflow past it.
  if (denominator > kMax / 200) return std::nullopt;
  return whole * 100 + (rest * 200 + denominator) / (2 * denominator);
}

// "d.dd" (any number of whole digits) in hundredths.
std::optional<int64_t> ReadHundredths(const std::string& text) {
  const std::string trimmed = Trim(text);
  const size_t dot = trimmed.find('.');
  if (dot == std::string::npos || dot == 0 || trimmed.size() - dot != 3) return std::nullopt;
  int64_t whole = 0;
  int32_t part = 0;
  const std::string whole_text = trimmed.substr(0, dot);
  const std::string part_text = trimmed.substr(dot + 1);
  for (const std::string* digits : {&whole_text, &part_text}) {
    for (const char ch : *digits) {
      if (ch < '0' || ch > '9') return std::nullopt;
    }
  }
  if (!TryStrToInt64(whole_text, whole) || !TryStrToInt(part_text, part)) return std::nullopt;
  if (whole > kMax / 100 - 1) return std::nullopt;
  return whole * 100 + part;
}

}  // namespace

std::string KgrText(std::optional<int64_t> allintitle, std::optional<int64_t> volume) {
  if (!allintitle || !volume || *volume <= 0 || *allintitle < 0) return std::string();
  const std::optional<int64_t> hundredths = Hundredths(*allintitle, *volume);
  if (!hundredths) return std::string();
  const int64_t part = *hundredths % 100;
  return std::to_string(*hundredths / 100) + (part < 10 ? ".0" : ".") + std::to_string(part);
}

std::optional<uint32_t> KgrColor(const std::string& kgr_text) {
  const std::optional<int64_t> hundredths = ReadHundredths(kgr_text);
  if (!hundredths) return std::nullopt;
  if (*hundredths < 25) return kGreen;
  if (*hundredths <= 100) return kYellow;
  return kRed;
}

std::optional<uint32_t> VolumeColor(const std::string& volume_text) {
  const std::string trimmed = Trim(volume_text);
  if (trimmed.empty()) return std::nullopt;
  for (const char ch : trimmed) {
    if (ch < '0' || ch > '9') return std::nullopt;
  }
  int64_t volume = 0;
  if (!TryStrToInt64(trimmed, volume)) return std::nullopt;
  return volume <= 250 ? std::optional<uint32_t>(kGreen) : std::nullopt;
}

}  // namespace kelvaro
