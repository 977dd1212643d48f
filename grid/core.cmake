kelvaro_library(SOURCES ResultGridModel.cpp CellMarkup.cpp GridCsv.cpp GridHtml.cpp USES web base)
