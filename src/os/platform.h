// What a platform provides. The engine includes no platform header: it reads
// time through utility/clock.h, asks for boxes and dialogs through
// os/dialogs.h and talks to the three drivers through their interfaces. A
// platform is the code behind those seams plus the four functions below;
// src/os/sdl (SDL 2) and src/os/win32 (Win32) each implement this file, and a
// new platform starts from it. What every platform decides alike (the command
// line, the start-up after the drivers, the mode switch, the exit sequence's
// questions, the editor's commands, the title) is written once, in
// os/shell/session.h. Only the platform and its drivers include SDL or
// Windows headers.
//
// Entry point and main loop. ZendarMain is the whole program (SDL's main and
// WinMain both call it with the C runtime's argc/argv). In order:
//   - the automation options (os/harness.h: ParseHarnessOptions, a --replay
//     loaded into g_replay, StartHarness); a usage error prints the usage on
//     standard error and returns 2. Without options nothing changes.
//   - start-up in the engine's fixed order: window (hidden), log "demo2.txt",
//     archive "textures.jf", settings ("z1.ini"; --editor sets the editor
//     flag), graphics driver and its Init, input driver, sound driver, player
//     camera, game object, font, world, fog, the "cursor" and "crosshair"
//     images, intro, the first mode switch. The two fatal ends log their
//     "FATAL ERROR - ..." line; a refused input driver shows the "Error" /
//     "Cannot create an inputdriver" box. Every end returns 1.
//   - the main loop, which never blocks: at most one window message per pass
//     (so a flood of messages cannot starve the frames), then the mode switch
//     when the settings' editor flag differs from the mode entered, then, while
//     the settings' active flag is set, one frame (game frame and overlay, or
//     editor frame and editor overlay) followed by HarnessEndFrame, whose frame
//     limit closes the window. A pass that is inactive and found no message
//     waits up to kInactiveWaitMs for one, so a game in the background does
//     not hold a core. The loop ends on the quit message that the window's
//     destruction posts.
//
// Window procedure. Window-manager events become three things only: log
// lines, changes of the settings' active flag, and Pause / Move / Paint /
// Shutdown on the graphics driver and acquire / unacquire on the input driver
// (keyboard first, then mouse). Drivers are tested for null, because messages
// arrive while start-up is still creating them. Accelerators: Esc runs the exit
// sequence ("Quit?" box, credits in game mode, close); Ctrl+O and Ctrl+S open
// and save an area in editor mode. A replay's key presses reach the window too
// (Replay::NextWindowKey at HarnessFrame()), so a replayed Esc exits as a
// typed one does.
//
// The two clocks. Seconds from the performance counter time the frames;
// milliseconds from the multimedia timer drive animation, the day cycle and
// script sleeps. The platform installs them as the ClockSource
// (utility/clock.h) unless the harness's fixed step runs, so that the engine
// never reads a clock the harness cannot step.
//
// Message boxes, modal dialogs and file dialogs: one Dialogs object
// (os/dialogs.h), published in g_dialogs before the graphics driver starts
// (its failures are boxes). A modal dialog runs a loop of its own until it is
// closed, as a Win32 dialog does; window events wait for the main loop. Under a
// replay the engine answers from the replay and the platform is not asked.
//
// Base path: the executable's folder, ending with the separator; every data
// path is relative to it. The file layer finds it from the C runtime on first
// use (utility/basepath.h); a platform that knows better hands its own to
// SetBasePath before the settings are made, unless the harness's --base gave
// one.
//
// GL binding: the OpenGL driver bound to the main window (an SDL GL context,
// or WGL), created as the "*renderer" setting asks and published in
// g_gfxdriver. Its ShowFrame saves the harness's screenshots due for the
// frame (HarnessScreenshotsDue) before presenting, so they show the engine's
// image.
//
// Input driver: a BufferedInputDriver over the platform's devices, published in
// g_inputdriver. Where the devices are not DirectInput, the platform hands it
// the keyboard and mouse events it takes from the window. It is constructed
// with the replay's feed (ReplayInputFeed of os/harness.h over g_replay;
// null without a replay) and passes it on to the BufferedInputDriver, which
// then plays the replay into queues of its own in place of the devices and
// never touches them, so no driver knows replays exist.
//
// Music library: a SoundLibrary (sounddriver/sounddriver.h) that streams the
// MP3 music, behind the SoundDriver published in g_sounddriver. Without an
// audio device it logs and the game runs silent.
#ifndef ZENDAR_OS_PLATFORM_H
#define ZENDAR_OS_PLATFORM_H

#include <cstdint>

// How long an inactive main-loop pass that found no message waits for one.
constexpr int kInactiveWaitMs = 100;

// The whole program; returns the exit code (see above).
int ZendarMain(int argc, char** argv);

// The real-time clocks behind the ClockSource: seconds since the first
// reading (so that the float keeps millisecond precision however long the
// machine has been up), and the millisecond timer (wraps like timeGetTime).
float ShellSeconds();
uint32_t ShellMilliseconds();

// For screens that wait outside the main loop (the credits wait for Esc or a
// click): hands pending keyboard and mouse events to the input driver only.
// No window message is handled, so Esc does not start the exit sequence again.
void ShellPumpInput();

#endif
