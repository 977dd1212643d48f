kelvaro_library(
  SOURCES TextConvert.h OpenLink.cpp MessageBox.cpp HandlerGuard.h WorkerBridge.cpp
          RunServices.cpp RunController.cpp KeywordRun.cpp PlannedCostThread.cpp Chime.cpp
          FormParts.cpp
  USES search store web base)
target_link_libraries(kelvaro_ui PUBLIC Qt6::Multimedia kelvaro_texts)
# The chime travels inside the program; start-up writes it to the temporary folder.
qt_add_resources(kelvaro_ui kelvaro_chime
  PREFIX "/"
  BASE ${CMAKE_SOURCE_DIR}/resources
  FILES ${CMAKE_SOURCE_DIR}/resources/chimes.wav)
