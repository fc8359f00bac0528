# Cross build for 64-bit Windows with Debian's mingw-w64; the .exe tests run under wine.
#   cmake --preset windows   (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The -posix compilers: the win32 thread model has no std::thread, which GoogleTest wants.
set(KORVEX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORVEX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVEX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVEX_MINGW_TRIPLET}-windres)

# Headers, libraries and packages come from the target's root only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KORVEX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the .exe files need no mingw DLL beside them, under wine or on a user's machine.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# ctest and test discovery run the .exe files through wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
