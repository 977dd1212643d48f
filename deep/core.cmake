target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DeepAnalysisWorker.cpp)
