// What both platforms' shells (os/sdl, os/win32) do alike between their
// window and the engine: the command line, the engine's part of start-up,
// the mode switch, the frame, the exit sequence's questions, the editor's
// commands and the window title. A shell keeps only what its window system
// does: the window, menus, accelerators and message loops. Written once so
// that the two platforms cannot drift apart (unsaved editor work was offered
// for saving on one and silently dropped on the other).
#ifndef ZENDAR_OS_SHELL_SESSION_H
#define ZENDAR_OS_SHELL_SESSION_H

#include <string>

#include "os/harness.h"

class ClockSource;
struct Settings;

// The main window's title in game mode.
extern const char kWindowTitle[];

// ZendarMain's first step: --help or --version is answered through tell
// (returns 0); a bad command line or --replay file is told on standard error
// (returns 2); otherwise -1, with *options read and a --replay loaded and
// installed in g_replay. The caller then applies the options (StartHarness).
int ReadCommandLine(int argc, char** argv, void (*tell)(const std::string& text), HarnessOptions* options);

// Start-up steps 4 to 6, after the platform's window: the log "demo2.txt",
// the joined-file archive "textures.jf" and the settings from "z1.ini" (a
// harness run started with --editor sets the editor flag). The settings live
// as long as the program and are g_settings.
Settings& StartLogArchiveAndSettings();

// Start-up after the platform's input and sound drivers: player camera, game
// object, font, world and its area, fog, and the "cursor" and "crosshair"
// interface images.
void StartEngine(const Settings& settings);

// The mode switch, when the settings' editor flag differs from the mode
// entered (1: editor, 0: game; start-up passes 0). Leaving the editor for the
// game offers unsaved work for saving first; staying (Cancel, or a failed
// save) sets the flag back. Entering a mode hides the interface images but the
// crosshair, installs the mode's key table and puts the mouse in look mode.
// Returns the mode now entered.
int SwitchMode(int entered);

// The platform's real clock (ShellSeconds, ShellMilliseconds) as the engine's
// clock source, for the runs the harness does not step.
ClockSource* ShellClock();

// After the main loop: each --screenshot whose frame was never reached, told
// on standard error.
void ReportMissedScreenshots();

// One frame of the mode entered: the game frame and overlay, or the editor's.
void RunModeFrame(int entered);

// The exit sequence (Esc, File > Exit): "Quit?" when the settings ask for it,
// the graphics driver paused while the box shows. False when the answer is no.
bool QuitConfirmed();
// The credits, when the program ends from game mode; pump is the platform's
// input pump, run while they show.
void CreditsIfPlaying(void (*pump)());

// The input driver's calls of the window procedure, keyboard first: when the
// window gains or loses the input.
void AcquireInput();
void UnacquireInput();

// The editor's menu and accelerator commands; nothing outside editor mode.
enum class EditorCommand {
    OpenArea,
    SaveArea,
    Undo,
    Redo
};
void RunEditorCommand(EditorCommand command);

// The window's title for the mode entered: in editor mode it names the edited
// area and marks unsaved changes.
std::string WindowTitle(int entered);

#endif
