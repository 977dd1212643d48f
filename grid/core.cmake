kelvaro_library(SOURCES ResultGridModel.cpp CellMarkup.cpp GridCsvReader.cpp GridCsvWriter.cpp
                        GridHtml.cpp
                USES web base)
# Export to Excel writes its workbook with libxlsxwriter (libxlsxwriter-dev). Debian has no
# libxlsxwriter for MinGW, so the Windows cross build goes without the export and its button.
find_path(KELVARO_XLSXWRITER_INCLUDE_DIR xlsxwriter.h)
find_library(KELVARO_XLSXWRITER_LIBRARY xlsxwriter)
if(KELVARO_XLSXWRITER_INCLUDE_DIR AND KELVARO_XLSXWRITER_LIBRARY)
  set(KELVARO_XLSX_EXPORT ON)
  target_sources(kelvaro_grid PRIVATE ${CMAKE_CURRENT_LIST_DIR}/GridXlsx.cpp)
  target_include_directories(kelvaro_grid SYSTEM PRIVATE ${KELVARO_XLSXWRITER_INCLUDE_DIR})
  target_link_libraries(kelvaro_grid PRIVATE ${KELVARO_XLSXWRITER_LIBRARY})
  target_compile_definitions(kelvaro_grid PUBLIC KELVARO_XLSX_EXPORT)
elseif(WIN32)
  set(KELVARO_XLSX_EXPORT OFF)
  message(STATUS "Left out of the Windows build: Export to Excel (no libxlsxwriter for MinGW here)")
else()
  message(FATAL_ERROR "libxlsxwriter is needed for Export to Excel (libxlsxwriter-dev)")
endif()
