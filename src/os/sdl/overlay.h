// The in-window user interface of the SDL build, drawn with Dear ImGui over
// the engine's frames: the menu bar in the strip at the top of the window
// (where Windows keeps its menu) and modal loops drawn over the last frame,
// the way a Win32 menu or dialog runs its own message loop while the program
// waits.
#ifndef ZENDAR_OS_SDL_OVERLAY_H
#define ZENDAR_OS_SDL_OVERLAY_H

#include <SDL.h>

#include <functional>

// Height of the menu strip: the 2D layer of the OpenGL driver leaves these
// pixels free at the top of the render area.
const int kMenuStripHeight = 20;

// Sets up ImGui on the window; the driver's OpenGL context must be current.
bool OverlayInit(SDL_Window* window);
void OverlayShutdown();
bool OverlayReady();

// Hands an event to ImGui. Input events of the main loop and of every modal
// loop go through here.
void OverlayProcessEvent(const SDL_Event& event);

// Menu commands, with the ids of the Windows menu and accelerator resources.
enum MenuCommand {
    MENU_NONE = 0,
    MENU_CHANGE_DEVICE = 40002,  // F2: not handled
    MENU_EXIT = 40006,           // Esc
    MENU_OPEN_FILE = 40012,      // not handled
    MENU_SAVE_AREA = 40031,      // Ctrl+S
    MENU_OPEN_AREA = 40032,      // Ctrl+O
    MENU_UNDO = 40041,           // Ctrl+Z (editor)
    MENU_REDO = 40042,           // Ctrl+Y (editor)
};

// The frame's last step before it is presented: keeps a copy of the finished
// image (width x height from the lower-left corner of the back buffer) for the
// modal loops, then draws the menu bar over it. Sets *opened when the user
// opened the File menu in this frame.
void OverlayPresentFrame(int width, int height, bool* opened);

// Runs a modal loop: every pass hands the pending input events to ImGui, draws
// the last frame, the menu bar and whatever `body` draws, and presents. The
// loop ends when body returns false. Window events stay queued for the main
// loop. While `menu_open` is set the File menu is kept open and the chosen
// command, if any, is returned; otherwise the menu bar is shown inactive.
// With ZENDAR_MODAL_SHOWN naming a file in the environment, each loop creates
// that file once what it draws is on screen in full and takes input (for
// scripts that drive the window).
int RunOverlayLoop(const std::function<bool()>& body, bool menu_open);

#endif
