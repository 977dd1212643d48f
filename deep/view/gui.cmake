kelvaro_library(SOURCES DeepAnalysisForm.h DeepAnalysisForm.cpp USES grid/view ui deep settings base)
