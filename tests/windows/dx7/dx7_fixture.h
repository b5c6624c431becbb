// Shared pieces of the DirectX 7 driver's tests under Wine: a window of the
// render size, a driver initialised on it through a replay's answers to the
// device dialog, and frames compared with the OpenGL driver's reference
// pictures.
#ifndef ZENDAR_TESTS_WINDOWS_DX7_DX7_FIXTURE_H
#define ZENDAR_TESTS_WINDOWS_DX7_DX7_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "os/replay.h"
#include "gfxdriver/dx7driver/dx7driver.h"

namespace dx7_test {

// A visible top-level window for the driver (made once per process).
HWND TestWindow();

// Installs a replay with the given text as g_replay for the object's life.
class ScopedReplay {
public:
    explicit ScopedReplay(const std::string& text);
    ~ScopedReplay();

private:
    Replay replay_;
    Replay* saved_;
};

// A player at the "Select Device" dialog, on a thread of its own: it waits
// for the dialog (of this or another process) to show, notes what it shows,
// makes the choices asked for with the dialog's own controls and presses OK
// or Cancel. Reading the lists needs the dialog in this process.
struct DeviceDialogVisit {
    // What to do.
    std::string device;  // select this device ("" leaves the choice)
    std::string mode;    // untick "Use desktop window", select this mode ("" leaves both)
    bool ok = true;      // else Cancel
    bool readLists = true;
    // What was seen.
    bool found = false;
    std::string caption;
    std::vector<std::string> labels;  // of the buttons and group boxes, in dialog order
    std::vector<std::string> devices, modes;
    bool modesEnabled = false;  // as the dialog opened, and after the choices
    bool modesEnabledAfter = false;
};
// Starts the visit; Finish waits for it (at most `seconds` for the dialog,
// and no longer than `process` runs when one is given).
HANDLE StartDeviceDialogVisit(DeviceDialogVisit* visit, int seconds = 60, HANDLE process = nullptr);
void FinishDeviceDialogVisit(HANDLE thread);

// A driver initialised on the test window, windowed on the device the
// dialog's default picks (the replay answers OK without changes). Null, with
// a test failure, when Init fails.
std::unique_ptr<Dx7Driver> MakeDriver();

// How far a frame may stray from a reference picture.
struct Tolerance {
    int channel;         // largest difference of a channel that counts as equal
    double badFraction;  // share of pixels allowed beyond it
};

struct FrameDifference {
    long bad = 0;       // pixels beyond the channel tolerance
    long pixels = 0;    // pixels compared
    int worst = 0;      // largest channel difference
    double mean = 0.0;  // mean of the largest channel difference per pixel
};

struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;  // tightly packed, top row first
};
bool LoadPicture(const std::string& path, Picture* p);

struct Rect {
    int x0, y0, x1, y1;  // in the actual picture, x1 and y1 excluded
};

// Compares rows [top, top + rows) of actual with rows [refTop, refTop + rows)
// of expected (same width), leaving out the rectangles in skip. Prints the
// numbers, writes both pictures to the test temp folder, and
// fails the test when more than the tolerated share of pixels differ.
FrameDifference ComparePictures(const Picture& actual, const Picture& expected, const std::string& name,
                                Tolerance tolerance, int top = 0, int refTop = 0, int rows = -1,
                                const std::vector<Rect>& skip = {});

// Compares rows [top, top + rows) of the back buffer with rows [refTop,
// refTop + rows) of the reference PNG (same width). Logs the numbers, writes
// the frame to the test temp folder when it does not match, and fails the
// test when more than the tolerated share of pixels differ.
FrameDifference CompareBackBuffer(Dx7Driver* d, const std::string& reference, const std::string& name,
                                  Tolerance tolerance, int top = 0, int refTop = 0, int rows = -1);

// The source folder's reference pictures.
std::string Reference(const std::string& relative);

}  // namespace dx7_test

#endif
