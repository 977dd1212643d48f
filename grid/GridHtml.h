#pragma once

#include <string>
#include <string_view>

#include "grid/CellVisuals.h"

namespace kelvaro {

class ResultGridModel;

// The grid's HTML document: a style block and one table, no page around it. Export to HTML
// edits the written file by replacing fixed strings, so every tag and attribute keeps the
// exact form written here (lower-case td, nowrap="nowrap", one cell per line, CR LF).
// The model's SaveHTML (defined in GridHtml.cpp) writes it.

// The CSS declarations of one look, joined by ";" without spaces: background-color,
// color, font-size in whole points, font-style: italic, font-weight: bold, font-family,
// text-align (right or center only), vertical-align. Colours as six upper-case hex digits.
std::string CellStyleText(const CellVisuals& look);

// A text holding "://" or "mailto:" and no "</" becomes a link to itself:
// <a href=TEXT>TEXT</a>, the target unquoted. Any other text is returned unchanged.
std::string LinkURLText(std::string_view text);

// The whole document. `look` gives every cell's look as painting computes it, with no
// selection, focus or hover applied. Header cells take their background from `look` too:
// the caller returns its header colour (FixedColor, button face in both windows) for row 0,
// not the gradient the header is painted with. Class numbers follow the first occurrence of
// each style, compared without regard to letter case; the file ends with an empty line.
std::string HTMLDocument(const ResultGridModel& grid, const CellVisualsFunction& look);

}  // namespace kelvaro
