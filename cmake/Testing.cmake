# Test registration for the builds.
#
# Host:    lexmora_add_native_test(<name> SOURCES ... [LIBRARIES ...] [LABELS ...])
# Windows: lexmora_add_wine_test(<name> SOURCES ... [LIBRARIES ...] [LABELS ...] [ARGS ...]
#                                [ENVIRONMENT VAR=value ...] [RESOURCE_LOCK ...] [TIMEOUT s])
#          lexmora_add_wine_test_run(<test name> TARGET <exe target> [ARGS ...] [LABELS ...]
#                                    [ENVIRONMENT ...] [RESOURCE_LOCK ...] [FIXTURES ...] [TIMEOUT s])
#          lexmora_add_windows_program(<name> [WIN32] SOURCES ... [LIBRARIES ...])
#
# The Windows test programs are built and run in a build of their own (LEXMORA_WINDOWS_TESTS:
# presets win32-tests and win64-tests), with the posix thread model that GoogleTest needs. The
# installer programs they start come from the build that ships them (LEXMORA_PROGRAMS_BUILD),
# built with its toolchain and flags and copied beside the test programs, so every end-to-end
# test runs the installer as shipped. Test programs and the programs they start are all placed
# in ${LEXMORA_TEST_BIN_DIR}, so a test finds its helpers beside its own module. They run under
# Wine in a prefix that the harness makes for itself (fixture "wine"); tests labelled "window"
# need a display (scripts/test runs everything under xvfb-run).

set(LEXMORA_TEST_BIN_DIR ${PROJECT_BINARY_DIR}/bin)

option(LEXMORA_WINDOWS_TESTS "Build and register the Windows test programs (a cross build of its own)" OFF)
set(LEXMORA_PROGRAMS_BUILD "" CACHE STRING
  "The build of the installer programs that the Windows tests run (a folder name beside this build's)")
set(LEXMORA_TWIN_BUILD "" CACHE STRING
  "A 64-bit build whose programs the 32-bit tests start, for what a 32-bit program meets on 64-bit Windows")
set(LEXMORA_WINE_PREFIX "${PROJECT_BINARY_DIR}/../wineprefix" CACHE PATH
  "The Wine prefix the harness makes for the Windows tests")

# A sibling build named by its folder alone lies beside this one.
function(lexmora_resolve_build variable)
  if(${variable} AND NOT IS_ABSOLUTE "${${variable}}")
    set(${variable} "${PROJECT_BINARY_DIR}/../${${variable}}" PARENT_SCOPE)
  endif()
endfunction()
lexmora_resolve_build(LEXMORA_PROGRAMS_BUILD)
lexmora_resolve_build(LEXMORA_TWIN_BUILD)
cmake_path(NORMAL_PATH LEXMORA_WINE_PREFIX)

# The one Wine environment of the project, shared with the scripts: scripts/lib/wine.env.
set(LEXMORA_WINE_ENV_FILE ${PROJECT_SOURCE_DIR}/scripts/lib/wine.env)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${LEXMORA_WINE_ENV_FILE})
file(STRINGS ${LEXMORA_WINE_ENV_FILE} wine_settings REGEX "^[A-Z_0-9]+=")
set(LEXMORA_WINE_ENVIRONMENT WINEPREFIX=${LEXMORA_WINE_PREFIX})
foreach(setting IN LISTS wine_settings)
  string(REGEX MATCH "^([A-Z_0-9]+)=(.*)$" _ "${setting}")
  set(name ${CMAKE_MATCH_1})
  set(value ${CMAKE_MATCH_2})
  if(name STREQUAL "LEXMORA_WINE" OR name STREQUAL "LEXMORA_WINE32")
    set(${name} ${value})
  elseif(NOT name MATCHES "^LEXMORA_")
    list(APPEND LEXMORA_WINE_ENVIRONMENT "${setting}")
  endif()
endforeach()

if(WIN32 AND LEXMORA_WINDOWS_TESTS)
  set(LEXMORA_RUN_WINDOWS_TESTS ON)
  # Each test program runs under the loader of its own architecture.
  if(LEXMORA_ARCH STREQUAL "x86")
    set(LEXMORA_WINE ${LEXMORA_WINE32})
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LEXMORA_WINE})
  if(NOT LEXMORA_PROGRAMS_BUILD)
    message(FATAL_ERROR "LEXMORA_WINDOWS_TESTS needs LEXMORA_PROGRAMS_BUILD, the build of the installers under test")
  endif()
else()
  set(LEXMORA_RUN_WINDOWS_TESTS OFF)
endif()

function(lexmora_add_native_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE lexmora_options ${ARG_LIBRARIES} GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "native;${ARG_LABELS}")
endfunction()

function(lexmora_add_windows_program name)
  cmake_parse_arguments(ARG "WIN32" "" "SOURCES;LIBRARIES" ${ARGN})
  if(ARG_WIN32)
    add_executable(${name} WIN32 ${ARG_SOURCES})
  else()
    add_executable(${name} ${ARG_SOURCES})
  endif()
  target_link_libraries(${name} PRIVATE lexmora_options ${ARG_LIBRARIES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LEXMORA_TEST_BIN_DIR})
endfunction()

# Every Windows test needs the prefix booted and this machine able to run the test programs.
set(LEXMORA_WINE_FIXTURES "wine_prefix;wine")

function(lexmora_add_wine_test_run test_name)
  cmake_parse_arguments(ARG "" "TARGET;TIMEOUT" "ARGS;LABELS;ENVIRONMENT;RESOURCE_LOCK;FIXTURES" ${ARGN})
  if(NOT LEXMORA_RUN_WINDOWS_TESTS)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${test_name} COMMAND ${ARG_TARGET} ${ARG_ARGS}
    WORKING_DIRECTORY ${LEXMORA_TEST_BIN_DIR})
  set_tests_properties(${test_name} PROPERTIES
    LABELS "wine;${ARG_LABELS}"
    ENVIRONMENT "${LEXMORA_WINE_ENVIRONMENT};${ARG_ENVIRONMENT}"
    FIXTURES_REQUIRED "${LEXMORA_WINE_FIXTURES};${ARG_FIXTURES}"
    TIMEOUT ${ARG_TIMEOUT})
  if(ARG_RESOURCE_LOCK)
    set_tests_properties(${test_name} PROPERTIES RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
endfunction()

function(lexmora_add_wine_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES;LABELS;ARGS;ENVIRONMENT;RESOURCE_LOCK;FIXTURES" ${ARGN})
  if(NOT LEXMORA_RUN_WINDOWS_TESTS)
    return()
  endif()
  lexmora_add_windows_program(${name} SOURCES ${ARG_SOURCES}
    LIBRARIES ${ARG_LIBRARIES} lexmora_test_support GTest::gtest_main GTest::gmock)
  lexmora_add_wine_test_run(${name} TARGET ${name} ARGS ${ARG_ARGS} LABELS ${ARG_LABELS}
    ENVIRONMENT ${ARG_ENVIRONMENT} RESOURCE_LOCK ${ARG_RESOURCE_LOCK} FIXTURES ${ARG_FIXTURES}
    TIMEOUT ${ARG_TIMEOUT})
endfunction()
