# add_archive_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <seconds>])
#
# One Qt Test executable per test class, registered with CTest. Every test runs
# without a display and with its own home and configuration folders inside the
# build tree, so it never touches the user's real settings.
set(ARCHIVE_TEST_HOME ${CMAKE_BINARY_DIR}/test-home)

function(add_archive_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE testsupport Qt6::Test ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${ARCHIVE_TEST_HOME};XDG_CONFIG_HOME=${ARCHIVE_TEST_HOME}/.config;XDG_DATA_HOME=${ARCHIVE_TEST_HOME}/.local/share;XDG_CACHE_HOME=${ARCHIVE_TEST_HOME}/.cache;ARCHIVE_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
