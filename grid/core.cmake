target_sources(kelvaro_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ResultGridModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CellMarkup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GridCsvReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GridCsvWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GridHtml.cpp)
