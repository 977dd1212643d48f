# The Deep Analysis worker; its window is in view/.
kelvaro_library(SOURCES DeepAnalysisWorker.cpp USES search grid store web base)
