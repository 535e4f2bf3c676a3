# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64):
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The program links the SDK's import library for pdh.dll (libpdh.a of the
# toolchain), so on Windows it calls the system's own PDH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MIREKAST_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix thread flavour; the program starts no thread, so either would do.
set(CMAKE_C_COMPILER ${MIREKAST_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MIREKAST_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MIREKAST_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MIREKAST_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own runtime (libgcc, libstdc++, winpthread) linked in, so that
# mirekast.exe runs alone, needing only DLLs that come with Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
