target_sources(kelvaro_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SearchWire.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunLimits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AnswerReuse.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SearchSession.cpp)
