target_sources(kelvaro_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/TextConvert.h
  ${CMAKE_CURRENT_LIST_DIR}/OpenLink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MessageBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HandlerGuard.h
  ${CMAKE_CURRENT_LIST_DIR}/WorkerBridge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunServices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KeywordRun.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlannedCostThread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Chime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormParts.cpp)
# The chime travels inside the program; start-up writes it to the temporary folder.
qt_add_resources(kelvaro_gui kelvaro_chime
  PREFIX "/"
  BASE ${CMAKE_SOURCE_DIR}/resources
  FILES ${CMAKE_SOURCE_DIR}/resources/chimes.wav)
