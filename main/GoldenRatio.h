#pragma once

// The Keyword Golden Ratio columns of the keyword grid: the allintitle count divided by the
// phrase's monthly searches. A phrase with at most 250 searches a month and a ratio below 0.25
// is one a new page can rank for quickly.

#include <cstdint>
#include <optional>
#include <string>

namespace kelvaro {

// The ratio as the grid shows it: two decimals, rounded half up ("0.18", "12.50"). Empty when
// either number is unknown, the volume is 0 or a number is negative.
std::string KgrText(std::optional<int64_t> allintitle, std::optional<int64_t> volume);

// Cell backgrounds as 0xRRGGBB, read from the texts the cells show (so an opened project gets
// the same colours): KGR below 0.25 green, 0.25 to 1.00 yellow, above 1.00 red; a volume of at
// most 250 green. Nothing for an empty or unreadable text, or a volume above 250.
std::optional<uint32_t> KgrColor(const std::string& kgr_text);
std::optional<uint32_t> VolumeColor(const std::string& volume_text);

}  // namespace kelvaro
