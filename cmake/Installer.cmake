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
  # The manifest and the version's header are the product version's (cmake/ProductVersion.cmake).
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
    "${ARG_PAYLOAD};${LEXMORA_ICON};${PROJECT_SOURCE_DIR}/res/installer.rc;${LEXMORA_GENERATED_DIR}/lexmora-setup.manifest;${LEXMORA_GENERATED_DIR}/product_version.h")

  add_executable(${target} WIN32 ${PROJECT_SOURCE_DIR}/app/main.cpp ${rc})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/res ${LEXMORA_ICON_DIR} ${LEXMORA_GENERATED_DIR})
  target_link_libraries(${target} PRIVATE lexmora_installer_core)
  add_dependencies(${target} lexmora_icon)
  target_link_options(${target} PRIVATE -s -mwindows)
  # Run from the page file when started from a USB stick or a share, and the payload's section on
  # a page of the file, so that Wine maps it as Windows does instead of copying it into memory at
  # start (cmake/finish_installer_program.py says why).
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND python3 ${PROJECT_SOURCE_DIR}/cmake/finish_installer_program.py $<TARGET_FILE:${target}>
    VERBATIM)
  if(ARG_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  if(ARG_OUTPUT_DIRECTORY)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY})
  endif()
endfunction()
