# Cross build of the Windows game with mingw-w64 (x86_64). The runtime is linked
# statically so that the program needs nothing beside Windows' own DLLs.
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZENDAR_MINGW_TRIPLET x86_64-w64-mingw32)

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
# Tests and end-to-end runs start the programs under Wine.
find_program(ZENDAR_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(ZENDAR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZENDAR_WINE})
endif()
