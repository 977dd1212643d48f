target_sources(kelvaro_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/GoldenRatio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KeywordWorker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KeywordGrid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProjectFiles.cpp)
