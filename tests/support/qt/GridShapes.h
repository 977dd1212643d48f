#pragma once

// Grids shaped like the two windows' grids, for the grid widget's tests and benchmarks, read
// from where each window defines its columns.
#include "deep/view/DeepAnalysisForm.h"
#include "grid/view/TResultGrid.h"
#include "main/view/MainForm.h"

namespace kelvaro::testing {

// The main window's keyword grid: the tick box, the phrase and its three counts.
inline GridCreationValues KeywordGridValues() { return MainForm::KeywordGridColumns(); }

// The Deep Analysis window's top-results grid.
inline GridCreationValues TopResultsGridValues() {
  return DeepAnalysisForm::TopResultsGridColumns();
}

}  // namespace kelvaro::testing
