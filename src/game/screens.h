// The shell's frame functions: the intro (once, before the main loop), the
// game frame (timing, music, scripts, the mouse mode's work, lights,
// particles), the overlay phase that draws and presents it, the editor's
// text overlay and the credits shown when the player quits from game mode.
// They keep the frame clock (camera/frameclock.h) and its frame-rate counter.
#ifndef ZENDAR_GAME_SCREENS_H
#define ZENDAR_GAME_SCREENS_H

#include "camera/frameclock.h"

class PlayerCamera;

// Told the frame clock at the end of every overlay phase (benchmarks); null
// for nobody.
extern void (*g_frameTimingObserver)(const FrameClock& clock);

// Intro music, the interface images, the script file named by "*script" and
// its init programs, the conversation system.
void Intro();
// One game-mode frame's logic, then its drawing and presenting.
void GameFrame(PlayerCamera* camera);
void Overlay(PlayerCamera* camera);
// Editor mode's drawing after the editor frame: the world, the interface, the
// selection and a line of the main keys at the bottom, and the statistics
// lines (frame rate of the real clock, speed in whole units) while the debug
// text is on. selection is the selected entity's line (null: none). Tells
// g_frameTimingObserver like the game's overlay.
void EditorOverlay(PlayerCamera* camera, const char* selection);
// Blocks until Esc, a left click or 45 seconds. pumpInput (may be null) feeds
// the devices while no main loop runs. Under the automation harness every
// poll counts as a frame (its clock steps, its replay events and screenshots
// come due, its frame limit ends the screen), and a replay with no input
// event left ends it at once, so a scripted run cannot hang here.
void Credits(void (*pumpInput)());

// The world acts on what the crosshair points at (the game's click within
// 1000 units): the entity's Activate, then its click-trigger scripts.
// Returns the entity's name, or null when nothing was hit; a click on
// something farther off shows "That is too far away." for two seconds.
const char* ActOnCrosshair(PlayerCamera* camera);

// The credits page (drawn inside an open scene).
void DrawCreditsPage();

// Forgets the frame clock and drops the conversation view (tests).
void ResetFrameClock();

#endif
