kelvaro_library(
  SOURCES TResultGrid.cpp GridTableModel.cpp GridHeaderView.cpp GridCellDelegate.cpp
          CellPainter.cpp MarkupRenderer.cpp
  USES ui grid web base)
