# Test registration for the three builds.
#
# Host:    lexmora_add_native_test(<name> SOURCES ... [LIBRARIES ...] [LABELS ...])
# Windows: lexmora_add_wine_test(<name> SOURCES ... [LIBRARIES ...] [LABELS ...] [ARGS ...]
#                                [ENVIRONMENT VAR=value ...] [RESOURCE_LOCK ...] [TIMEOUT s])
#          lexmora_add_wine_test_run(<test name> TARGET <exe target> [ARGS ...] [LABELS ...]
#                                    [ENVIRONMENT ...] [RESOURCE_LOCK ...] [TIMEOUT s])
#          lexmora_add_windows_program(<name> [WIN32] SOURCES ... [LIBRARIES ...])
#
# Windows test programs and the programs they start are all placed in ${LEXMORA_TEST_BIN_DIR},
# so a test finds its helpers beside its own module. Tests that run Windows programs are
# registered only in the 64-bit build, the one these machines can execute; they run under
# wine64 in a prefix that the harness makes for itself in the build tree (fixture "wine"), and
# tests labelled "window" need a display (scripts/test runs everything under xvfb-run).

set(LEXMORA_TEST_BIN_DIR ${PROJECT_BINARY_DIR}/bin)
set(LEXMORA_WINE_PREFIX ${PROJECT_BINARY_DIR}/wineprefix)
set(LEXMORA_WINE_ENVIRONMENT
  WINEPREFIX=${LEXMORA_WINE_PREFIX}
  WINEDEBUG=-all
  LANG=C.UTF-8
  LC_ALL=C.UTF-8
  WINEDLLOVERRIDES=winemenubuilder.exe=d)

if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(LEXMORA_RUN_WINDOWS_TESTS ON)
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

function(lexmora_add_wine_test_run test_name)
  cmake_parse_arguments(ARG "" "TARGET;TIMEOUT" "ARGS;LABELS;ENVIRONMENT;RESOURCE_LOCK" ${ARGN})
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
    FIXTURES_REQUIRED wine
    TIMEOUT ${ARG_TIMEOUT})
  if(ARG_RESOURCE_LOCK)
    set_tests_properties(${test_name} PROPERTIES RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
endfunction()

function(lexmora_add_wine_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES;LABELS;ARGS;ENVIRONMENT;RESOURCE_LOCK" ${ARGN})
  if(NOT LEXMORA_RUN_WINDOWS_TESTS)
    return()
  endif()
  lexmora_add_windows_program(${name} SOURCES ${ARG_SOURCES}
    LIBRARIES ${ARG_LIBRARIES} lexmora_test_support GTest::gtest_main GTest::gmock)
  lexmora_add_wine_test_run(${name} TARGET ${name} ARGS ${ARG_ARGS} LABELS ${ARG_LABELS}
    ENVIRONMENT ${ARG_ENVIRONMENT} RESOURCE_LOCK ${ARG_RESOURCE_LOCK} TIMEOUT ${ARG_TIMEOUT})
endfunction()
