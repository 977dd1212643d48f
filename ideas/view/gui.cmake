kelvaro_library(SOURCES KeywordIdeasForm.h KeywordIdeasForm.cpp USES grid/view ui ideas base)
