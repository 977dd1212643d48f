target_sources(kelvaro_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AtomicFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TempPath.cpp)
