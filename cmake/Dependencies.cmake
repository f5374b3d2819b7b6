# zlib: the system's on the host; for Windows the static library of Debian's libz-mingw-w64-dev,
# never the import library, so that the installer needs no zlib1.dll.
if(WIN32)
  find_library(LEXMORA_ZLIB_STATIC NAMES libz.a REQUIRED)
  find_path(LEXMORA_ZLIB_INCLUDE zlib.h REQUIRED)
  add_library(lexmora_zlib INTERFACE)
  target_link_libraries(lexmora_zlib INTERFACE ${LEXMORA_ZLIB_STATIC})
  target_include_directories(lexmora_zlib SYSTEM INTERFACE ${LEXMORA_ZLIB_INCLUDE})
else()
  find_package(ZLIB REQUIRED)
  add_library(lexmora_zlib INTERFACE)
  target_link_libraries(lexmora_zlib INTERFACE ZLIB::ZLIB)
endif()

# GoogleTest from Debian's sources, built with this build's own toolchain.
set(LEXMORA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
if(EXISTS ${LEXMORA_GOOGLETEST_SOURCE}/CMakeLists.txt)
  add_subdirectory(${LEXMORA_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# libdeflate, compiled from Debian's sources with this build's toolchain (cmake/Libdeflate.cmake).
include(Libdeflate)
