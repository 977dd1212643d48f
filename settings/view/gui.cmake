kelvaro_library(SOURCES uSettings.cpp USES ui settings web base)
