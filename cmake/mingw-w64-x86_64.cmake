# Cross-builds the Windows program on Linux with Debian's mingw-w64
# (g++-mingw-w64-x86-64):
#   cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)
# Either thread model links statically; prefer the posix one when present so
# std::thread and friends work should the code ever need them.
find_program(CMAKE_CXX_COMPILER NAMES ${_mingw}-g++-posix ${_mingw}-g++-win32 ${_mingw}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${_mingw}-gcc-posix ${_mingw}-gcc-win32 ${_mingw}-gcc REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${_mingw}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
