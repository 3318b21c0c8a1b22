# Cross-building pas2asm.exe for 64-bit Windows with Debian's MinGW-w64 (package
# g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Where Wine is installed, tests run the Windows programs under it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PAS2ASM_MINGW_PREFIX x86_64-w64-mingw32)
# The POSIX threading variant: GoogleTest needs std::mutex, which the win32 variant of GCC 12 lacks.
# Linked statically, its thread library adds no DLL. Plain names are the fallback.
find_program(CMAKE_CXX_COMPILER NAMES ${PAS2ASM_MINGW_PREFIX}-g++-posix ${PAS2ASM_MINGW_PREFIX}-g++
             REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${PAS2ASM_MINGW_PREFIX}-gcc-posix ${PAS2ASM_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${PAS2ASM_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PAS2ASM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(PAS2ASM_WINE NAMES wine wine64)
if(PAS2ASM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PAS2ASM_WINE})
endif()
