# cmake -DGAME=<game folder> -DZ1TOOL=<z1tool> -P pack-textures.cmake
# Packs every file below GAME/textures into the joined-file archive
# GAME/textures.jf, each named as the engine asks for it ("textures\...").
file(GLOB_RECURSE files RELATIVE ${GAME} ${GAME}/textures/*)
list(SORT files)
execute_process(COMMAND ${Z1TOOL} jf pack textures.jf ${files} WORKING_DIRECTORY ${GAME} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "z1tool jf pack failed (${result})")
endif()
