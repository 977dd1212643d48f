target_sources(kelvaro_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AtomicFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KeywordLines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WorkerSteps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TempPath.cpp)
# How file names in the system's code page become paths: one source file per platform.
if(WIN32)
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/NativePathWindows.cpp)
else()
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/NativePathPosix.cpp)
endif()
