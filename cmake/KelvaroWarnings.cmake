# One interface target carries the project's warning flags.
add_library(kelvaro_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(kelvaro_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast)
  if(KELVARO_WERROR)
    target_compile_options(kelvaro_warnings INTERFACE -Werror)
    # GCC 12 reports std::string copies at high optimisation as overlapping (a known false
    # positive of -Wrestrict); keep it a warning.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(kelvaro_warnings INTERFACE -Wno-error=restrict)
    endif()
  endif()
elseif(MSVC)
  target_compile_options(kelvaro_warnings INTERFACE /W4 /permissive-)
  if(KELVARO_WERROR)
    target_compile_options(kelvaro_warnings INTERFACE /WX)
  endif()
endif()
