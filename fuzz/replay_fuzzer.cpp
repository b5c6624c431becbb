// Replay files: read as the game reads its --replay file, then played into
// an input driver frame by frame as the platform layer feeds it (device
// queues, the window's own key cursor), the buffered input read back, and
// the answers taken in order as the dialogs take them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "os/replay.h"
#include "input/queueinputdriver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    std::string path = fuzz::WriteFile("fuzz.replay", data, size);
    Replay replay;
    std::string error;
    if (!replay.Load(path.c_str(), &error)) return 0;
    QueueInputDriver input;
    // The frames that have events and the one after each: nothing happens
    // in between.
    std::vector<int> frames;
    for (const ReplayEvent& e : replay.Events()) {
        if (frames.size() >= 400) break;
        if (frames.empty() || frames.back() != e.frame + 1) {
            frames.push_back(e.frame);
            frames.push_back(e.frame + 1);
        }
    }
    ReplayEvent e;
    for (int frame : frames) {
        while (replay.NextInputEvent(frame, &e)) {
            switch (e.type) {
            case REPLAY_KEY: input.PushKey(e.code, e.pressed); break;
            case REPLAY_MOUSE_MOVE: input.PushMouseMotion(e.dx, e.dy, e.dz); break;
            case REPLAY_MOUSE_BUTTON: input.PushMouseButton(e.code, e.pressed); break;
            }
        }
        while (replay.NextWindowKey(frame, &e)) {
        }
        input.Update(nullptr);
        input.WasMouseButtonPressed(0);
        double x, y, z;
        input.GetMousePosition(&x, &y, &z);
    }
    while (const ReplayAnswer* a = replay.FrontAnswer()) {
        ReplayAnswerName(a->type);
        replay.PopAnswer();
    }
    return 0;
}
