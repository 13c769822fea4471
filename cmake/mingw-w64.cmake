# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads).
#   cmake --preset windows      (uses this file)
# Test programs run under wine64 through CMAKE_CROSSCOMPILING_EMULATOR; the
# wrapper keeps Wine's output off CTest's pipes.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NV_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER ${NV_MINGW_PREFIX}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER ${NV_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER ${NV_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${NV_MINGW_PREFIX})
if(NOT EXISTS ${CMAKE_FIND_ROOT_PATH})
  message(FATAL_ERROR "MinGW-w64 sysroot ${CMAKE_FIND_ROOT_PATH} not found: apt-get install g++-mingw-w64-x86-64-posix")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
