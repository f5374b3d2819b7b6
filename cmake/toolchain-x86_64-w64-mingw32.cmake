set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(LEXMORA_TRIPLE x86_64-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex, and the installer links statically either way.
set(CMAKE_C_COMPILER ${LEXMORA_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LEXMORA_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LEXMORA_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LEXMORA_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# This twin is the one these machines can execute: tests run it under the 64-bit Wine loader.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
