set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(LEXMORA_TRIPLE i686-w64-mingw32)
# The shipped installer keeps the lean win32 thread model: it starts no std::thread and takes no
# std::mutex, and winpthread would add 26 KB to it. GoogleTest needs std::mutex, so the build of
# the 32-bit test programs passes -DLEXMORA_THREAD_MODEL=posix; both link everything statically.
set(LEXMORA_THREAD_MODEL win32 CACHE STRING "Thread model of the i686 toolchain: win32 or posix")
set(CMAKE_C_COMPILER ${LEXMORA_TRIPLE}-gcc-${LEXMORA_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${LEXMORA_TRIPLE}-g++-${LEXMORA_THREAD_MODEL})
set(CMAKE_RC_COMPILER ${LEXMORA_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LEXMORA_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
