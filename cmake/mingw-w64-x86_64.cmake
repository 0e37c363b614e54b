# Cross-building the Windows programs on Debian with MinGW-w64 (g++-mingw-w64-x86-64-posix:
# the POSIX thread model, which std::thread needs).
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZAVO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZAVO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAVO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZAVO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZAVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program runs on a bare Windows: the C and C++ runtimes and the threads are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The test programs run under Wine, headless and quiet.
find_program(ZAVO_WINE NAMES wine wine64 wine-stable)
if(ZAVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZAVO_WINE})
endif()

