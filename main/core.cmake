# The keyword worker and the project files; the main window is in view/.
kelvaro_library(SOURCES GoldenRatio.cpp KeywordWorker.cpp KeywordGrid.cpp ProjectFiles.cpp
                USES search grid store web base)
