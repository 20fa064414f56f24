# Cross-compiling the Windows binaries with MinGW-w64 (i686, posix threads).
# This build is compiled only; nothing built here is run on this machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TARN_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${TARN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TARN_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
