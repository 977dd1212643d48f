# The keyword ideas the answers hold, and the run that asks for autocomplete suggestions; the
# window is in view/.
kelvaro_library(SOURCES KeywordIdeas.cpp AutocompleteWorker.cpp USES search store web base)
