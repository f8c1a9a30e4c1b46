# Cross-compiling designopt and its launchers for 64-bit Windows with MinGW-w64
# (Debian package g++-mingw-w64-x86-64). Used by scripts/cross-build-windows.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DESIGNOPT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER /usr/bin/${DESIGNOPT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${DESIGNOPT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/${DESIGNOPT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DESIGNOPT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run on machines without the MinGW run-time DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
