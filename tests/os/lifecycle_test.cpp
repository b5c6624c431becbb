// The game executable end to end: start-up, frames, the exit sequence and the
// automation options, run as a child process under X (Xvfb when no display is
// set), each run in a fresh working folder with its own base folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "xrun.h"

namespace {

using xrun::FileExists;
using xrun::Lines;
using xrun::MakeDir;
using xrun::ReadFile;
using xrun::WriteFile;

const char* const kGame = ZENDAR_BIN_DIR "/zendar1";

// Width and height from a PNG's header, or false.
bool PngSize(const std::string& path, int* w, int* h) {
    std::string d = ReadFile(path);
    if (d.size() < 24 || d.compare(1, 3, "PNG") != 0 || d.compare(12, 4, "IHDR") != 0) return false;
    auto be = [&](size_t at) {
        return (static_cast<unsigned char>(d[at]) << 24) | (static_cast<unsigned char>(d[at + 1]) << 16) |
               (static_cast<unsigned char>(d[at + 2]) << 8) | static_cast<unsigned char>(d[at + 3]);
    };
    *w = static_cast<int>(be(16));
    *h = static_cast<int>(be(20));
    return true;
}

using xrun::GameResult;

// Runs the game in `work` with the arguments, started through `wrapper` (a
// command that runs its arguments).
GameResult RunGameWith(const std::string& work, const std::vector<std::string>& wrapper,
                       const std::vector<std::string>& args, int timeout) {
    std::vector<std::string> command = wrapper;
    command.push_back(kGame);
    command.insert(command.end(), args.begin(), args.end());
    return xrun::RunGame(work, command, timeout);
}

GameResult RunGame(const std::string& work, const std::vector<std::string>& args, int timeout = 90) {
    return RunGameWith(work, {}, args, timeout);
}

using xrun::CountOf;
using xrun::Find;
using xrun::Joined;

// The start of a script that drives the game given as its arguments: the
// game runs in the background as $GAME and the script goes on once its
// window has the focus.
std::string FocusedGameScript() {
    return std::string(xrun::kScriptStart) +
           "\"$@\" &\n"
           "GAME=$!\n"
           "waitfor grep -q 'Window comes into focus' demo2.txt\n";
}

class GameRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xrun::CanRunUnderX()) GTEST_SKIP() << "no X display and no xvfb-run";
        ASSERT_TRUE(FileExists(kGame)) << kGame << " is not built";
        work = MakeDir("work");
        base = MakeDir("base");
        ASSERT_FALSE(work.empty());
        ASSERT_FALSE(base.empty());
    }
    std::string work, base;
};

TEST_F(GameRun, EscapeAndYesEndTheRun) {
    WriteFile(base + "z1.ini", "*renderer 1\n*write_log\n");
    WriteFile(work + "replay.txt", "# quit early\n5 key down 1\n5 key up 1\nanswer yes\n");
    GameResult run = RunGame(work, {"--base", base, "--frames", "40", "--fixed-step", "0.02", "--seed", "7",
                                    "--screenshot", "2:" + work + "early.png", "--screenshot",
                                    "30:" + work + "late.png", "--replay", work + "replay.txt"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    const std::vector<std::string>& log = run.log;
    ASSERT_FALSE(log.empty()) << "no demo2.txt in the working folder";
    EXPECT_EQ(log[0], "--** Started logging **-------------------------------------");
    EXPECT_NE(Find(log, "********* PARSING SETTINGS ***********"), -1)
        << "z1.ini is read from the --base folder\n"
        << Joined(log);
    EXPECT_EQ(Find(log, "Warning: the DirectX 7 driver is not part of this build - using the OpenGL driver"),
              -1)
        << "*renderer 1 selects OpenGL";
    int exit_line = Find(log, "MESSAGE - key/menu exit");
    ASSERT_NE(exit_line, -1) << Joined(log);
    int close_line = Find(log, "MESSAGE - WM close", exit_line);
    int destroy_line = Find(log, "MESSAGE - destroy", exit_line);
    EXPECT_GT(close_line, exit_line);
    EXPECT_EQ(destroy_line, close_line + 1);
    EXPECT_EQ(CountOf(log, "MESSAGE - WM close"), 1);

    int w = 0, h = 0;
    ASSERT_TRUE(PngSize(work + "early.png", &w, &h)) << run.err;
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    EXPECT_FALSE(FileExists(work + "late.png")) << "the run ended at frame 5";
    EXPECT_NE(run.err.find("frame 30 was not reached"), std::string::npos) << run.err;
}

TEST_F(GameRun, EditorSwitchStartsInEditorModeAndMReturnsToTheGame) {
    WriteFile(base + "z1.ini", "*renderer 1\n*write_log\n");
    // In editor mode Yes closes at once; in game mode the credits come first.
    WriteFile(work + "editor.txt", "5 key down 1\n5 key up 1\nanswer yes\n");
    GameResult run = RunGame(work, {"--base", base, "--editor", "--frames", "40", "--fixed-step", "0.02",
                                    "--replay", work + "editor.txt"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    ASSERT_NE(Find(run.log, "MESSAGE - key/menu exit"), -1) << Joined(run.log);
    EXPECT_EQ(Find(run.log, "MESSAGE - credits end"), -1) << Joined(run.log);

    // M (code 50) in editor mode toggles back to game mode, where Yes shows the credits.
    std::string game = MakeDir("work-game");
    ASSERT_FALSE(game.empty());
    WriteFile(game + "toggle.txt", "3 key down 50\n4 key up 50\n10 key down 1\n10 key up 1\nanswer yes\n");
    run = RunGame(game, {"--base", base, "--editor", "--frames", "400", "--fixed-step", "0.02", "--replay",
                         game + "toggle.txt"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_NE(Find(run.log, "MESSAGE - credits end"), -1) << Joined(run.log);
}

TEST_F(GameRun, EscapeAndNoKeepEverythingRunning) {
    WriteFile(base + "z1.ini", "*renderer 1\n");
    // Ctrl+Esc is not the exit key; the plain Esc at frame 3 asks, and No goes on.
    WriteFile(work + "replay.txt",
              "1 key down 29\n1 key down 1\n1 key up 1\n1 key up 29\n"
              "3 key down 1\n3 key up 1\nanswer no\n");
    GameResult run = RunGame(work, {"--base", base, "--frames", "12", "--fixed-step", "0.05", "--screenshot",
                                    "10:" + work + "after.png", "--replay", work + "replay.txt"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(CountOf(run.log, "MESSAGE - key/menu exit"), 1) << Joined(run.log);
    int exit_line = Find(run.log, "MESSAGE - key/menu exit");
    // The frame limit closes the window later, as a closed window would.
    EXPECT_GT(Find(run.log, "MESSAGE - WM close"), exit_line);
    EXPECT_EQ(run.log.back(), "MESSAGE - destroy");
    int w = 0, h = 0;
    EXPECT_TRUE(PngSize(work + "after.png", &w, &h)) << "frame 10 ran after the No\n" << run.err;
}

TEST_F(GameRun, WithoutRendererKeyTheOpenGLDriverStandsIn) {
    WriteFile(base + "z1.ini", "*write_log\n*fog 0\n");
    GameResult run = RunGame(work, {"--base", base, "--frames", "3"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    int fallback =
        Find(run.log, "Warning: the DirectX 7 driver is not part of this build - using the OpenGL driver");
    ASSERT_NE(fallback, -1) << Joined(run.log);
    bool gl = false;
    for (size_t i = static_cast<size_t>(fallback); i < run.log.size(); ++i)
        gl = gl || run.log[i].rfind("OpenGL version ", 0) == 0;
    EXPECT_TRUE(gl) << "the OpenGL driver's Init ran after the fallback line";
    size_t n = run.log.size();
    ASSERT_GE(n, 2u);
    EXPECT_EQ(run.log[n - 2], "MESSAGE - WM close");
    EXPECT_EQ(run.log[n - 1], "MESSAGE - destroy");
}

TEST_F(GameRun, UsageErrorsEndWithTwoBeforeAnythingStarts) {
    GameResult run = RunGame(work, {"--frames", "0"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.err.find("zendar1: --frames: '0' is not a whole number of at least 1\nusage: zendar1"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(FileExists(work + "demo2.txt"));

    WriteFile(work + "bad.txt", "1 key down 1\n2 kee down 1\n");
    run = RunGame(work, {"--replay", work + "bad.txt"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.err.find("zendar1: " + work + "bad.txt: line 2: unknown event 'kee' (key, mouse)"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(FileExists(work + "demo2.txt"));
}

// The main window carries the engine's window class, as X11 names it
// (WM_CLASS), so window managers and scripts can find it by class.
TEST_F(GameRun, TheWindowHasTheEnginesClassName) {
    if (!xrun::Have("xdotool")) GTEST_SKIP() << "no xdotool";
    WriteFile(base + "z1.ini", "*renderer 1\n*write_log\n");
    std::string script = work + "find.sh";
    WriteFile(script,
              "\"$@\" &\n"
              "GAME=$!\n"
              "W=$(xdotool search --sync --onlyvisible --name 'Zendar1 - Showcase 2' | head -1)\n"
              "xdotool search --onlyvisible --class '^D3D Window$' | grep -x \"$W\" > '" +
                  work +
                  "found.txt'\n"
                  "xdotool search --onlyvisible --classname '^D3D Window$' | grep -x \"$W\" >> '" +
                  work +
                  "found.txt'\n"
                  "kill $GAME\n"
                  "wait $GAME\n");
    // The user's own class would win over the engine's.
    unsetenv("SDL_VIDEO_X11_WMCLASS");
    GameResult run = RunGameWith(work, {"bash", script}, {"--base", base}, 45);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(Lines(ReadFile(work + "found.txt")).size(), 2u) << "class and instance name are \"D3D Window\"";
    EXPECT_EQ(run.log.back(), "MESSAGE - destroy") << Joined(run.log);
}

// A game whose window lost the focus sleeps instead of spinning a core, draws
// nothing, and draws again once the focus is back.
TEST_F(GameRun, InTheBackgroundTheLoopSleepsAndWakesOnFocus) {
    if (!xrun::Have("xdotool") || !xrun::Have("xwininfo")) GTEST_SKIP() << "no xdotool or xwininfo";
    WriteFile(base + "z1.ini", "*renderer 1\n*write_log\n");
    std::string script = work + "focus.sh";
    // The two seconds are the span measured, not a wait for anything.
    WriteFile(script, FocusedGameScript() +
                          "W=$(xdotool search --sync --name 'Zendar1 - Showcase 2' | head -1)\n"
                          "xdotool windowfocus $(xwininfo -root | awk '/Window id:/ { print $4 }')\n"
                          "waitfor grep -q 'loose focus' demo2.txt\n"
                          "ticks() { awk '{ print $14 + $15 }' /proc/$GAME/stat; }\n"
                          "a=$(ticks); f=$(grep -c 'HARNESS - frame' demo2.txt); sleep 2\n"
                          "echo $(( $(ticks) - a )) $(( $(grep -c 'HARNESS - frame' demo2.txt) - f )) "
                          "$(getconf CLK_TCK) > background.txt\n"
                          "xdotool windowfocus $W\n"
                          "n=$(grep -c 'HARNESS - frame' demo2.txt)\n"
                          "waitfor test $(grep -c 'HARNESS - frame' demo2.txt) -gt $n\n"
                          "kill $GAME\n"
                          "wait $GAME\n");
    GameResult run = RunGameWith(work, {"bash", script}, {"--base", base, "--stats", "5"}, 60);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    int ticks = -1, frames = -1, perSecond = 0;
    std::istringstream(ReadFile(work + "background.txt")) >> ticks >> frames >> perSecond;
    ASSERT_GT(perSecond, 0) << run.err;
    EXPECT_GE(ticks, 0);
    EXPECT_LE(ticks, perSecond / 5) << "more than a tenth of a core over 2 s in the background";
    EXPECT_EQ(frames, 0) << "frames drawn while inactive";
    const int lost = Find(run.log, "loose focus - should unaquire");
    ASSERT_NE(lost, -1) << Joined(run.log);
    EXPECT_NE(Find(run.log, "Window comes into focus. (keyboard)", lost), -1) << Joined(run.log);
}

// The quit box answered from the keyboard: typed Esc asks, a second Esc says
// No (and starts no second exit), Enter says Yes.
TEST_F(GameRun, TypedEnterAndEscAnswerTheQuitBox) {
    if (!xrun::Have("xdotool")) GTEST_SKIP() << "no xdotool";
    WriteFile(base + "z1.ini", "*renderer 1\n*write_log\n");
    for (const std::string answer : {"Escape", "Return"}) {
        std::string dir = MakeDir("quitkeys");
        ASSERT_FALSE(dir.empty());
        // After No the game goes on until it is closed: the 2 s before the
        // close are the time a wrong second exit would have to show, not a
        // wait for anything. After Yes come the credits, which Esc leaves;
        // they tell nobody when they start, so Esc is pressed again until
        // the window is gone.
        const std::string then = answer == "Escape" ? "sleep 2\nkill $GAME\n"
                                                    : "until grep -q 'MESSAGE - destroy' demo2.txt; do\n"
                                                      "  sleep 0.5; xdotool key Escape\ndone\n";
        std::string script = dir + "keys.sh";
        // The quit box's loop creates `shown` once the box takes keys.
        WriteFile(script, FocusedGameScript() +
                              "xdotool key Escape\n"
                              "waitfor test -e shown\n"
                              "xdotool key " +
                              answer + "\n" + then + "wait $GAME\n");
        setenv("ZENDAR_MODAL_SHOWN", "shown", 1);
        GameResult run = RunGameWith(dir, {"bash", script}, {"--base", base}, 60);
        unsetenv("ZENDAR_MODAL_SHOWN");
        EXPECT_EQ(run.exit_code, 1) << run.err;
        EXPECT_EQ(CountOf(run.log, "MESSAGE - key/menu exit"), 1) << answer << "\n" << Joined(run.log);
        EXPECT_EQ(Find(run.log, "MESSAGE - credits end") != -1, answer == "Return") << Joined(run.log);
        EXPECT_EQ(run.log.back(), "MESSAGE - destroy");
    }
}

// The menu strip end to end: a real click on "File" and on "Exit" (typed into
// the window by xdotool) runs the menu loop and the exit sequence.
TEST_F(GameRun, MenuExitRunsTheExitSequence) {
    if (!xrun::Have("xdotool")) GTEST_SKIP() << "no xdotool";
    WriteFile(base + "z1.ini", "*renderer 1\n");
    WriteFile(work + "replay.txt", "answer yes\n");
    std::string script = work + "clicks.sh";
    // The window takes clicks once it has the focus; the menu's loop creates
    // `shown` once the open menu is drawn and takes clicks.
    WriteFile(script, FocusedGameScript() +
                          "xdotool mousemove 15 10 click 1\n"
                          "waitfor test -e shown\n"
                          "xdotool mousemove 30 76 click 1\n"
                          "wait $GAME\n");
    // The game and the clicks share one X server.
    setenv("ZENDAR_MODAL_SHOWN", "shown", 1);
    GameResult run =
        RunGameWith(work, {"bash", script}, {"--base", base, "--replay", work + "replay.txt"}, 45);
    unsetenv("ZENDAR_MODAL_SHOWN");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    int enter = Find(run.log, "MESSAGE - enter menu loop");
    ASSERT_NE(enter, -1) << Joined(run.log);
    int leave = Find(run.log, "MESSAGE - exit menu", enter);
    EXPECT_EQ(leave, enter + 1);
    int exit_line = Find(run.log, "MESSAGE - key/menu exit", leave);
    EXPECT_GT(exit_line, leave);
    EXPECT_GT(Find(run.log, "MESSAGE - WM close", exit_line), exit_line);
    EXPECT_EQ(run.log.back(), "MESSAGE - destroy");
}

}  // namespace
