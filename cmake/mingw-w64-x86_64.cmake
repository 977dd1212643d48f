# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (the POSIX thread model,
# which std::thread and std::mutex need).
#   cmake -S . -B build/windows-core --toolchain cmake/mingw-w64-x86_64.cmake -DKELVARO_CORE_ONLY=ON
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELVARO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELVARO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVARO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVARO_MINGW_TRIPLE}-windres)

# Look for libraries and headers in the MinGW tree only, never in the build machine's; programs
# (ninja, pkg-config) come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KELVARO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config would otherwise report the build machine's libraries (cpp-httplib, libcurl).
set(ENV{PKG_CONFIG_LIBDIR} /usr/${KELVARO_MINGW_TRIPLE}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The executables carry the C++ runtime and winpthread inside, so they run without any DLL
# next to them (under Wine as on a bare Windows machine).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest and gtest discovery start the test programs through this.
find_program(KELVARO_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT KELVARO_WINE64)
  find_program(KELVARO_WINE64 NAMES wine64)
endif()
if(KELVARO_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KELVARO_WINE64})
endif()
