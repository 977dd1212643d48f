# The product's libraries, one per folder, in the layers of cmake/layers.txt.
#
# A folder's core.cmake (Qt-free) or gui.cmake (widgets) calls kelvaro_library() once; the
# library is kelvaro_<folder> with "/" as "_" (grid/view/ makes kelvaro_grid_view). A library
# sees the headers of its own folder and of the folders it USES, and nothing else: each library
# puts only its own headers on the include path (as links in the build folder), so an include
# of a folder it does not use, or of one that stands above it, fails to compile.
#
# kelvaro_core links every core library and kelvaro_gui every widget library, for the programs,
# tests, benchmarks and fuzzers, which stand above the product.

file(READ ${CMAKE_CURRENT_LIST_DIR}/layers.txt kelvaro_layer_lines)
string(REPLACE ";" "," kelvaro_layer_lines "${kelvaro_layer_lines}")  # a comment may hold one
string(REPLACE "\n" ";" kelvaro_layer_lines "${kelvaro_layer_lines}")
set(KELVARO_SUBSYSTEMS)  # every folder, lowest layer first
set(kelvaro_level 0)
list(REVERSE kelvaro_layer_lines)
foreach(line IN LISTS kelvaro_layer_lines)
  string(REGEX REPLACE "#.*" "" line "${line}")
  string(STRIP "${line}" line)
  if(line STREQUAL "")
    continue()
  endif()
  math(EXPR kelvaro_level "${kelvaro_level} + 1")
  string(REGEX REPLACE "[ \t]+" ";" folders "${line}")
  foreach(folder IN LISTS folders)
    set(KELVARO_LEVEL_${folder} ${kelvaro_level})
    list(APPEND KELVARO_SUBSYSTEMS ${folder})
  endforeach()
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/layers.txt)

# kelvaro_library(SOURCES <file>... [USES <folder>...]), called by a core.cmake or gui.cmake:
#   SOURCES  names relative to the folder (headers of a widget library too, for AUTOMOC)
#   USES     the lower folders whose libraries it links (PUBLIC: a header of it may name them)
# The folder then links the libraries of other projects with target_link_libraries().
function(kelvaro_library)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "" "SOURCES;USES")
  set(folder ${kelvaro_subsystem})
  set(kind ${kelvaro_subsystem_kind})
  string(REPLACE "/" "_" name ${folder})
  set(target kelvaro_${name})
  list(TRANSFORM arg_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/${folder}/)
  add_library(${target} STATIC ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE kelvaro_warnings)
  foreach(used IN LISTS arg_USES)
    if(NOT DEFINED KELVARO_LEVEL_${used})
      message(FATAL_ERROR "${folder}/ uses ${used}/, which cmake/layers.txt does not name")
    elseif(NOT KELVARO_LEVEL_${used} LESS KELVARO_LEVEL_${folder})
      message(FATAL_ERROR "${folder}/ may not use ${used}/: it stands beside or above it "
                          "(cmake/layers.txt)")
    endif()
    string(REPLACE "/" "_" used_name ${used})
    target_link_libraries(${target} PUBLIC kelvaro_${used_name})
  endforeach()

  if(kind STREQUAL "gui")
    set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON)
    target_link_libraries(${target} PUBLIC Qt6::Widgets)
    # Every text a widget shows says how it is encoded (QStringLiteral, QLatin1String, or the
    # conversions of ui/TextConvert.h), and every connection to a functor names the object it
    # lives with, so a slot never runs after its receiver is gone (Qt 6.7 and newer check it).
    target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT)
    set_property(GLOBAL APPEND PROPERTY KELVARO_GUI_LIBRARIES ${target})
  else()
    set_property(GLOBAL APPEND PROPERTY KELVARO_CORE_LIBRARIES ${target})
  endif()

  # The folder's own headers, as links under build/layers/<target>/<folder>/. A host that
  # cannot make links (Windows without the right to) builds from the source tree instead;
  # the layering is then checked by the hosts that can.
  set(stage ${CMAKE_BINARY_DIR}/layers/${target})
  file(REMOVE_RECURSE ${stage})
  file(MAKE_DIRECTORY ${stage}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  foreach(header IN LISTS headers)
    get_filename_component(header_name ${header} NAME)
    file(CREATE_LINK ${header} ${stage}/${folder}/${header_name} RESULT linked SYMBOLIC)
    if(NOT linked EQUAL 0)
      message(STATUS "No links in the build folder (${linked}): the libraries see every header")
      set(stage ${PROJECT_SOURCE_DIR})
      break()
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC ${stage})
endfunction()

# The folders' core.cmake, gui.cmake and CMakeLists.txt, lowest layer first.
# A macro, so that what a core.cmake sets (KELVARO_ANSWER_STORE) reaches the tests.
macro(kelvaro_add_subsystems)
  foreach(kelvaro_subsystem IN LISTS KELVARO_SUBSYSTEMS)
    set(kelvaro_folder ${PROJECT_SOURCE_DIR}/${kelvaro_subsystem})
    if(NOT EXISTS ${kelvaro_folder})
      continue()
    endif()
    # A new core.cmake or gui.cmake in a folder re-runs the configuration.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${kelvaro_folder})
    if(EXISTS ${kelvaro_folder}/core.cmake AND EXISTS ${kelvaro_folder}/gui.cmake)
      message(FATAL_ERROR "${kelvaro_subsystem}/ has both a core.cmake and a gui.cmake: its "
                          "widget files belong in ${kelvaro_subsystem}/view/")
    endif()
    if(EXISTS ${kelvaro_folder}/core.cmake)
      set(kelvaro_subsystem_kind core)
      include(${kelvaro_folder}/core.cmake)
    endif()
    if(NOT KELVARO_CORE_ONLY AND EXISTS ${kelvaro_folder}/gui.cmake)
      set(kelvaro_subsystem_kind gui)
      include(${kelvaro_folder}/gui.cmake)
    endif()
    if(EXISTS ${kelvaro_folder}/CMakeLists.txt)
      add_subdirectory(${kelvaro_subsystem})
    endif()
  endforeach()

  add_library(kelvaro_core INTERFACE)
  get_property(kelvaro_core_libraries GLOBAL PROPERTY KELVARO_CORE_LIBRARIES)
  target_link_libraries(kelvaro_core INTERFACE ${kelvaro_core_libraries})
  if(NOT KELVARO_CORE_ONLY)
    add_library(kelvaro_gui INTERFACE)
    get_property(kelvaro_gui_libraries GLOBAL PROPERTY KELVARO_GUI_LIBRARIES)
    target_link_libraries(kelvaro_gui INTERFACE kelvaro_core ${kelvaro_gui_libraries} Qt6::Widgets
                          Qt6::Multimedia)
  endif()
endmacro()
