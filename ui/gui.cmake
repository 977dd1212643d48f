target_sources(kelvaro_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/TextConvert.h
  ${CMAKE_CURRENT_LIST_DIR}/OpenLink.cpp)
