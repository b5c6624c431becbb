# cmake -DFROM=<host game folder> -DTO=<windows game folder> -P copy-game-data.cmake
# Copies the game's data files (everything with an extension: the host's
# programs have none) but not what runs leave behind (logs, screenshots).
if(NOT EXISTS ${FROM}/z1.ini)
  message(FATAL_ERROR "${FROM} holds no game data: build the host build's game_folder target first")
endif()
file(COPY ${FROM}/ DESTINATION ${TO}
  FILES_MATCHING PATTERN "*.*"
  PATTERN "demo2.txt" EXCLUDE
  PATTERN "Dialog.log" EXCLUDE
  PATTERN "*.png" EXCLUDE
  PATTERN "*.exe" EXCLUDE)
