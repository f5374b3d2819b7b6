# Compile and link settings shared by every target of the project (not by GoogleTest, zlib or
# libdeflate).
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type" FORCE)
endif()

add_library(lexmora_options INTERFACE)
# The tree, and product_version.h (cmake/ProductVersion.cmake).
target_include_directories(lexmora_options INTERFACE ${PROJECT_SOURCE_DIR} ${LEXMORA_GENERATED_DIR})
target_compile_options(lexmora_options INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wcast-align -Wundef
  # No build paths in the programs: assertion texts and debug data name files relative to the tree.
  -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
  -ffile-prefix-map=${PROJECT_BINARY_DIR}/=build/)

if(WIN32)
  set(LEXMORA_ARCH x86)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(LEXMORA_ARCH x64)
  endif()
  # Small before fast: the installer's time goes into the decoder (built for speed, cmake/Libdeflate.cmake)
  # and the disk, not into our code.
  set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
  set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")
  target_compile_options(lexmora_options INTERFACE -Werror -ffunction-sections -fdata-sections)
  # Vista is the oldest system we run on: declaring it keeps newer functions out of the headers,
  # and PSAPI_VERSION 1 routes the process functions to psapi.dll, which every version has.
  target_compile_definitions(lexmora_options INTERFACE
    UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN STRICT
    _WIN32_WINNT=0x0600 WINVER=0x0600 _WIN32_IE=0x0600 NTDDI_VERSION=0x06000000 PSAPI_VERSION=1)
  target_link_options(lexmora_options INTERFACE
    -static -static-libgcc -static-libstdc++ -Wl,--gc-sections -Wl,--no-insert-timestamp)

  # Only libraries that every Windows from Vista on ships. comctl32 is deliberately absent: it is
  # not a known system library, so the window loads it by full path at run time.
  add_library(lexmora_system_libraries INTERFACE)
  target_link_libraries(lexmora_system_libraries INTERFACE
    shlwapi ole32 uuid psapi shell32 gdi32 user32 advapi32 kernel32)
else()
  option(LEXMORA_SANITIZE "Build the host code and its tests with AddressSanitizer and UBSan" ON)
  if(LEXMORA_SANITIZE)
    target_compile_options(lexmora_options INTERFACE
      -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(lexmora_options INTERFACE -fsanitize=address,undefined)
  endif()
  target_compile_options(lexmora_options INTERFACE -Werror)
  # Coverage for libFuzzer in everything the fuzz targets link (preset "fuzz", clang only).
  option(LEXMORA_FUZZ "Build the libFuzzer targets of fuzz/ (needs clang)" OFF)
  if(LEXMORA_FUZZ)
    target_compile_options(lexmora_options INTERFACE -fsanitize=fuzzer-no-link)
  endif()
endif()
