// The engine's services as the shell creates and drives them: the one place
// that names the input driver, sound driver, player camera, game object, font,
// world, interface images, frame functions and editor commands. A service not
// in the build yet is skipped with one log line at start-up.
#pragma once

#include <SDL.h>

// Start-up steps after the graphics driver's Init: input driver, sound driver,
// player camera, game object, font and world. False when the program cannot
// go on (the caller returns 1); the reason has been shown or logged.
bool CreateServices(SDL_Window* window);

// Registers the start-up interface images ("cursor", "crosshair").
void RegisterStartupImages();
// The intro and loading screens.
void RunIntro();

// Entering a mode: hide the interface images, hide "cursor", show "crosshair",
// install the mode's key table, put the mouse into look mode.
void EnterModeServices(bool editor);

// One active pass of the main loop in each mode.
void RunGameFrame();
void RunEditorFrame();
// Shown when the player quits from game mode; returns when it ends.
void RunCredits();

// The editor's commands behind Ctrl+O and Ctrl+S.
void EditorOpenArea();
void EditorSaveArea();

// Input driver calls of the window procedure (each pair keyboard first).
void AcquireInput();
void UnacquireInput();
