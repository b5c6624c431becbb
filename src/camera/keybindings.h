// The two key tables installed into the input driver at each mode switch.
// Game mode binds the eight movement keys; editor mode adds the rise and
// sink keys, the speed and display toggles, the world clock and weather keys,
// the held edit-mode keys and the editor's commands. Every callback acts on
// the pressed flag of its key event; the movement keys set the flags of the
// context, which the player update hands over.
//
// Editor commands that live with the editor (selection, dialogs) go up to
// the game through its import table (g_imports).
#ifndef ZENDAR_CAMERA_KEYBINDINGS_H
#define ZENDAR_CAMERA_KEYBINDINGS_H

#include "input/dikeys.h"
#include "input/inputdriver.h"

class PlayerCamera;

// Fills table (256 entries) with the mode's callbacks; unbound keys get null.
void BuildGameKeyTable(KeyCallback* table);
void BuildEditorKeyTable(KeyCallback* table);

// The game's own keys beyond walking: Enter, keypad Enter and Space go on in
// a conversation, 1 to 9 pick an answer, J opens and closes the quest log.
// Their callbacks only note a press (with any context); the game frame takes
// each press once, whenever it reads the keyboard.
bool TakeKeyPress(int key);
// Forgets every noted press (a press meant for one screen must not reach the
// next).
void ClearKeyPresses();
constexpr int kQuestLogKey = DIK_J;

// The game's keys as --help lists them, one per line.
const char* GameKeysHelp();

// Installs the mode's table into driver. False when there is no driver or it
// refuses the table (the mode switch then logs "ERROR - could not initialize
// input devices").
bool InstallKeyBindings(InputDriver* driver, bool editor);

// The camera the P key reports: the first camera created (the player's)
// registers itself and leaves when it is destroyed.
void SetReportedCamera(PlayerCamera* camera);
PlayerCamera* ReportedCamera();

#endif
