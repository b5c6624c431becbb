#include "os/harness.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "camera/keybindings.h"
#include "os/replay.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "utility/log.h"
#include "utility/random.h"

bool HarnessOptions::Any() const {
    return frames >= 0 || fixedStep > 0.0 || seeded || !screenshots.empty() || !replay.empty() ||
           !base.empty() || editor || !area.empty() || statsEvery > 0;
}

const char* HarnessUsage() {
    return "usage: zendar1 [--frames N] [--fixed-step SECONDS] [--seed N]"
           " [--screenshot FRAME:FILE.png]... [--replay FILE] [--base DIR] [--editor [--area FILE]]"
           " [--stats N]";
}

namespace {

const char* const kVersionLine = "zendar1 1.0 (Zendar1 - Showcase 2)\n";
const char* const kHelpText =
    "Zendar: a first-person role-playing game and its area editor. Run without\n"
    "options it is the game, played with the data beside the program.\n"
    "\n"
    "Options:\n"
    "  --help, -h                 this text\n"
    "  --version                  the program's version\n"
    "  --base DIR                 the game's folder (z1.ini and the data) instead of the program's\n"
    "  --editor [--area FILE]     start in the area editor (M returns to the game)\n"
    "  --frames N                 run N frames, then close\n"
    "  --fixed-step SECONDS       advance both clocks by SECONDS each frame\n"
    "  --seed N                   seed the random generator\n"
    "  --screenshot FRAME:FILE.png  keep the picture of a frame (repeatable)\n"
    "  --replay FILE              keys, mouse and answers at frame numbers (docs/harness.md)\n"
    "  --stats N                  log resident memory and live textures every N frames\n";

}  // namespace

bool HarnessInfoRequested(int argc, const char* const* argv, std::string* text) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            *text = std::string(HarnessUsage()) + "\n\n" + kHelpText + "\nKeys:\n" + GameKeysHelp();
            return true;
        }
        if (!std::strcmp(argv[i], "--version")) {
            *text = kVersionLine;
            return true;
        }
    }
    return false;
}

namespace {

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Whole decimal number, nothing else around it.
bool ParseWhole(const std::string& text, long long min, long long max, long long* out) {
    if (text.empty()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (!(c >= '0' && c <= '9') && !(i == 0 && (c == '-' || c == '+'))) return false;
    }
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0') return false;
    if (v < min || v > max) return false;
    *out = v;
    return true;
}

bool EndsWithPng(const std::string& name) {
    if (name.size() < 5) return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".png";
}

}  // namespace

bool ParseHarnessOptions(int argc, const char* const* argv, HarnessOptions* options, std::string* error) {
    *options = HarnessOptions();
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i] ? argv[i] : "";
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            *error = "unexpected argument " + Quote(arg);
            return false;
        }
        std::string name = arg;
        std::string value;
        bool has_value = false;
        size_t eq = arg.find('=');
        if (eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            has_value = true;
        }
        if (arg == "--editor") {
            options->editor = true;
            continue;
        }
        static const char* const known[] = {"--frames", "--fixed-step", "--seed", "--screenshot",
                                            "--replay", "--base",       "--area", "--stats"};
        bool is_known = false;
        for (const char* k : known) is_known = is_known || name == k;
        if (!is_known) {
            *error = "unknown option " + Quote(name);
            return false;
        }
        if (!has_value) {
            if (i + 1 >= argc) {
                *error = "option " + name + " needs a value";
                return false;
            }
            value = argv[++i] ? argv[i] : "";
        }

        if (name == "--frames") {
            long long v;
            if (!ParseWhole(value, 1, 1000000000LL, &v)) {
                *error = "--frames: " + Quote(value) + " is not a whole number of at least 1";
                return false;
            }
            options->frames = static_cast<int>(v);
        } else if (name == "--stats") {
            long long v;
            if (!ParseWhole(value, 1, 1000000000LL, &v)) {
                *error = "--stats: " + Quote(value) + " is not a whole number of at least 1";
                return false;
            }
            options->statsEvery = static_cast<int>(v);
        } else if (name == "--fixed-step") {
            errno = 0;
            char* end = nullptr;
            double v = value.empty() ? 0.0 : std::strtod(value.c_str(), &end);
            if (value.empty() || errno != 0 || *end != '\0' || !std::isfinite(v) || v <= 0.0 || v > 3600.0) {
                *error = "--fixed-step: " + Quote(value) + " is not a positive number of seconds";
                return false;
            }
            options->fixedStep = v;
        } else if (name == "--seed") {
            long long v;
            if (!ParseWhole(value, 0, 4294967295LL, &v)) {
                *error = "--seed: " + Quote(value) + " is not a whole number from 0 to 4294967295";
                return false;
            }
            options->seeded = true;
            options->seed = static_cast<unsigned>(v);
        } else if (name == "--screenshot") {
            size_t colon = value.find(':');
            long long frame;
            if (colon == std::string::npos || !ParseWhole(value.substr(0, colon), 0, 1000000000LL, &frame) ||
                !EndsWithPng(value.substr(colon + 1))) {
                *error = "--screenshot: " + Quote(value) + " is not FRAME:FILE.png";
                return false;
            }
            ScreenshotRequest r;
            r.frame = static_cast<int>(frame);
            r.file = value.substr(colon + 1);
            options->screenshots.push_back(r);
        } else if (name == "--replay" || name == "--base" || name == "--area") {
            if (value.empty()) {
                *error = "option " + name + " needs a value";
                return false;
            }
            (name == "--replay" ? options->replay : name == "--base" ? options->base : options->area) = value;
        }
    }
    if (!options->area.empty() && !options->editor) {
        *error = "--area: the editor opens it; give --editor too";
        return false;
    }
    if (options->frames >= 0) {
        for (const ScreenshotRequest& r : options->screenshots) {
            if (r.frame >= options->frames) {
                *error = "--screenshot: frame " + std::to_string(r.frame) +
                         " is never reached with --frames " + std::to_string(options->frames);
                return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------

void ReplayInputFeed::Pump(DeviceQueue& keyboard, DeviceQueue& mouse) {
    if (!replay_) return;
    ReplayEvent e;
    while (replay_->NextInputEvent(HarnessFrame(), &e)) {
        uint32_t now = ClockMilliseconds();
        switch (e.type) {
        case REPLAY_KEY:
            if (!PushKeyRecord(keyboard, e.code, e.pressed, now) && (e.code < 0 || e.code >= INPUT_KEY_COUNT))
                LogLine("WARNING: Key %i is invalid.", e.code);
            break;
        case REPLAY_MOUSE_MOVE: PushMotionRecords(mouse, e.dx, e.dy, e.dz, now); break;
        case REPLAY_MOUSE_BUTTON: PushButtonRecord(mouse, e.code, e.pressed, now); break;
        }
    }
}

// ---------------------------------------------------------------------------

namespace {

struct HarnessState {
    HarnessOptions options;
    std::unique_ptr<FixedStepClock> clock;
    int frame = 0;
    std::vector<bool> taken;
};

HarnessState& State() {
    static HarnessState state;
    return state;
}

}  // namespace

void StartHarness(const HarnessOptions& options) {
    HarnessState& s = State();
    s.options = options;
    s.frame = 0;
    s.taken.assign(options.screenshots.size(), false);
    if (!options.base.empty()) SetBasePath(options.base.c_str());
    if (options.seeded) Z1SeedRandom(options.seed);
    if (options.fixedStep > 0.0) {
        s.clock.reset(new FixedStepClock(options.fixedStep));
        SetClockSource(s.clock.get());
    }
}

int HarnessFrame() { return State().frame; }

bool HarnessStartsInEditor() { return State().options.editor; }

const std::string& HarnessEditorArea() { return State().options.area; }

std::vector<std::string> HarnessScreenshotsDue() {
    HarnessState& s = State();
    std::vector<std::string> due;
    for (size_t i = 0; i < s.options.screenshots.size(); ++i) {
        if (!s.taken[i] && s.options.screenshots[i].frame == s.frame) {
            s.taken[i] = true;
            due.push_back(s.options.screenshots[i].file);
        }
    }
    return due;
}

bool HarnessEndFrame() {
    HarnessState& s = State();
    if (s.clock) s.clock->Advance();
    ++s.frame;
    return s.options.frames >= 0 && s.frame >= s.options.frames;
}

bool HarnessDrivesFrames() {
    const HarnessOptions& o = State().options;
    return o.frames >= 0 || o.fixedStep > 0.0 || !o.screenshots.empty() || !o.replay.empty();
}

bool HarnessStatsDue() {
    const HarnessState& s = State();
    return s.options.statsEvery > 0 && s.frame > 0 && s.frame % s.options.statsEvery == 0;
}

std::string HarnessStatsLine(long residentKb, int textures) {
    return "HARNESS - frame " + std::to_string(State().frame) + ": resident " + std::to_string(residentKb) +
           " KB, " + std::to_string(textures) + " textures";
}

std::vector<ScreenshotRequest> HarnessMissedScreenshots() {
    HarnessState& s = State();
    std::vector<ScreenshotRequest> missed;
    for (size_t i = 0; i < s.options.screenshots.size(); ++i)
        if (!s.taken[i]) missed.push_back(s.options.screenshots[i]);
    return missed;
}

void ResetHarness() {
    HarnessState& s = State();
    if (s.clock && GetClockSource() == s.clock.get()) SetClockSource(nullptr);
    s.clock.reset();
    s.options = HarnessOptions();
    s.frame = 0;
    s.taken.clear();
}
