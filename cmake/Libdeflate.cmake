# libdeflate, the decoder the extractor inflates blocks with: Debian's source package, fetched by
# scripts/fetch-libdeflate into the build folder (never into the tree), and compiled here with
# each build's own toolchain. Only what decoding zlib streams needs is compiled, with the flags of
# libdeflate's own Makefile; the packing tool keeps zlib.

# The version of Debian's source package that every build compiles (scripts/fetch-libdeflate reads
# it here): changing it changes the shipped program.
set(LEXMORA_LIBDEFLATE_VERSION 1.14-1)

# Where the sources are: LEXMORA_LIBDEFLATE_DIR when set; otherwise the folder "libdeflate" that
# holds this version beside this build or beside a folder above it (scripts/build fetches it into
# the build folder, and builds made inside it, by scripts/build-installer or a test, find it
# there), in LEXMORA_BUILD_DIR, or in the tree's build/. Failing those, it is fetched beside this
# build.
set(LEXMORA_LIBDEFLATE_DIR "" CACHE PATH "libdeflate's sources as scripts/fetch-libdeflate unpacks them (empty: found or fetched)")
function(lexmora_find_libdeflate variable)
  set(candidates "")
  set(folder "${PROJECT_BINARY_DIR}")
  cmake_path(GET folder PARENT_PATH parent)
  while(NOT parent STREQUAL folder)
    list(APPEND candidates "${parent}/libdeflate")
    set(folder "${parent}")
    cmake_path(GET folder PARENT_PATH parent)
  endwhile()
  if(DEFINED ENV{LEXMORA_BUILD_DIR})
    list(APPEND candidates "$ENV{LEXMORA_BUILD_DIR}/libdeflate")
  endif()
  list(APPEND candidates "${PROJECT_SOURCE_DIR}/build/libdeflate")
  foreach(candidate IN LISTS candidates)
    if(EXISTS "${candidate}/.lexmora-source")
      file(STRINGS "${candidate}/.lexmora-source" stamp LIMIT_COUNT 1)
      if(stamp STREQUAL "libdeflate ${LEXMORA_LIBDEFLATE_VERSION}")
        set(${variable} "${candidate}" PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  cmake_path(SET fetched NORMALIZE "${PROJECT_BINARY_DIR}/../libdeflate")
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/fetch-libdeflate "${fetched}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "libdeflate's sources could not be fetched into ${fetched} (scripts/fetch-libdeflate says why above)")
  endif()
  set(${variable} "${fetched}" PARENT_SCOPE)
endfunction()

if(LEXMORA_LIBDEFLATE_DIR)
  set(libdeflate "${LEXMORA_LIBDEFLATE_DIR}")
else()
  lexmora_find_libdeflate(libdeflate)
endif()
message(STATUS "libdeflate ${LEXMORA_LIBDEFLATE_VERSION}: ${libdeflate}")
# Fetched again for another version, the sources configure the build again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${libdeflate}/.lexmora-source")

# The Makefile's decompression-only library without gzip: the DEFLATE decoder, its zlib wrapper
# with the Adler-32, the CRC-32 of the payload's digest, and the run-time choice of the
# processor's faster instructions.
add_library(lexmora_libdeflate STATIC
  ${libdeflate}/lib/crc32.c
  ${libdeflate}/lib/deflate_decompress.c
  ${libdeflate}/lib/zlib_decompress.c
  ${libdeflate}/lib/adler32.c
  ${libdeflate}/lib/utils.c
  ${libdeflate}/lib/x86/cpu_features.c
  ${libdeflate}/lib/arm/cpu_features.c)
target_include_directories(lexmora_libdeflate SYSTEM PUBLIC ${libdeflate})
set_target_properties(lexmora_libdeflate PROPERTIES C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
# The decoder is where the installer's time goes, so it is built for speed (-O2, as its Makefile
# does) where the rest of the Windows programs are built small. Its warnings are errors here too.
target_compile_options(lexmora_libdeflate PRIVATE
  -O2 -fomit-frame-pointer -fvisibility=hidden -D_ANSI_SOURCE
  -Wall -Wundef -Wdeclaration-after-statement -Wimplicit-fallthrough -Wmissing-prototypes
  -Wpedantic -Wshadow -Wstrict-prototypes -Wvla -Werror
  # No build paths in the programs, wherever the sources were unpacked.
  -ffile-prefix-map=${libdeflate}/=libdeflate/)
if(WIN32)
  target_compile_options(lexmora_libdeflate PRIVATE -ffunction-sections -fdata-sections)
else()
  # The host build's sanitizers and the fuzz build's coverage reach into the decoder as well.
  if(LEXMORA_SANITIZE)
    target_compile_options(lexmora_libdeflate PRIVATE
      -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  endif()
  if(LEXMORA_FUZZ)
    target_compile_options(lexmora_libdeflate PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endif()
