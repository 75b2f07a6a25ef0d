# Cross-building the Windows programs (64-bit) on Debian with mingw-w64:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The -posix compilers carry the C++ threads. Everything is linked statically, so that an
# .exe needs nothing beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KS_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KS_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KS_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KS_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KS_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must not offer the build machine's libraries (pxlib, Qt) to the Windows build.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${KS_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine when ctest is used in this build.
find_program(KS_WINE wine)
if(KS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KS_WINE})
endif()
