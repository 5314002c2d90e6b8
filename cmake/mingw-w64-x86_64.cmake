# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads flavour).
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Programs are linked statically, so they run on Windows (or under Wine) without MinGW's
# runtime DLLs beside them. The root CMakeLists.txt runs the tests under Wine
# (cmake/WineEmulator.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZT40_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZT40_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZT40_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZT40_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZT40_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Qt's DLLs and plugins built with this file (scripts/build-qt-windows.sh) carry MinGW's runtime
# inside, so no runtime DLL has to be shipped beside them.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
