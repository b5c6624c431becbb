# Cross build of the Windows game with mingw-w64 (i686). The runtime is linked
# statically so that the program needs nothing beside Windows' own DLLs.
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZENDAR_MINGW_TRIPLET i686-w64-mingw32)

# The -posix compilers: googletest needs std::thread and std::mutex.
set(CMAKE_C_COMPILER ${ZENDAR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZENDAR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZENDAR_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZENDAR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# GCC's 32-bit default is x87 arithmetic with 80-bit intermediates; SSE2 makes
# the floating-point results agree with the 64-bit twin and the Linux build.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
