# Helpers for builds that make payloads and programs carrying them.

# The host build's lexmora-payload tool, which the cross builds run to pack payloads: by default
# that of the host build beside this one (the presets put every build in one folder).
if(WIN32)
  cmake_path(SET default_tool NORMALIZE "${PROJECT_BINARY_DIR}/../host/tools/payload/lexmora-payload")
else()
  set(default_tool "")
endif()
set(LEXMORA_PAYLOAD_TOOL "${default_tool}" CACHE FILEPATH "The payload tool built on the host (lexmora-payload)")

# The value of the version chunk of the payloads the build packs, LEXMORA_PAYLOAD_VERSION, follows
# the product version (cmake/ProductVersion.cmake).

# lexmora_add_payload_resources(<target> <name> <file> [<name> <file> ...])
#
# Adds payload files to a Windows program as resources of type 256 under the given numeric names,
# the way the installer carries its own payload (name 256). The files go in unchanged. A program
# gets one resource script only (the linker cannot merge several resource sections reliably), so
# call this once per program and not for installers (lexmora_add_installer has its own).
function(lexmora_add_payload_resources target)
  set(arguments ${ARGN})
  set(script "// Payloads carried as resources of type 256.\n")
  set(files "")
  while(arguments)
    list(POP_FRONT arguments name file)
    string(APPEND script "${name} 256 \"${file}\"\n")
    list(APPEND files ${file})
  endwhile()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-payloads.rc)
  file(CONFIGURE OUTPUT ${rc} CONTENT "${script}" @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${files}")
  target_sources(${target} PRIVATE ${rc})
endfunction()
