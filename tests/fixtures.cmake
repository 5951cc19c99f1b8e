# Version blocks written by an independent resource compiler: every
# platform/fixtures/*.rc becomes data/<name>.res (LANTRIX_TEST_DATA_DIR).
find_program(LANTRIX_WINDRES x86_64-w64-mingw32-windres REQUIRED)
file(GLOB rc_fixtures CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/platform/fixtures/*.rc)
set(fixture_data_dir ${CMAKE_CURRENT_BINARY_DIR}/data)
set(fixture_outputs)
foreach(rc IN LISTS rc_fixtures)
  get_filename_component(name ${rc} NAME_WE)
  set(res ${fixture_data_dir}/${name}.res)
  # The cross compiler that windres would call as its preprocessor is not
  # needed: the host's C compiler preprocesses resource scripts as well.
  add_custom_command(OUTPUT ${res}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${fixture_data_dir}
    COMMAND ${LANTRIX_WINDRES} --preprocessor=${CMAKE_C_COMPILER}
      --preprocessor-arg=-E --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED
      -i ${rc} -O res -o ${res}
    DEPENDS ${rc}
    COMMENT "Compiling version-block fixture ${name}.rc"
    VERBATIM)
  list(APPEND fixture_outputs ${res})
endforeach()
add_custom_target(lantrix_test_fixtures DEPENDS ${fixture_outputs})
