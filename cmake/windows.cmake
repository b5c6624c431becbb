# The Windows game, cross-built with mingw-w64 (cmake/toolchain-*-w64-mingw32.cmake).
# The host (Linux) build makes the tools and the game data; a Windows build
# reuses that data beside its own zendar1.exe and z1tool.exe:
#   cmake --build build --target game_folder
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake
#   cmake --build build-win64
set(ZENDAR_HOST_BUILD ${CMAKE_SOURCE_DIR}/build CACHE PATH "The Linux build whose game data the Windows build copies")

# Debian's stb headers, without the rest of the host's include folder.
include_directories(SYSTEM /usr/include/stb)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
enable_testing()

function(zendar_windows_targets)
  set(ZENDAR_WIN32_LIBS opengl32 glu32 gdi32 dinput dxguid msacm32 winmm comdlg32 comctl32 psapi)

  # Platform layer and the Windows drivers: the only code that includes windows.h.
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/os/win32/*.cpp
    ${CMAKE_SOURCE_DIR}/src/inputdriver/dx7driver/*.cpp
    ${CMAKE_SOURCE_DIR}/src/sounddriver/win32/*.cpp)
  list(FILTER sources EXCLUDE REGEX "src/os/win32/winmain\\.cpp$")
  add_library(zendar_win32 STATIC ${sources})
  target_include_directories(zendar_win32 PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(zendar_win32 PUBLIC zendar_engine ${ZENDAR_WIN32_LIBS})
  target_compile_options(zendar_win32 PRIVATE ${ZENDAR_WARNINGS})

  # --- DirectX 7 driver (src/gfxdriver/dx7driver): DirectDraw 7 and Direct3D 7.
  file(GLOB dx7_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/gfxdriver/dx7driver/*.cpp)
  target_sources(zendar_win32 PRIVATE ${dx7_sources})
  target_link_libraries(zendar_win32 PUBLIC ddraw dxguid)
  # Both drivers on the benchmark scene of bench_gl.
  add_executable(bench_drivers ${CMAKE_SOURCE_DIR}/tools/bench_drivers/main.cpp)
  target_link_libraries(bench_drivers PRIVATE zendar_win32)
  target_compile_options(bench_drivers PRIVATE ${ZENDAR_WARNINGS})
  # --- end of the DirectX 7 driver

  # Icon 101: a gold "Z" on a dark blue tile, drawn by ImageMagick.
  set(icon ${CMAKE_BINARY_DIR}/resources/zendar1.ico)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
    COMMAND convert -size 32x32 xc:#182848 -fill #E0B030
            -draw "rectangle 5,5 26,8" -draw "rectangle 5,23 26,26" -draw "polygon 21,9 26,9 10,22 5,22"
            ${icon}
    COMMENT "Drawing the program's icon"
    VERBATIM)
  add_executable(zendar1 WIN32 ${CMAKE_SOURCE_DIR}/src/os/win32/winmain.cpp
    ${CMAKE_SOURCE_DIR}/src/os/win32/zendar1.rc)
  set_source_files_properties(${CMAKE_SOURCE_DIR}/src/os/win32/zendar1.rc PROPERTIES OBJECT_DEPENDS ${icon})
  target_include_directories(zendar1 PRIVATE ${CMAKE_BINARY_DIR}/resources ${CMAKE_SOURCE_DIR}/src/os/win32)
  target_link_libraries(zendar1 PRIVATE zendar_win32)
  target_compile_options(zendar1 PRIVATE ${ZENDAR_WARNINGS})

  # z1tool: every command but "model import", which needs assimp.
  # The script language's compiler is a library of its own, as on Linux, so
  # its tests link it.
  file(GLOB zs_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/z1tool/zs/*.cpp)
  add_library(zendar_zs STATIC ${zs_sources})
  target_include_directories(zendar_zs PUBLIC ${CMAKE_SOURCE_DIR}/tools/z1tool/zs ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(zendar_zs PUBLIC zendar_engine)
  target_compile_options(zendar_zs PRIVATE ${ZENDAR_WARNINGS})
  file(GLOB tool_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/z1tool/*.cpp)
  list(FILTER tool_sources EXCLUDE REGEX "tools/z1tool/model_import\\.cpp$")
  add_executable(z1tool ${tool_sources} ${CMAKE_SOURCE_DIR}/tools/z1tool/win32/model_import_none.cpp)
  target_include_directories(z1tool PRIVATE ${CMAKE_SOURCE_DIR}/tools/z1tool)
  target_link_libraries(z1tool PRIVATE zendar_zs zendar_engine)
  target_compile_options(z1tool PRIVATE ${ZENDAR_WARNINGS})

  # The game data, copied from the host build's game folder.
  add_custom_target(game_folder ALL
    COMMAND ${CMAKE_COMMAND} -DFROM=${ZENDAR_HOST_BUILD}/bin -DTO=${ZENDAR_GAME_DIR}
            -P ${CMAKE_SOURCE_DIR}/cmake/copy-game-data.cmake
    COMMENT "Copying the game data from ${ZENDAR_HOST_BUILD}/bin"
    VERBATIM)

  if(EXISTS ${CMAKE_SOURCE_DIR}/tests/windows/CMakeLists.txt)
    add_subdirectory(${CMAKE_SOURCE_DIR}/tests/windows ${CMAKE_BINARY_DIR}/tests)
  endif()

  # --- DirectX 7 driver: the game folder's settings start on it.
  add_custom_command(TARGET game_folder POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=${ZENDAR_GAME_DIR}/z1.ini -P ${CMAKE_SOURCE_DIR}/cmake/dx7-settings.cmake
    VERBATIM)

  # --- DirectX 7 driver tests, under Wine.
  if(TARGET zendar_test_common AND EXISTS ${CMAKE_SOURCE_DIR}/tests/windows/dx7/dx7tests.cmake)
    include(${CMAKE_SOURCE_DIR}/tests/windows/dx7/dx7tests.cmake)
  endif()
endfunction()
