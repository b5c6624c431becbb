# The DirectX 7 driver's tests, included by cmake/windows.cmake after the
# Windows tests (tests/windows/CMakeLists.txt) are set up. One program, run
# under Wine on an X display of its own with a Wine prefix of its own; it
# draws with the driver in its own process and runs the game (zendar1.exe)
# for the end-to-end cases.
set(dx7_tests ${CMAKE_SOURCE_DIR}/tests/windows/dx7)
file(GLOB dx7_test_sources CONFIGURE_DEPENDS ${dx7_tests}/*.cpp)
# With the driver's "Select Device" dialog, as the game has it.
add_executable(test_dx7 ${dx7_test_sources} ${CMAKE_SOURCE_DIR}/tests/common/program/run_temp_dir.cpp ${CMAKE_SOURCE_DIR}/src/gfxdriver/dx7driver/dx7driver.rc)
target_link_libraries(test_dx7 PRIVATE zendar_test_common zendar_win32 gtest_main gmock)
target_compile_options(test_dx7 PRIVATE ${ZENDAR_WARNINGS})
target_compile_definitions(test_dx7 PRIVATE ZENDAR_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ZENDAR_BIN_DIR="${ZENDAR_GAME_DIR}")
set_target_properties(test_dx7 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(test_dx7 zendar1 game_folder)
add_test(NAME dx7 COMMAND bash ${dx7_tests}/run-under-wine.sh ${CMAKE_BINARY_DIR}/wineprefix-dx7
         $<TARGET_FILE:test_dx7>
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
set_tests_properties(dx7 PROPERTIES TIMEOUT 1200 RESOURCE_LOCK wineprefix-dx7)
