#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kelvaro {

// What a cell looks like, as painting computes it (the grid widget) and as the HTML
// document carries it over. Colours are 0xRRGGBB.
struct CellLook {
  enum class HAlign { Left, Center, Right };
  enum class VAlign { Top, Middle, Bottom };

  uint32_t background = 0xFFFFFF;
  uint32_t text_color = 0x000000;
  std::string font_name = "Tahoma";
  int font_size_pt = 8;
  bool bold = false;
  bool italic = false;
  HAlign h_align = HAlign::Left;
  VAlign v_align = VAlign::Top;
  bool word_wrap = false;
};

// Gives the look of cell (col, row) with no selection, focus or hover applied.
using CellLookFunction = std::function<CellLook(int col, int row)>;

}  // namespace kelvaro
