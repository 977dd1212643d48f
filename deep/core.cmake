# The Deep Analysis worker; its window is in view/.
kelvaro_library(SOURCES DeepAnalysisWorker.cpp ForumPages.cpp USES search grid store web base)
