target_sources(kelvaro_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MainForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainFormFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainFormLayout.cpp)
