// Automation of the game executable: options that make a run repeatable and
// observable (frame limit, fixed frame step, random seed, screenshots, an
// input replay, the base path). Without options the program behaves exactly
// as it does for a player; every option only adds.
//
// The platform layer parses the command line with ParseHarnessOptions, installs
// the options with StartHarness, and calls HarnessEndFrame after every frame it
// runs. Frames are numbered from 0: frame N is the (N+1)-th frame the main loop
// runs. Input events of a replay marked with frame N are delivered before frame
// N runs; a screenshot at frame N shows the image frame N drew.
#ifndef ZENDAR_OS_HARNESS_H
#define ZENDAR_OS_HARNESS_H

#include <cstdint>
#include <string>
#include <vector>

#include "input/bufferedinputdriver.h"

class Replay;

struct ScreenshotRequest {
    int frame = 0;
    std::string file;
};

struct HarnessOptions {
    int frames = -1;         // --frames N: stop after N frames; -1 runs until the window closes
    double fixedStep = 0.0;  // --fixed-step S: both clocks advance S seconds per frame; 0 = real time
    bool seeded = false;     // --seed N given
    unsigned seed = 0;
    std::vector<ScreenshotRequest> screenshots;  // --screenshot FRAME:FILE.png, repeatable
    std::string replay;                          // --replay FILE
    std::string base;                            // --base DIR
    bool editor = false;                         // --editor: start in editor mode
    std::string area;                            // --area FILE: the area the editor starts on
    int statsEvery = 0;                          // --stats N: a stats line every N frames; 0 none

    bool Any() const;
};

// Parses argv[1] .. argv[argc-1]. On failure returns false with a one-line
// message (no trailing newline) in *error; *options is then unspecified.
bool ParseHarnessOptions(int argc, const char* const* argv, HarnessOptions* options, std::string* error);

// The option summary printed with a usage error.
const char* HarnessUsage();

// --help (or -h) and --version anywhere on the command line: true with the
// text to print (usage, options and the game's keys; or the version line),
// and the program starts nothing. False when neither was asked for.
bool HarnessInfoRequested(int argc, const char* const* argv, std::string* text);

// A replay's input events as the input driver's feed (input/bufferedinputdriver.h):
// before each read of the devices, the events due at HarnessFrame() go into the
// driver's queues, stamped with the milliseconds clock, in file order.
class ReplayInputFeed : public InputFeed {
public:
    explicit ReplayInputFeed(Replay* replay) : replay_(replay) {}
    void Pump(DeviceQueue& keyboard, DeviceQueue& mouse) override;

private:
    Replay* replay_;
};

// Applies the options that act before the services are created: base path,
// seed, fixed-step clock (a FixedStepClock of utility/clock.h, installed with
// SetClockSource). The replay is loaded by the caller (see replay.h). The
// options are kept for HarnessEndFrame.
void StartHarness(const HarnessOptions& options);

// True when --editor was given: the start-up sets the settings' editor flag
// once the settings are read, so the first mode switch enters editor mode.
// (The settings file has no key for it and game mode has no key that enters
// the editor; this is how a modder reaches it.)
bool HarnessStartsInEditor();
// The --area the editor starts on (a name in the game's area folder or a
// path); empty when none was given.
const std::string& HarnessEditorArea();

// The frame about to run (or running): 0 before the first frame ends.
int HarnessFrame();

// Screenshots due for the frame now running; call before presenting it.
std::vector<std::string> HarnessScreenshotsDue();

// Call after each frame: advances the fixed-step clock and the frame number,
// and says whether the frame limit is reached.
bool HarnessEndFrame();

// True when the options drive frames (a frame limit, a fixed step,
// screenshots or a replay): screens that wait outside the main loop then
// count their polls as frames, so a scripted run moves on through them.
bool HarnessDrivesFrames();

// True right after every statsEvery-th frame (--stats N): the platform layer
// then logs HarnessStatsLine with what it measures of the process.
bool HarnessStatsDue();
// "HARNESS - frame F: resident R KB, T textures" for the frames run so far:
// what a long run (a soak) reads to see memory and textures stay level.
std::string HarnessStatsLine(long residentKb, int textures);

// Requests that were never reached (their frame did not run), for a warning.
std::vector<ScreenshotRequest> HarnessMissedScreenshots();

// Forgets the options and restores the real-time clock (tests).
void ResetHarness();

#endif
