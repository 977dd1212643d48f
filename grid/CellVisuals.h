#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kelvaro {

// What one cell looks like, as painting computes it (the grid widget's CellPainter) and as
// the HTML document carries it over. Colours are 0xRRGGBB.
struct CellVisuals {
  enum class HAlign { Left, Center, Right };
  enum class VAlign { Top, Middle, Bottom };

  uint32_t background = 0xFFFFFF;
  // Header cells: the fill runs from background down to this colour.
  std::optional<uint32_t> gradient_end;
  uint32_t text_color = 0x000000;
  std::string font_name = "Tahoma";
  int font_size_pt = 8;
  bool bold = false;
  bool italic = false;
  HAlign h_align = HAlign::Left;
  VAlign v_align = VAlign::Top;
  bool word_wrap = false;
};

// Gives the visuals of cell (col, row) with no selection, focus or hover applied.
using CellVisualsFunction = std::function<CellVisuals(int col, int row)>;

}  // namespace kelvaro
