# The product version has its home here: a release changes the next line and nothing else.
set(LEXMORA_VERSION 3.3.8)

# Every other form is derived from it: the version resource's texts and numbers
# (res/installer.rc) and the manifest's assembly version, through the files written below; the
# uninstall entry's DisplayVersion and Version (machine/product.h) and the tests' expectations,
# through product_version.h; the payloads' version value (LEXMORA_PAYLOAD_VERSION). Scripts read
# the values with `cmake -P cmake/ProductVersion.cmake`. The static test static.version_home fails
# when the version is written anywhere else in the tree.
if(NOT LEXMORA_VERSION MATCHES "^(0|[1-9][0-9]?[0-9]?)\\.(0|[1-9][0-9]?[0-9]?)\\.(0|[1-9][0-9]?[0-9]?)$"
   OR CMAKE_MATCH_1 GREATER 255 OR CMAKE_MATCH_2 GREATER 255 OR CMAKE_MATCH_3 GREATER 255)
  message(FATAL_ERROR "cmake/ProductVersion.cmake: the product version \"${LEXMORA_VERSION}\" is not "
    "three numbers from 0 to 255 joined by dots: each becomes one byte of the payloads' version value")
endif()
# The version resource's numbers: four, the last always 0.
set(LEXMORA_VERSION_NUMBERS "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},0")
# The payloads' version value (the installer carries it and never reads it): the same four
# numbers as the bytes of one 32-bit number, most significant first, in decimal; 1.2.3 gives
# 0x01020300, 16909056.
math(EXPR LEXMORA_PAYLOAD_VERSION "(${CMAKE_MATCH_1} << 24) | (${CMAKE_MATCH_2} << 16) | (${CMAKE_MATCH_3} << 8)")

if(CMAKE_SCRIPT_MODE_FILE)
  # For scripts: one "name value" line each.
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "version ${LEXMORA_VERSION}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "payload-version ${LEXMORA_PAYLOAD_VERSION}")
  return()
endif()

# What the code and the resource scripts include, and the installer's manifest.
set(LEXMORA_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
file(CONFIGURE OUTPUT ${LEXMORA_GENERATED_DIR}/product_version.h CONTENT [[
// Written by cmake/ProductVersion.cmake from the product version.
#ifndef LEXMORA_PRODUCT_VERSION_H
#define LEXMORA_PRODUCT_VERSION_H
#define LEXMORA_VERSION_TEXT "@LEXMORA_VERSION@"
#define LEXMORA_VERSION_NUMBERS @LEXMORA_VERSION_NUMBERS@
#endif
]] @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/../res/lexmora-setup.manifest.in
  ${LEXMORA_GENERATED_DIR}/lexmora-setup.manifest @ONLY)
