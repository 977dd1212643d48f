#pragma once

// Grids shaped like the two windows' grids, for the grid widget's tests and benchmarks (each
// window defines its own columns; these copy them).
#include "grid/view/TResultGrid.h"

namespace kelvaro::testing {

// The main window's keyword grid: the tick box, the phrase and its three counts.
inline GridCreationValues KeywordGridValues() {
  GridCreationValues values;
  values.col_count = 5;
  values.column_headers = {"", "Keyword", "Quotes", "Allintitle", "Allinurl"};
  values.col_widths = {20, 229, 100, 100, 100};
  return values;
}

// The Deep Analysis window's top-results grid.
inline GridCreationValues TopResultsGridValues() {
  GridCreationValues values;
  values.col_count = 4;
  values.column_headers = {"", "Page Title", "URL", "Backlinks"};
  values.col_widths = {20, 160, 160, 65};
  return values;
}

}  // namespace kelvaro::testing
