// The demo game played end to end, as a player would, by the built game in
// the built game folder: walk across the village square to the guard, click
// him, answer his questions, receive the gate key, open the locked gate,
// walk through it into the tower yard, open the tower's door onto the
// tower's hall, hear the keeper out and take his reward, go back through the
// hall's door to the yard, press Esc, answer Yes, see the credits and leave
// them with a click. Input comes from a replay file at fixed frame numbers
// with a fixed frame step, so every run is the same.
// The replay is in quest_replay.h.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "gfxdriver/opengldriver/screenshot.h"
#include "os/xrun.h"
#include "quest_replay.h"

namespace {

using xrun::FileExists;
using xrun::ReadFile;
using xrun::WriteFile;

const std::string kBin = ZENDAR_BIN_DIR;
const std::string kGame = kBin + "/zendar1";

using xrun::CountOf;
using xrun::Find;
using xrun::Joined;
using GameRun = xrun::GameResult;

using quest_replay::AcrossTheSquare;
using quest_replay::Click;
using quest_replay::IntoTheTowerAndBack;
using quest_replay::OpenGateAndWalkThrough;
using quest_replay::Quit;
using quest_replay::TalkToGuard;

const std::string kQuit = Quit(362);

class Playthrough : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xrun::CanRunUnderX()) GTEST_SKIP() << "no X display and no xvfb-run";
        ASSERT_TRUE(FileExists(kGame)) << kGame << " is not built";
        for (const char* file : {"/z1.ini", "/village.scr", "/area/village.z1a", "/dialogs/gatekeeper.dlg"})
            ASSERT_TRUE(FileExists(kBin + file))
                << "the game folder lacks " << file << " (build the game data)";
        work = xrun::MakeDir("playthrough");
        ASSERT_FALSE(work.empty());
    }

    GameRun Play(const std::string& replay, const std::vector<int>& shots, int frames = 420) {
        WriteFile(work + "replay.txt", replay);
        std::vector<std::string> command = {
            kGame, "--frames", std::to_string(frames), "--fixed-step", "0.02", "--seed",
            "5",   "--replay", work + "replay.txt"};
        for (int frame : shots) {
            command.push_back("--screenshot");
            command.push_back(std::to_string(frame) + ":" + Shot(frame));
        }
        return xrun::RunGame(work, command, 240);
    }

    std::string Shot(int frame) const { return work + "shot" + std::to_string(frame) + ".png"; }

    // Fraction of pixels in the rectangle that are not black.
    double Lit(int frame, int x0, int y0, int x1, int y1) const {
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        if (!ReadPNG(Shot(frame).c_str(), &w, &h, &rgb)) return -1.0;
        int lit = 0, all = 0;
        for (int y = y0; y < y1 && y < h; ++y)
            for (int x = x0; x < x1 && x < w; ++x) {
                const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
                lit += (p[0] + p[1] + p[2]) > 24;
                ++all;
            }
        return all ? static_cast<double>(lit) / all : -1.0;
    }

    std::string work;
};

TEST_F(Playthrough, KeyFromTheGuardOpensTheGateAndTheQuestEndsInTheTower) {
    std::string replay = quest_replay::WholeQuest();
    GameRun run = Play(replay, {0, 100, 168, 200, 300, 352, 428, 484, 510, 526}, 580);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    const std::vector<std::string>& log = run.log;
    ASSERT_FALSE(log.empty()) << "no demo2.txt in the working folder\n" << run.err;

    // Start-up: the script loads the village and greets the player.
    int script = Find(log, "Loading script 'village.scr'");
    ASSERT_NE(script, -1) << Joined(log);
    int scene = Find(log, "Loading scene 'village.z1a'", script);
    EXPECT_GT(scene, script);
    EXPECT_EQ(Find(log, "NPCEntity:: Error loading dialog gatekeeper"), -1);

    // The conversation: the guard is clicked within reach, his dialog adds
    // the key and notes the quest, and the quest-log message is shown.
    int guard = Find(log, "MESSAGE - clicked 'guard'", scene);
    ASSERT_NE(guard, -1) << Joined(log);
    int quest = Find(log, "GAME - quest flag 'gate_key_given' set", guard);
    int item = Find(log, "GAME - inventory (1): gatekey", guard);
    EXPECT_NE(quest, -1) << Joined(log);
    EXPECT_NE(item, -1) << Joined(log);
    EXPECT_NE(Find(log, "GAME - message 'Your quest log has been updated..'", guard), -1);
    EXPECT_EQ(CountOf(log, "GAME - quest flag 'gate_key_given' set"), 1) << "asked once, given once";

    // The gate consults the inventory and opens.
    int gate = Find(log, "MESSAGE - clicked 'gate'", guard);
    ASSERT_NE(gate, -1) << Joined(log);
    EXPECT_GT(gate, item);
    EXPECT_NE(Find(log, "GAME - message 'You unlock the door.'", gate), -1) << Joined(log);
    EXPECT_EQ(Find(log, "GAME - message 'The door is locked, and you don't have the key!'"), -1);

    // Through the gate, the tower's door is within reach; it opens onto the
    // hall, a scene of its own.
    int door = Find(log, "MESSAGE - clicked 'tower_door'", gate);
    ASSERT_NE(door, -1) << "the player did not get through the gate\n" << Joined(log);
    int hall = Find(log, "Loading scene 'tower.z1a'", door);
    ASSERT_NE(hall, -1) << Joined(log);
    EXPECT_NE(Find(log, "GAME - message 'The old tower's hall. An old man waits between the torches.'", hall),
              -1);

    // The keeper closes the story: the seal, the quest flag, the last message.
    int keeper = Find(log, "MESSAGE - clicked 'keeper'", hall);
    ASSERT_NE(keeper, -1) << Joined(log);
    int told = Find(log, "GAME - quest flag 'tower_tale_told' set", keeper);
    EXPECT_NE(told, -1) << Joined(log);
    EXPECT_NE(Find(log, "GAME - inventory (2): gatekey, seal", keeper), -1) << Joined(log);
    int end =
        Find(log,
             "GAME - message 'The old lord's seal is yours and the tale of the tower is told. Thank you for "
             "playing Zendar!'",
             keeper);
    EXPECT_NE(end, -1) << Joined(log);

    // The hall's door leads back to the village, before the tower.
    int back = Find(log, "MESSAGE - clicked 'hall_door'", keeper);
    ASSERT_NE(back, -1) << Joined(log);
    int village = Find(log, "Loading scene 'village.z1a'", back);
    EXPECT_NE(village, -1) << Joined(log);
    EXPECT_NE(Find(log, "GAME - message 'Back in the yard below the tower.'", village), -1) << Joined(log);

    // Esc, Yes, the credits until the click, then the window closes.
    int exit_line = Find(log, "MESSAGE - key/menu exit", back);
    ASSERT_NE(exit_line, -1) << Joined(log);
    int credits = Find(log, "MESSAGE - credits end", exit_line);
    EXPECT_GT(credits, exit_line);
    int close = Find(log, "MESSAGE - WM close", credits);
    EXPECT_GT(close, credits);
    EXPECT_EQ(log.back(), "MESSAGE - destroy");
    EXPECT_EQ(run.err.find("was not reached"), std::string::npos) << "every screenshot frame ran\n"
                                                                  << run.err;

    // Pictures: the loading screen, the square, the conversation camera on
    // the guard, the gate, the yard, the tower's door, the hall, the hall's
    // door, the yard again, and the credits page on black.
    // Frame 0: the script's scene load shows the three loading pictures of
    // the intro side by side at (128..512, 176..304) on black.
    EXPECT_GT(Lit(0, 215, 290, 810, 480), 0.9) << "the loading pictures";
    EXPECT_LT(Lit(0, 0, 0, 1024, 260), 0.01) << "black around them";
    for (int frame : {100, 168, 200, 300, 352, 428, 484, 510}) {
        EXPECT_GT(Lit(frame, 0, 0, 1024, 768), 0.95) << "frame " << frame << " shows the world";
    }
    EXPECT_LT(Lit(526, 0, 0, 1024, 768), 0.2) << "the credits page is text on black";
    if (FileExists(kBin + "/font_herald.ini")) {
        EXPECT_GT(Lit(526, 64, 128, 300, 170), 0.01) << "the heading 'Programmers:' at (40, 80)";
    }
}

TEST_F(Playthrough, StorytellerAsksAgainAfterEveryTale) {
    // Half-way across the square, turned to the storyteller, a click; in the
    // conversation every box is answered at the same point: her welcome,
    // "Tell me a tale." and the tale, three times over, the charm and her
    // smile. The conversation stays open from the first tale to the charm.
    std::string replay = "20 key down 200\n65 key up 200\n70 mouse move -220 30\n" + Click(100) +
                         "110 mouse move -2000 -2000\n111 mouse move 250 92\n";
    for (int k = 0; k < 9; ++k) replay += Click(115 + 6 * k);
    replay += Quit(180);
    GameRun run = Play(replay, {118, 136}, 230);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    const std::vector<std::string>& log = run.log;
    int talk = Find(log, "MESSAGE - clicked 'storyteller'");
    ASSERT_NE(talk, -1) << Joined(log);
    EXPECT_EQ(CountOf(log, "MESSAGE - clicked 'storyteller'"), 1) << "one click, one conversation\n"
                                                                  << Joined(log);
    int at = talk;
    for (const char* flag : {"tale_of_the_river", "tale_of_the_moon", "heard_all_tales", "charm_given"}) {
        int next = Find(log, std::string("GAME - quest flag '") + flag + "' set", at);
        EXPECT_NE(next, -1) << flag << "\n" << Joined(log);
        if (next != -1) at = next;
    }
    EXPECT_NE(Find(log, "GAME - inventory (1): charm", talk), -1) << Joined(log);
    EXPECT_NE(Find(log, "MESSAGE - credits end"), -1);
}

TEST_F(Playthrough, WithoutTheKeyTheGateStaysShut) {
    // Straight to the gate without talking: the click reports the missing
    // key and the walk ends at the gate, so the last click lands on it.
    std::string replay =
        AcrossTheSquare(142) + Click(194) + "300 key down 200\n350 key up 200\n" + Click(354) + kQuit;
    GameRun run = Play(replay, {352});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    const std::vector<std::string>& log = run.log;
    int first = Find(log, "MESSAGE - clicked 'gate'");
    ASSERT_NE(first, -1) << Joined(log);
    EXPECT_NE(Find(log, "GAME - message 'The door is locked, and you don't have the key!'", first), -1)
        << Joined(log);
    EXPECT_EQ(Find(log, "GAME - message 'You unlock the door.'"), -1);
    EXPECT_EQ(Find(log, "MESSAGE - clicked 'tower'"), -1) << "the gate stopped the player";
    EXPECT_EQ(CountOf(log, "MESSAGE - clicked 'gate'"), 2) << Joined(log);
    EXPECT_EQ(Find(log, "MESSAGE - clicked 'guard'"), -1);
    for (const std::string& line : log) {
        EXPECT_EQ(line.rfind("GAME - inventory", 0), std::string::npos) << line;
    }
    EXPECT_NE(Find(log, "MESSAGE - credits end"), -1);
    EXPECT_EQ(log.back(), "MESSAGE - destroy");
}

TEST_F(Playthrough, BarrelErrandForTheInnkeeper) {
    // Around the camp fire as on the way to the guard, stopping past it at
    // about (389, -20); then a click on the barrel by the tavern (its
    // on-click script puts it in the inventory and moves it away), and the
    // innkeeper's errand: greeting, the player's reply, "Do you need help
    // with anything?", his request, "I brought your barrel.", his thanks with
    // the room key, "Goodbye.", "Safe roads.". Answers are the second line of
    // the question box (y = 68); every other box is dismissed at the same
    // point.
    std::string replay = AcrossTheSquare(112) + "120 mouse move -874 59\n" + Click(126) +
                         "135 mouse move 110 -26\n" + Click(140) +
                         "150 mouse move -2000 -2000\n"
                         "151 mouse move 250 92\n" +
                         Click(155) + Click(161) + "166 mouse move 0 22\n" + Click(167) + Click(173) +
                         Click(179) + Click(185) + Click(191) + Click(197) +
                         // Walking again: a click reaches the innkeeper anew.
                         Click(204) + "210 key down 1\n210 key up 1\nanswer yes\n" + Click(220);
    GameRun run = Play(replay, {160, 190});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    const std::vector<std::string>& log = run.log;

    int barrel = Find(log, "MESSAGE - clicked 'barrel'");
    ASSERT_NE(barrel, -1) << Joined(log);
    // The object's click script: the game object and the area both answer.
    int carried = Find(log, "GAME - inventory (1): barrel", barrel);
    EXPECT_NE(carried, -1) << Joined(log);
    EXPECT_NE(Find(log, "script wants to move object barrel", barrel), -1) << Joined(log);
    EXPECT_NE(Find(log, "GAME - message 'You shoulder the barrel.'", barrel), -1);

    int talk = Find(log, "MESSAGE - clicked 'innkeeper'", carried);
    ASSERT_NE(talk, -1) << Joined(log);
    int quest = Find(log, "GAME - quest flag 'cellar_errand' set", talk);
    int handed = Find(log, "GAME - inventory (0): ", quest);
    int script = Find(log, "calling script: open_room", handed);
    int key = Find(log, "GAME - inventory (1): roomkey", handed);
    EXPECT_NE(quest, -1) << Joined(log);
    EXPECT_NE(handed, -1) << "the barrel was removed\n" << Joined(log);
    EXPECT_NE(script, -1) << Joined(log);
    EXPECT_NE(key, -1) << Joined(log);
    EXPECT_NE(Find(log, "GAME - message 'The best room is upstairs. Sleep well.'", script), -1)
        << Joined(log);

    // "Safe roads." ended the conversation: the next click is a look-mode
    // click on the innkeeper again.
    EXPECT_EQ(CountOf(log, "MESSAGE - clicked 'innkeeper'"), 2) << Joined(log);
    EXPECT_EQ(CountOf(log, "GAME - quest flag 'cellar_errand' set"), 1);
    EXPECT_NE(Find(log, "MESSAGE - credits end"), -1);
    EXPECT_EQ(log.back(), "MESSAGE - destroy");
}

}  // namespace
