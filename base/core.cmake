kelvaro_library(SOURCES AtomicFile.cpp KeywordLines.cpp Text.cpp TextCase.cpp WorkerSteps.cpp TempPath.cpp)
target_link_libraries(kelvaro_base PUBLIC Threads::Threads)
# How file names in the system's code page become paths: one source file per platform.
# And how texts in the system's code page become UTF-8 for the services, and back.
if(WIN32)
  target_sources(kelvaro_base PRIVATE ${CMAKE_CURRENT_LIST_DIR}/NativePathWindows.cpp
                                      ${CMAKE_CURRENT_LIST_DIR}/CodePageWindows.cpp)
else()
  target_sources(kelvaro_base PRIVATE ${CMAKE_CURRENT_LIST_DIR}/NativePathPosix.cpp
                                      ${CMAKE_CURRENT_LIST_DIR}/CodePagePosix.cpp)
endif()
