// The game's import table: what the engine's lower modules ask of the game
// (imports/gameimports.h), answered by the game object, the script runtime,
// the running area, the platform's dialogs, the conversation view and the
// editor.
#ifndef ZENDAR_GAME_IMPORTTABLE_H
#define ZENDAR_GAME_IMPORTTABLE_H

// Makes the game's table the process's g_imports (idempotent). Each call
// reaches g_game, g_font, the area and the editor when they exist, so
// installing it before they are made is safe: without a game object the
// null table's answers and log lines stand in.
void InstallGameImports();

#endif
