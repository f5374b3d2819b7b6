# Runs a program of the test build's architecture under Wine; it must end with the exit code it
# is told. Usage: cmake -DWINE=... -DPROGRAM=... -DARCH=x86|x64 -P wine_runs_programs.cmake
execute_process(COMMAND ${WINE} ${PROGRAM} 42 RESULT_VARIABLE code OUTPUT_QUIET ERROR_QUIET)
if(NOT code EQUAL 42)
  if(ARCH STREQUAL "x86")
    set(what "32-bit Windows programs")
  else()
    set(what "64-bit Windows programs")
  endif()
  message(FATAL_ERROR "\n*** THIS MACHINE CANNOT RUN ${what} UNDER WINE (${code}): none of this "
    "build's Windows tests can run here. scripts/test runs the 64-bit twin's tests in their place. ***\n")
endif()
