kelvaro_library(
  SOURCES uHelper.cpp HttpClient.cpp CustomSearch.cpp EndpointPolicy.cpp SearchService.cpp
          ServiceQuery.cpp VolumeService.cpp DomainRankService.cpp DataForSeo.cpp
  USES base)
# The search services' JSON answers are read with nlohmann/json (header-only).
target_link_libraries(kelvaro_web PRIVATE kelvaro_json)
# The HTTP client behind DownloadPage: one backend file per platform.
if(WIN32)
  target_sources(kelvaro_web PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DownloadWinInet.cpp)
  target_link_libraries(kelvaro_web PUBLIC wininet)
else()
  target_sources(kelvaro_web PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DownloadCurl.cpp)
  target_link_libraries(kelvaro_web PRIVATE CURL::libcurl)
endif()
