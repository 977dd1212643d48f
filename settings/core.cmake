# The settings store keeps the API key and engine code in the current user's hive: the
# registry on Windows, a .reg-format file elsewhere. The store is the same everywhere;
# only the hive behind settings/SettingsHive.h differs.
target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SettingsStore.cpp)
if(WIN32)
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/WindowsRegistryHive.cpp)
else()
  target_sources(kelvaro_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/RegFileHive.cpp)
endif()

# The settings tests check the chime in the source tree. Their target is created later
# (tests/), so the definition is added once the whole project has been read.
function(kelvaro_settings_test_definitions)
  if(TARGET settings_tests)
    target_compile_definitions(settings_tests PRIVATE
      KELVARO_CHIMES_WAV="${PROJECT_SOURCE_DIR}/resources/chimes.wav")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL kelvaro_settings_test_definitions)
