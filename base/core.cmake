target_sources(kelvaro_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AtomicFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KeywordLines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextCase.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WorkerSteps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TempPath.cpp)
# How file names in the system's code page become paths: one source file per platform.
# And how texts in the system's code page become UTF-8 for the services, and back.
if(WIN32)
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/NativePathWindows.cpp
                                      ${CMAKE_CURRENT_LIST_DIR}/CodePageWindows.cpp)
else()
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/NativePathPosix.cpp
                                      ${CMAKE_CURRENT_LIST_DIR}/CodePagePosix.cpp)
endif()
