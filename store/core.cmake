# The answer store keeps the answers already paid for in an SQLite database (libsqlite3, its C
# API). Debian has no SQLite for MinGW, so the Windows cross build may go without the store:
# the program then runs without reuse, as with the store unavailable (AnswerStoreAbsent.cpp).
find_package(SQLite3 3.35)  # upsert with RETURNING
if(SQLite3_FOUND)
  set(KELVARO_ANSWER_STORE ON)
  if(WIN32)
    kelvaro_library(SOURCES AnswerStore.cpp AnswerStoreFileWindows.cpp QueryKindName.cpp USES web base)
  else()
    kelvaro_library(SOURCES AnswerStore.cpp AnswerStoreFilePosix.cpp QueryKindName.cpp USES web base)
  endif()
  target_link_libraries(kelvaro_store PRIVATE SQLite::SQLite3)
elseif(WIN32)
  set(KELVARO_ANSWER_STORE OFF)
  kelvaro_library(SOURCES AnswerStoreAbsent.cpp AnswerStoreFileWindows.cpp QueryKindName.cpp USES web base)
  message(STATUS "Left out of the Windows build: the answer store's SQLite file and store/ tests (no SQLite for MinGW here)")
else()
  message(FATAL_ERROR "SQLite 3.35 or newer is needed for the answer store (libsqlite3-dev)")
endif()
