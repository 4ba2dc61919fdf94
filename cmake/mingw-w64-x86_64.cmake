# Cross-compiles for 64-bit Windows with the MinGW-w64 toolchain of a Debian
# or Ubuntu machine (package g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QORVELIX_MINGW_PREFIX x86_64-w64-mingw32)
# The win32 thread model needs no threading DLL; the program uses no threads.
find_program(CMAKE_CXX_COMPILER NAMES ${QORVELIX_MINGW_PREFIX}-g++-win32 ${QORVELIX_MINGW_PREFIX}-g++
             REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${QORVELIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
