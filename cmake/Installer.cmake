# lexmora_add_installer(<target> PAYLOAD <file> [OUTPUT_NAME <name>] [OUTPUT_DIRECTORY <dir>])
#
# An installer program carrying <file> unchanged as its payload (resource type 256, name 256).
# Shipped programs carry no symbols, so that builds are small and byte-identical.
function(lexmora_add_installer target)
  cmake_parse_arguments(ARG "" "PAYLOAD;OUTPUT_NAME;OUTPUT_DIRECTORY" "" ${ARGN})
  if(NOT ARG_PAYLOAD)
    message(FATAL_ERROR "lexmora_add_installer(${target}): PAYLOAD is required")
  endif()
  # One resource script per program: the linker cannot merge several resource sections reliably.
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources.rc)
  file(CONFIGURE OUTPUT ${rc} CONTENT "#include \"installer.rc\"\n256 256 \"${ARG_PAYLOAD}\"\n" @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
    "${ARG_PAYLOAD};${LEXMORA_ICON};${PROJECT_SOURCE_DIR}/res/installer.rc;${PROJECT_SOURCE_DIR}/res/lexmora-setup.manifest")

  add_executable(${target} WIN32 ${PROJECT_SOURCE_DIR}/app/main.cpp ${rc})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/res ${LEXMORA_ICON_DIR})
  target_link_libraries(${target} PRIVATE lexmora_installer_core)
  add_dependencies(${target} lexmora_icon)
  target_link_options(${target} PRIVATE -s -mwindows)
  if(LEXMORA_ARCH STREQUAL "x64")
    # Windows maps a program's sections from its file whatever their alignment; Wine maps only
    # page-aligned ones and copies the rest into private memory, payload included. The twin that
    # runs under Wine is aligned so that it behaves there as the shipped program does on Windows;
    # the shipped program stays without the padding.
    target_link_options(${target} PRIVATE -Wl,--file-alignment=4096)
  endif()
  if(ARG_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  if(ARG_OUTPUT_DIRECTORY)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY})
  endif()
endfunction()
