# How the program's libraries are made.
#
# Every library is the sources of one folder of the tree (app, decode,
# capture, ...) or of its widgets/ subfolder. Its users include its headers as
# "<folder>/Name.h" or "<folder>/widgets/Name.h", and that is all of the
# source tree they see: each library exports a folder of links to its own
# headers, not the root of the tree, so a file that includes a header of a
# library it does not link to fails to compile instead of slipping through.

# lantrix_add_library(<target> <folder> [EXCLUDE <file>...])
#   <folder> is relative to the top of the tree, e.g. "capture" or
#   "capture/widgets". The library is static; its dependencies are declared
#   by the caller with target_link_libraries.
function(lantrix_add_library target folder)
  cmake_parse_arguments(ARG "" "" "EXCLUDE" ${ARGN})
  set(source_dir ${CMAKE_SOURCE_DIR}/${folder})
  file(GLOB sources CONFIGURE_DEPENDS ${source_dir}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${source_dir}/*.h)
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${source_dir}/${excluded})
  endforeach()
  add_library(${target} STATIC ${sources} ${headers})

  # The exported header folder: include/<target>/<folder>/Name.h -> the header.
  set(export_root ${CMAKE_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${export_root})
  file(MAKE_DIRECTORY ${export_root}/${folder})
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${export_root}/${folder}/${name} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${export_root})
endfunction()

# lantrix_test_code(<target>...)
#   The tests' and the fuzz replays' own code and their helpers compile at
#   -Og in the optimised builds (the sanitizer builds included): about half
#   the compile time of -O3 and a sixth less than -O1, and it still runs fast,
#   since the tests' time goes to the code they test. The program's libraries
#   keep the build's level, so the tests test what ships. The test programs
#   link with gold, a quarter of the GNU linker's time on these programs; the
#   shipped programs keep the default linker.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=gold LANTRIX_HAVE_GOLD)
function(lantrix_test_code)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-Og>)
    get_target_property(type ${target} TYPE)
    if(LANTRIX_HAVE_GOLD AND type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE -fuse-ld=gold)
    endif()
  endforeach()
endfunction()
