// The soak: the built game played for 10,000 frames at a fixed step in the
// demo's village, built with AddressSanitizer, LeakSanitizer and
// UndefinedBehaviorSanitizer. Every round talks to the storyteller, the
// innkeeper and the guard, opens the gate (with the guard's key the first
// time), walks through it and back and closes it. Nothing may leak at exit,
// the resident memory after the last frame must be within 2 MB of what it
// was after frame 1,000, and the driver's live textures must not change
// from frame 1,000 on (--stats, docs/harness.md). The village stays loaded:
// every load of an area registers its textures anew (a name generated
// twice gets a second texture object), so a round through the tower would
// add the textures of both areas each time.
//
// The player is not walked from one character to the next: the walk would
// follow every change of the village's solid things. A program added to the
// game's own script puts him before each stop in turn, as the tower's
// scripts do (moved far out along every axis, back to the origin, then to
// the spot), always facing east (+x) with the stop due east; the replay
// aims, clicks, answers and walks. The log shows what each round reached.
//
// The soak only runs in the sanitized build (scripts/test-sanitized.sh): a
// leak is only seen there, and the run takes minutes.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "os/xrun.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZENDAR_SOAK_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZENDAR_SOAK_SANITIZED 1
#endif

namespace {

using xrun::Find;
using xrun::Joined;

const std::string kBin = ZENDAR_BIN_DIR;
constexpr int kFrames = 10000;
constexpr int kRound = 1000;  // frames per round
constexpr int kFirst = 150;   // the first round's first stop
constexpr int kStatsEvery = 500;
constexpr int kBack = 260;  // how far west of a stop the player is put

// The replay and the stops of the script, built side by side.
struct Soak {
    std::string replay;
    struct Stop {
        int frame, x, z;
    };
    std::vector<Stop> stops;
    std::vector<std::pair<int, std::string>> events;

    void Event(int frame, const std::string& e) { events.push_back({frame, e}); }
    void Move(int frame, int dx, int dy) {
        Event(frame, "mouse move " + std::to_string(dx) + " " + std::to_string(dy));
    }
    // Held for three frames: the player reads the mouse 35 times a second.
    void Click(int frame) {
        Event(frame, "mouse button 0 down");
        Event(frame + 3, "mouse button 0 up");
    }
    void Key(int frame, int code, bool down) {
        Event(frame, std::string("key ") + (down ? "down " : "up ") + std::to_string(code));
    }
    // A click on the character ahead, the pointer pushed into the top-left
    // corner and brought to the first line of the text boxes, then `clicks`
    // clicks 6 frames apart; lines[k] moves the k-th click that many lines
    // down (an answer further down the list) and back. The frame after.
    using Lines = std::map<int, int>;
    int Talk(int frame, int clicks, Lines lines) {
        Click(frame);
        Move(frame + 9, -2000, -2000);
        Move(frame + 10, 250, 92);
        int at = frame + 14;
        for (int k = 0; k < clicks; ++k) {
            int down = lines.count(k) ? lines[k] : 0;
            if (down) Move(at - 2, 0, 22 * down);
            Click(at);
            if (down) Move(at + 4, 0, -22 * down);
            at += 6;
        }
        return at;
    }
    // The player put `kBack` west of (x, z) at frame, looking a little down
    // at a character there, who is then talked to.
    int Character(int frame, int x, int z, int clicks, Lines lines) {
        stops.push_back({frame, x - kBack, z});
        Move(frame + 10, 0, 40);
        int end = Talk(frame + 20, clicks, lines);
        Move(end + 5, 0, -40);
        return end + 20;
    }

    // One round from frame `at`. The first hears every conversation from
    // its start; later ones go on from where the last one stopped.
    void Round(int at, bool first) {
        // The storyteller: her tales and charm, later asleep. Then a walk:
        // about face, a second west, facing east again.
        int f = Character(at, -160, 170, first ? 9 : 1, {});
        Move(f, 1571, 0);
        Key(f + 5, 200, true);
        Key(f + 65, 200, false);
        Move(f + 70, -1571, 0);
        // The innkeeper: greeting and reply the first time, then "Goodbye."
        // (the third answer) and his farewell.
        f = Character(f + 80, 420, 700, first ? 4 : 2, first ? Lines{{2, 2}} : Lines{{0, 2}});
        // The guard: the key, later only his line about it.
        f = Character(f, 1420, 330, first ? 3 : 1, {});
        // The gate, on its middle: unlocked with the key the first time and
        // swung open; a walk east through it into the tower's yard and back,
        // and a click on its open leaf (30 degrees to the right, south of
        // the opening) closes it.
        stops.push_back({f, 1600 - kBack, 0});
        Click(f + 15);
        Key(f + 140, 200, true);
        Key(f + 170, 200, false);
        Move(f + 180, 1571, 0);
        Key(f + 190, 200, true);
        Key(f + 220, 200, false);
        Move(f + 230, -1571, 0);
        stops.push_back({f + 240, 1600 - kBack, 0});
        Move(f + 250, 262, 0);
        Click(f + 255);
        Move(f + 265, -262, 0);
    }

    // The program added to the game's script, in its language: FAR and
    // ORIGIN are the script's own constants.
    std::string Program() const {
        std::string code =
            "\n// The soak's tour: the player put before each stop in turn.\n"
            "program soak_tour on init {\n";
        int before = 0;
        for (const Stop& stop : stops) {
            code += "    sleep(" + std::to_string((stop.frame - before) * 20) + ");\n";
            code += "    game.moveCamera(FAR);\n    game.moveCamera(ORIGIN);\n";
            code += "    game.moveCamera(vec(" + std::to_string(stop.x) + ", 190, " + std::to_string(stop.z) +
                    "));\n";
            before = stop.frame;
        }
        return code + "}\n";
    }

    std::string Replay() {
        std::stable_sort(events.begin(), events.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::string text;
        for (const auto& e : events) text += std::to_string(e.first) + " " + e.second + "\n";
        return text;
    }
};

struct Stats {
    int frame;
    long resident;
    int textures;
};

std::vector<Stats> ReadStats(const std::vector<std::string>& log) {
    std::vector<Stats> stats;
    for (const std::string& line : log) {
        Stats s;
        if (std::sscanf(line.c_str(), "HARNESS - frame %d: resident %ld KB, %d textures", &s.frame,
                        &s.resident, &s.textures) == 3)
            stats.push_back(s);
    }
    return stats;
}

// A folder that is the game folder but for its settings, which name the
// soak's script.
bool MakeGameFolder(const std::string& game, const std::string& script) {
    if (mkdir(game.c_str(), 0755) != 0) return false;
    DIR* dir = opendir(kBin.c_str());
    if (!dir) return false;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == ".." || name == "z1.ini") continue;
        if (symlink((kBin + "/" + name).c_str(), (game + name).c_str()) != 0) return false;
    }
    closedir(dir);
    std::string ini = xrun::ReadFile(kBin + "/z1.ini");
    size_t at = ini.find("*script village.scr");
    if (at == std::string::npos) return false;
    ini.replace(at, 19, "*script " + script);
    return xrun::WriteFile(game + "z1.ini", ini);
}

TEST(Soak, TenThousandFramesRoundTheQuestLeakNothingAndHoldMemoryAndTextures) {
#ifndef ZENDAR_SOAK_SANITIZED
    GTEST_SKIP() << "the soak runs in the sanitized build (scripts/test-sanitized.sh)";
#endif
    if (!xrun::CanRunUnderX()) GTEST_SKIP() << "no X display and no xvfb-run";
    for (const char* file : {"/zendar1", "/z1tool", "/z1.ini", "/area/village.z1a"})
        ASSERT_TRUE(xrun::FileExists(kBin + file)) << "the game folder lacks " << file;
    std::string work = xrun::MakeDir("soak");
    ASSERT_FALSE(work.empty());
    std::string game = work + "game/";
    ASSERT_TRUE(MakeGameFolder(game, "soak.scr"));

    Soak soak;
    int rounds = 0;
    for (int at = kFirst; at + kRound <= kFrames; at += kRound, ++rounds) soak.Round(at, rounds == 0);
    // The game's script with the tour appended, compiled as the build
    // compiles the game's own (with its line map, as the game folder has it).
    std::string source = xrun::ReadFile(ZENDAR_SOURCE_DIR "/assets/scripts/village.zs");
    ASSERT_FALSE(source.empty());
    ASSERT_TRUE(xrun::WriteFile(work + "soak.zs", source + soak.Program()));
    test_common::ProgramRun compiled =
        test_common::RunZ1tool("script compile '" + work + "soak.zs' '" + game + "soak.scr'", work);
    ASSERT_EQ(compiled.status, 0) << compiled.err;
    ASSERT_EQ(compiled.err, "") << "the tour compiles without a warning";
    ASSERT_TRUE(xrun::WriteFile(work + "replay.txt", soak.Replay()));

    // Mesa's software driver is loaded by the game and unloaded at its
    // exit, before LeakSanitizer looks: what it holds would then show as
    // leaked from an unknown module. Loaded up front it stays to the end,
    // and LeakSanitizer finds its memory reachable.
    // AddressSanitizer keeps freed memory out of use for a while (its
    // quarantine, 256 MB): the resident memory then swings by tens of
    // megabytes with whatever passes through it, and says nothing about
    // growth. Without it freed memory is reused at once, as in the game.
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::vector<std::string> command = {"env", std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                                                   ":quarantine_size_mb=0:verify_asan_link_order=0"};
    for (const char* dri : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "/usr/lib/dri/swrast_dri.so"}) {
        if (!xrun::FileExists(dri)) continue;
        command.push_back(std::string("LD_PRELOAD=") + dri);
        break;
    }
    for (const std::string& arg :
         {kBin + "/zendar1", std::string("--base"), game, std::string("--frames"), std::to_string(kFrames),
          std::string("--fixed-step"), std::string("0.02"), std::string("--seed"), std::string("5"),
          std::string("--stats"), std::to_string(kStatsEvery), std::string("--replay"), work + "replay.txt"})
        command.push_back(arg);
    // On its own X server: on the display the rest of the suite shares, a
    // window another test opens takes the focus, and the game waits for it
    // to come back.
    std::string display;
    if (const char* shared = std::getenv("DISPLAY"))
        if (xrun::Have("xvfb-run")) {
            display = shared;
            unsetenv("DISPLAY");
        }
    auto start = std::chrono::steady_clock::now();
    xrun::GameResult run = xrun::RunGame(work, command, 1500);
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::vector<std::string>& log = run.log;
    ASSERT_FALSE(log.empty()) << run.err;

    // No sanitizer spoke: they end the program with 1, as the game ends.
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
    EXPECT_EQ(log.back(), "MESSAGE - destroy");

    // Every round reached every stop, in order; the key opened the gate in
    // the first.
    int at = Find(log, "Loading scene 'village.z1a'");
    ASSERT_NE(at, -1) << Joined(log);
    for (int r = 0; r < rounds; ++r) {
        std::vector<std::string> lines = {"MESSAGE - clicked 'storyteller'", "MESSAGE - clicked 'innkeeper'",
                                          "MESSAGE - clicked 'guard'", "MESSAGE - clicked 'gate'",
                                          "MESSAGE - clicked 'gate'"};
        if (r == 0) lines.insert(lines.begin() + 4, "GAME - message 'You unlock the door.'");
        for (const std::string& line : lines) {
            int next = Find(log, line, at + 1);
            ASSERT_NE(next, -1) << "round " << r + 1 << " of " << rounds << ": no \"" << line
                                << "\" after line " << at;
            at = next;
        }
    }
    EXPECT_EQ(xrun::CountOf(log, "MESSAGE - clicked 'gate'"), 2 * rounds);
    EXPECT_EQ(xrun::CountOf(log, "Loading scene 'village.z1a'"), 1) << "the village stays loaded";
    EXPECT_NE(Find(log, "GAME - inventory (2): charm, gatekey"), -1) << Joined(log);
    EXPECT_EQ(Find(log, "GAME - message 'The door is locked, and you don't have the key!'"), -1);

    std::vector<Stats> stats = ReadStats(log);
    ASSERT_EQ(stats.size(), static_cast<size_t>(kFrames / kStatsEvery)) << Joined(log);
    const Stats* mark = nullptr;
    std::string figures;
    for (const Stats& s : stats) {
        figures += "frame " + std::to_string(s.frame) + ": " + std::to_string(s.resident) + " KB, " +
                   std::to_string(s.textures) + " textures\n";
        if (s.frame == 1000) mark = &s;
    }
    ASSERT_NE(mark, nullptr) << figures;
    const Stats& last = stats.back();
    EXPECT_EQ(last.frame, kFrames);
    EXPECT_LE(std::labs(last.resident - mark->resident), 2048L) << figures;
    for (const Stats& s : stats)
        if (s.frame >= 1000) {
            EXPECT_EQ(s.textures, mark->textures) << "frame " << s.frame << "\n" << figures;
        }
    std::printf("soak: %d rounds, %d frames in %.0f s\n%s", rounds, kFrames, seconds, figures.c_str());
}

}  // namespace
