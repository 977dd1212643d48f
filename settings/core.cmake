# The settings store keeps the API key and engine code in the current user's hive: the
# registry on Windows, a .reg-format file elsewhere. The store is the same everywhere;
# only the hive behind settings/SettingsHive.h differs.
kelvaro_library(SOURCES SettingsStore.cpp USES web base)
if(WIN32)
  target_sources(kelvaro_settings PRIVATE ${CMAKE_CURRENT_LIST_DIR}/WindowsRegistryHive.cpp)
  target_link_libraries(kelvaro_settings PUBLIC advapi32)
else()
  target_sources(kelvaro_settings PRIVATE ${CMAKE_CURRENT_LIST_DIR}/RegFileHive.cpp)
endif()
