# The answer store keeps the answers already paid for in an SQLite database (libsqlite3, its C
# API). Debian has no SQLite for MinGW, so the Windows cross build may go without the store:
# the program then runs without reuse, as with the store unavailable (AnswerStoreAbsent.cpp).
kelvaro_library(SOURCES AnswerReuse.cpp USES web base)
find_package(SQLite3 3.35)  # upsert with RETURNING
if(SQLite3_FOUND)
  set(KELVARO_ANSWER_STORE ON)
  target_sources(kelvaro_store PRIVATE ${CMAKE_CURRENT_LIST_DIR}/AnswerStore.cpp)
  if(WIN32)
    target_sources(kelvaro_store PRIVATE ${CMAKE_CURRENT_LIST_DIR}/AnswerStoreFileWindows.cpp)
  else()
    target_sources(kelvaro_store PRIVATE ${CMAKE_CURRENT_LIST_DIR}/AnswerStoreFilePosix.cpp)
  endif()
  target_link_libraries(kelvaro_store PRIVATE SQLite::SQLite3)
elseif(WIN32)
  set(KELVARO_ANSWER_STORE OFF)
  target_sources(kelvaro_store PRIVATE ${CMAKE_CURRENT_LIST_DIR}/AnswerStoreAbsent.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/AnswerStoreFileWindows.cpp)
  message(STATUS "Left out of the Windows build: the answer store's SQLite file and store/ tests (no SQLite for MinGW here)")
else()
  message(FATAL_ERROR "SQLite 3.35 or newer is needed for the answer store (libsqlite3-dev)")
endif()
