target_sources(kelvaro_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/uHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CustomSearch.cpp)
# The HTTP client behind DownloadPage: one backend file per platform.
if(WIN32)
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DownloadWinInet.cpp)
else()
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DownloadCurl.cpp)
endif()
