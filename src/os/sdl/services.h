// The engine's services as the shell creates and drives them: the one place
// that names the input driver, sound driver, player camera, game object, font,
// world, interface images, frame functions and editor commands.
#ifndef ZENDAR_OS_SDL_SERVICES_H
#define ZENDAR_OS_SDL_SERVICES_H

#include <SDL.h>

#include <string>

// Start-up, in this order, after the graphics driver's Init. Each returns
// false only when the program cannot go on.
// Input driver on the main window, fed by the replay when one runs, with the
// shell's input sink pointed at it; false when it cannot be created.
bool CreateInputDriver(SDL_Window* window);
void CreateSoundDriver();
// From the back-plane distance and the field of view in radians.
void CreatePlayerCamera(int back_plane, float fov_radians);
// The game object, with the player camera.
void CreateGame();
// "font_herald.ini", colour "white", size 12.
void CreateFont();
// The static World: clock from the settings' start values, sky and day cycle, area.
void InitWorld();
// The interface images "cursor" and "crosshair".
void RegisterStartupImages();
// The intro and loading screens.
void RunIntro();

// Entering a mode: hide every interface image, hide "cursor", show "crosshair".
void ShowModeImages();
// Installs the mode's key-binding table in the input driver; false on failure.
bool InstallKeyTable(bool editor);
// Puts the mouse into look mode.
void SetLookMode();

// One active pass of the main loop in each mode.
void RunGameFrame();
void RunEditorFrame();
// Shown when the player quits from game mode; returns when it ends.
void RunCredits();

// The editor's commands behind Ctrl+O, Ctrl+S, Ctrl+Z and Ctrl+Y.
void EditorOpenArea();
void EditorSaveArea();
void EditorUndo();
void EditorRedo();
// Asked before the program ends and before editor mode is left for the game:
// false when the modder chose to stay (unsaved changes, Cancel or a failed
// save).
bool EditorMayQuit();
bool EditorMayPlay();
// What the window title adds in editor mode: the area and whether it has
// unsaved changes.
std::string EditorTitle();

// Input driver calls of the window procedure (each pair keyboard first).
void AcquireInput();
void UnacquireInput();

#endif
