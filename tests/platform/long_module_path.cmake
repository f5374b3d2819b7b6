# Program paths longer than MAX_PATH: Wine's CreateProcessW refuses to start such a program (error
# 3), but its loader starts one given on the Linux command line. So this test copies the probe into
# folders whose Windows path (Z: plus the Linux path) has a chosen length, starts each copy with
# the Wine loader and compares the path it reports with the one it was started from. The lengths
# sit on both sides of each step in which the program's buffer grows (260, 516, 772 ... units).
#
#   cmake -DPROBE=<platform_probe.exe> -DWINE=<wine loader> -DWORK=<folder for the copies> -P this
foreach(variable PROBE WINE WORK)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is required")
  endif()
endforeach()
if(WORK MATCHES "[^ -~]")
  message(FATAL_ERROR "the build folder must have an ASCII path here: lengths are counted in bytes")
endif()

file(REMOVE_RECURSE ${WORK})
# Danish letters are two bytes in UTF-8 and one unit in UTF-16.
set(component "mappe-æøå-0123456789")
set(component_units 20)
set(program_name "platform_probe.exe")
string(LENGTH "${program_name}" program_units)

set(failures 0)
foreach(target 259 260 261 515 516 517 1500)
  set(folder ${WORK}/length-${target})
  string(LENGTH "Z:${folder}" units)
  # Whole components while they leave room for a padding component of at least one unit:
  # "/" component, "/" padding, "/" program.
  while(units LESS target)
    math(EXPR after "${units} + 1 + ${component_units} + 1 + 1 + 1 + ${program_units}")
    if(after GREATER target)
      break()
    endif()
    string(APPEND folder "/${component}")
    math(EXPR units "${units} + 1 + ${component_units}")
  endwhile()
  math(EXPR padding "${target} - ${units} - 1 - 1 - ${program_units}")
  string(REPEAT "p" ${padding} pad)
  string(APPEND folder "/${pad}")
  set(program "${folder}/${program_name}")

  file(MAKE_DIRECTORY "${folder}")
  file(COPY_FILE "${PROBE}" "${program}")
  execute_process(COMMAND "${WINE}" "${program}" module-path
    OUTPUT_VARIABLE reported RESULT_VARIABLE result TIMEOUT 60)
  string(REPLACE "/" "\\" expected "Z:${program}")
  if(NOT result EQUAL 0 OR NOT reported STREQUAL expected)
    message(SEND_ERROR "path of ${target} units:\n  expected ${expected}\n  reported ${reported}\n  exit ${result}")
    math(EXPR failures "${failures} + 1")
  else()
    message(STATUS "path of ${target} units reported whole")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} program paths were reported wrong")
endif()
