target_sources(kelvaro_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/TResultGrid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GridTableModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GridHeaderView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GridCellDelegate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CellPainter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MarkupRenderer.cpp)
