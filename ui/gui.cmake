target_sources(kelvaro_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/TextConvert.h
  ${CMAKE_CURRENT_LIST_DIR}/OpenLink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MessageBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HandlerGuard.h
  ${CMAKE_CURRENT_LIST_DIR}/WorkerBridge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Chime.cpp)
