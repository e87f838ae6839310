# Cross build of tarnwick.exe and the test programs for 64-bit Windows with Debian's MinGW-w64
# (the POSIX-threads flavour, which has std::thread and std::mutex), run under Wine:
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64.cmake
# scripts/test-windows does this, stages the third-party code and runs the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(tarnwick_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${tarnwick_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tarnwick_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${tarnwick_mingw}-windres)

# Libraries and headers come from the MinGW tree only; programs (windres, cmake's own) from
# the build machine. /usr/include is never searched: its headers are for Linux.
set(CMAKE_FIND_ROOT_PATH /usr/${tarnwick_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static: the programs run on a bare Windows with no MinGW runtime DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# A static zlib rather than the import library of zlib1.dll.
set(ZLIB_USE_STATIC_LIBS ON)

# Tests and try_run() go through Wine, with a Wine folder of this build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run;${CMAKE_BINARY_DIR}/wineprefix")
