# The settings store keeps the API key and engine code in the current user's hive: the
# registry on Windows, a .reg-format file elsewhere. The store is the same everywhere;
# only the hive behind settings/SettingsHive.h differs.
target_sources(kelvaro_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SettingsStore.cpp)
if(WIN32)
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/WindowsRegistryHive.cpp)
else()
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/RegFileHive.cpp)
endif()
