target_sources(kelvaro_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/uHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HttpClient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CustomSearch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EndpointPolicy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SearchService.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ServiceQuery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VolumeService.cpp)
# The search services' JSON answers are read with nlohmann/json (header-only).
target_link_libraries(kelvaro_core PRIVATE kelvaro_json)
# The HTTP client behind DownloadPage: one backend file per platform.
if(WIN32)
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DownloadWinInet.cpp)
else()
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DownloadCurl.cpp)
endif()
