# Building the compiler and the machine to WebAssembly (WASI) with Debian's clang, lld, wasi-libc
# and the wasm32 libc++ (packages clang, lld, wasi-libc, libc++-14-dev-wasm32,
# libclang-rt-14-dev-wasm32):
#   cmake -S . -B build-wasm -DCMAKE_TOOLCHAIN_FILE=cmake/wasi.cmake
# The native build does this itself for the playground (PAS2ASM_PLAYGROUND); Node runs the
# programs in the tests.
set(CMAKE_SYSTEM_NAME WASI)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})

find_program(CMAKE_CXX_COMPILER NAMES clang++-14 clang++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES clang-14 clang)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
# Debian puts wasi-libc and the wasm32 libc++ where clang looks for the wasm32-wasi target by
# itself: no sysroot is named.
# clang checks a program by linking it, which needs the C++ library as the real build does.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The wasm32 libc++ is built without exceptions, and this code throws none.
set(CMAKE_CXX_FLAGS_INIT -fno-exceptions)
