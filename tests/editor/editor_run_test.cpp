// The editor as a modder meets it, run end to end: zendar1 --editor on the
// build's game folder under X (Xvfb when no display is set), driven by
// replays whose answers stand in for the dialogs; each run in a fresh
// working folder, checked through its log, its standard error and the files
// it saved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gfxdriver/opengldriver/screenshot.h"
#include "os/xrun.h"

namespace {

using xrun::Find;
using xrun::Joined;
using xrun::ReadFile;
using xrun::WriteFile;

const char* const kGame = ZENDAR_BIN_DIR "/zendar1";
const std::string kGameFolder = ZENDAR_BIN_DIR "/";
const std::string kVillage = kGameFolder + "area/village.z1a";

class EditorRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xrun::CanRunUnderX()) GTEST_SKIP() << "no X display and no xvfb-run";
        ASSERT_TRUE(xrun::FileExists(kGame)) << kGame << " is not built";
        ASSERT_TRUE(xrun::FileExists(kVillage)) << "the game folder has no village";
        work = xrun::MakeDir("editor");
        ASSERT_FALSE(work.empty());
        // Each run on its own X server: on a display shared with other tests
        // a window that appears takes the focus, and the editor stops.
        if (const char* display = std::getenv("DISPLAY"))
            if (xrun::Have("xvfb-run")) {
                display_ = display;
                unsetenv("DISPLAY");
            }
    }
    void TearDown() override {
        if (!display_.empty()) setenv("DISPLAY", display_.c_str(), 1);
    }

    // zendar1 --editor on the game folder for `frames` frames with the replay.
    xrun::GameResult Edit(const std::string& replay, int frames, const std::vector<std::string>& more = {}) {
        WriteFile(work + "replay.txt", replay);
        std::vector<std::string> command = {
            kGame,          "--base", kGameFolder, "--editor",         "--frames", std::to_string(frames),
            "--fixed-step", "0.02",   "--replay",  work + "replay.txt"};
        command.insert(command.end(), more.begin(), more.end());
        return xrun::RunGame(work, command, 120);
    }

    std::string work;
    std::string display_;
};

// The heights of the camera as P logs them, in order.
std::vector<float> LoggedHeights(const std::vector<std::string>& log) {
    std::vector<float> heights;
    float x, y, z;
    for (const std::string& line : log)
        if (std::sscanf(line.c_str(), "Position == (%f, %f, %f)", &x, &y, &z) == 3) heights.push_back(y);
    return heights;
}

TEST_F(EditorRun, StartsOnTheGamesAreaSeenFromAboveAndSavesItUnchanged) {
    // P reports the camera; Ctrl+S saves the area as it came; Ctrl+O opens
    // the tower, and P reports the camera again.
    xrun::GameResult run = Edit(
        "2 key down 25\n2 key up 25\n"
        "3 key down 29\n3 key down 31\n3 key up 31\n3 key up 29\n"
        "answer file " +
            work +
            "same\n"
            "5 key down 29\n5 key down 24\n5 key up 24\n5 key up 29\n"
            "answer file tower.z1a\n"
            "7 key down 25\n7 key up 25\n",
        9);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_NE(Find(run.log, "Loading area from file 'area\\village.z1a'"), -1) << Joined(run.log);
    EXPECT_NE(Find(run.log, "Loading area from file 'area\\tower.z1a'"), -1) << Joined(run.log);
    const std::vector<float> heights = LoggedHeights(run.log);
    ASSERT_EQ(heights.size(), 2u) << Joined(run.log);
    EXPECT_GT(heights[0], 500.0f) << "the camera is above the village";
    EXPECT_GT(heights[1], 100.0f) << "the camera came along to the tower, above its ground";
    EXPECT_EQ(ReadFile(work + "same.z1a"), ReadFile(kVillage)) << "an unchanged area saves byte for byte";
}

// Pixels of rows [top, bottom) of a screenshot whose colour passes `test`;
// -1 when the file cannot be read.
template <class Fn>
int CountPixels(const std::string& png, int top, int bottom, Fn test) {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!ReadPNG(png.c_str(), &w, &h, &rgb)) return -1;
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, h); ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            n += test(p[0], p[1], p[2]) ? 1 : 0;
        }
    return n;
}

bool SelectionColour(int r, int g, int b) { return r > 235 && g > 200 && g < 240 && b < 80; }
bool White(int r, int g, int b) { return r > 230 && g > 230 && b > 230; }

TEST_F(EditorRun, TheSelectionIsDrawnCopiesAreSelectedAndTheMainKeysHinted) {
    // A click selects what the crosshair shows (the camp fire); Space and a
    // click copy it, and F1 renames what is then selected: the copy.
    xrun::GameResult run = Edit(
        "2 mouse button 0 down\n3 mouse button 0 up\n"
        "5 key down 57\n6 mouse button 0 down\n7 mouse button 0 up\n8 key up 57\n"
        "10 key down 59\n10 key up 59\nanswer field Name : = fire_copy\nanswer ok\n"
        "12 key down 29\n12 key down 31\n12 key up 31\n12 key up 29\n"
        "answer file " +
            work + "copied.z1a\n",
        15, {"--screenshot", "1:" + work + "before.png", "--screenshot", "4:" + work + "after.png"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.err.find("replay: "), std::string::npos) << "every answer was taken:\n" << run.err;
    // The camp fire's flames have a pixel or two of the box's colour.
    const int before = CountPixels(work + "before.png", 0, 768, SelectionColour);
    EXPECT_LT(before, 10);
    EXPECT_GT(CountPixels(work + "after.png", 0, 768, SelectionColour), before + 50) << "the camp fire's box";
    // The bottom line, white on the dark ground, before anything is selected.
    EXPECT_GT(CountPixels(work + "before.png", 750, 766, White), 100) << "the hint of the main keys";
    EXPECT_EQ(CountPixels(work + "before.png", 766, 768, White), 0)
        << "the hint ends above the window's edge";
    const std::string saved = ReadFile(work + "copied.z1a");
    EXPECT_NE(saved.find("fire_copy"), std::string::npos);
    EXPECT_NE(saved.find("campfire"), std::string::npos) << "the original kept its name";
}

TEST_F(EditorRun, SpawnedEntitiesAreSelectedAndEditsUndoAndRedo) {
    // F10 spawns a light, F1 renames what is selected (the light), Ctrl+Z
    // undoes the rename and Ctrl+Y redoes it, each state saved.
    xrun::GameResult run = Edit(
        "2 key down 68\n2 key up 68\n"
        "answer field Type: = Light\n"
        "answer field Symbolic Name: = new_lamp\n"
        "answer ok\n"
        "4 key down 59\n4 key up 59\n"
        "answer field Name : = lamp_renamed\n"
        "answer ok\n"
        "6 key down 29\n6 key down 44\n6 key up 44\n6 key up 29\n"
        "8 key down 29\n8 key down 31\n8 key up 31\n8 key up 29\n"
        "answer file " +
            work +
            "undone.z1a\n"
            "10 key down 29\n10 key down 21\n10 key up 21\n10 key up 29\n"
            "12 key down 29\n12 key down 31\n12 key up 31\n12 key up 29\n"
            "answer file " +
            work + "redone.z1a\n",
        15);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.err.find("replay: "), std::string::npos) << "every answer was taken:\n" << run.err;
    const std::string undone = ReadFile(work + "undone.z1a");
    const std::string redone = ReadFile(work + "redone.z1a");
    EXPECT_NE(undone.find("new_lamp"), std::string::npos);
    EXPECT_EQ(undone.find("lamp_renamed"), std::string::npos);
    EXPECT_NE(redone.find("lamp_renamed"), std::string::npos) << "F1 edited the spawned light";
    EXPECT_EQ(redone.find("new_lamp"), std::string::npos);
    EXPECT_NE(Find(run.log, "EDITOR - undo properties"), -1) << Joined(run.log);
    EXPECT_NE(Find(run.log, "EDITOR - redo properties"), -1);
}

TEST_F(EditorRun, AFailedSaveSaysWhichFileAndWhy) {
    std::string replay;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/nonexistent/dir/x", "the folder /nonexistent/dir does not exist"},
        {"/sys/zendar_x.z1a", "Permission denied"},  // a read-only file system, for root too
    };
    int frame = 2;
    for (const auto& c : cases) {
        for (const char* key : {"down 29", "down 31", "up 31", "up 29"})
            replay += std::to_string(frame) + " key " + key + "\n";
        replay += "answer file " + c.first + "\n";
        frame += 2;
    }
    xrun::GameResult run = Edit(replay, frame + 1);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    for (const auto& c : cases) {
        const std::string file = c.first.find(".z1a") == std::string::npos ? c.first + ".z1a" : c.first;
        EXPECT_NE(run.err.find("replay: error box 'Save failed': The area was not saved to\n" + file + "\n" +
                               c.second + ".\nA file that was there is unchanged."),
                  std::string::npos)
            << run.err;
        EXPECT_NE(Find(run.log, "ERROR - could not save the area to '" + file + "': " + c.second), -1)
            << Joined(run.log);
    }
}

TEST_F(EditorRun, UnsavedChangesAreOfferedForSavingBeforeQuitOpenAndPlay) {
    // A copy of the village is edited, so that Yes may save over it.
    const std::string area = work + "village.z1a";
    WriteFile(area, ReadFile(kVillage));
    const std::string spawn =
        "2 key down 68\n2 key up 68\n"
        "answer field Type: = Light\nanswer field Symbolic Name: = unsaved_lamp\nanswer ok\n";
    // Esc and Yes to "Quit?", then Cancel; Ctrl+O, Cancel; M, Cancel; then
    // Esc, Yes, Yes: saved, and the program ends.
    xrun::GameResult run = Edit(spawn +
                                    "4 key down 1\n4 key up 1\nanswer yes\nanswer cancel\n"
                                    "6 key down 29\n6 key down 24\n6 key up 24\n6 key up 29\nanswer cancel\n"
                                    "8 key down 50\n8 key up 50\nanswer cancel\n"
                                    "10 key down 1\n10 key up 1\nanswer yes\nanswer yes\n",
                                40, {"--area", area});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(xrun::CountOf(run.log, "EDITOR - cancelled: the unsaved changes stay"), 3) << Joined(run.log);
    const int saved = Find(run.log, "EDITOR - saved '" + area + "'");
    ASSERT_NE(saved, -1) << Joined(run.log);
    EXPECT_GT(Find(run.log, "MESSAGE - WM close", saved), saved);
    EXPECT_EQ(Find(run.log, "MESSAGE - credits end"), -1) << "still in the editor when it ended";
    EXPECT_NE(ReadFile(area).find("unsaved_lamp"), std::string::npos);
    EXPECT_FALSE(xrun::FileExists(area + ".part"));

    // M with No plays the area unsaved; quitting the game asks nothing more
    // (what the game does to the area is no work to save).
    WriteFile(area, ReadFile(kVillage));
    run = Edit(spawn +
                   "4 key down 50\n4 key up 50\nanswer no\n"
                   "8 key down 1\n8 key up 1\nanswer yes\n",
               400, {"--area", area});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(xrun::CountOf(run.log, "EDITOR - going on without saving"), 1) << Joined(run.log);
    EXPECT_NE(Find(run.log, "MESSAGE - credits end"), -1) << "the game was played";
    EXPECT_EQ(run.err.find("replay: "), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(area), ReadFile(kVillage));
}

// A game folder of links to the build's, with its own z1 and textures
// folders (links to the build's files inside), so that a model can be
// imported into it without touching the build.
std::string LinkedGameFolder(const std::string& work) {
    namespace fs = std::filesystem;
    const fs::path game = fs::path(work) / "game";
    std::error_code ec;
    fs::create_directory(game, ec);
    for (const fs::directory_entry& e : fs::directory_iterator(kGameFolder)) {
        const fs::path name = e.path().filename();
        if (name == "z1" || name == "textures") {
            fs::create_directory(game / name, ec);
            for (const fs::directory_entry& c : fs::directory_iterator(e.path()))
                fs::create_symlink(c.path(), game / name / c.path().filename(), ec);
        } else {
            fs::create_symlink(e.path(), game / name, ec);
        }
    }
    return game.string() + "/";
}

// The numbers after `"key": [` in the dump, from `from` on.
std::vector<float> DumpNumbers(const std::string& dump, size_t from, const std::string& key) {
    std::vector<float> v;
    size_t at = dump.find("\"" + key + "\": [", from);
    if (at == std::string::npos) return v;
    const char* p = dump.c_str() + dump.find('[', at) + 1;
    for (char* end = nullptr;; p = end + 1) {
        v.push_back(std::strtof(p, &end));
        if (*end != ',') break;
    }
    return v;
}

TEST_F(EditorRun, AModdersSessionFromImportToPlay) {
    const std::string wuson = "/usr/share/assimp/models/OBJ/WusonOBJ.obj";
    if (!xrun::FileExists(wuson)) GTEST_SKIP() << "assimp-testmodels is not installed";
    const std::string game = LinkedGameFolder(work);
    // A model from another program, imported at a person's size.
    ASSERT_EQ(std::system(("cd " + game + " && ./z1tool model import --height 180 " + wuson +
                           " z1/wuson.z1 > " + work + "import.txt")
                              .c_str()),
              0);
    EXPECT_NE(ReadFile(work + "import.txt").find("180.0 units"), std::string::npos);
    // Aim at the storyteller and give her the innkeeper's conversation; load
    // the model (F12), spawn it (F10), look down and put it on the ground
    // (right button), make it larger (X and the mouse), delete it by mistake
    // (D, Yes) and undo that; save; play (M) and quit.
    std::string replay =
        "2 mouse move -53 -20\n4 mouse button 0 down\n5 mouse button 0 up\n"
        "7 key down 59\n7 key up 59\nanswer field Dialog file: = innkeeper\nanswer ok\n"
        "9 key down 88\n9 key up 88\nanswer file " +
        game +
        "z1/wuson.z1\n"
        "11 key down 68\n11 key up 68\nanswer field Type: = Object\nanswer field Argument: = wuson.z1\n"
        "answer field Symbolic Name: = statue\nanswer ok\n"
        "13 mouse move 0 150\n15 mouse button 1 down\n16 mouse button 1 up\n"
        "18 key down 45\n19 mouse move 200 0\n20 mouse move 200 0\n21 key up 45\n"
        "23 key down 32\n23 key up 32\nanswer yes\n"
        "25 key down 29\n25 key down 44\n25 key up 44\n25 key up 29\n"
        "27 key down 29\n27 key down 31\n27 key up 31\n27 key up 29\nanswer file " +
        work +
        "modded.z1a\n"
        "29 key down 50\n29 key up 50\n"
        "40 key down 1\n40 key up 1\nanswer yes\n";
    xrun::GameResult run = Edit(replay, 400, {"--base", game});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.err.find("replay: "), std::string::npos) << "every answer was taken:\n" << run.err;
    EXPECT_NE(Find(run.log, "EDITOR - undo delete"), -1) << Joined(run.log);
    EXPECT_NE(Find(run.log, "MESSAGE - credits end"), -1) << "the area was played";

    ASSERT_EQ(std::system((game + "z1tool area dump " + work + "modded.z1a > " + work + "dump.txt").c_str()),
              0);
    const std::string dump = ReadFile(work + "dump.txt");
    EXPECT_NE(dump.find("\"wuson.z1\""), std::string::npos) << dump;
    const size_t teller = dump.find("\"name\": \"storyteller\"");
    ASSERT_NE(teller, std::string::npos) << dump;
    EXPECT_EQ(dump.find("\"dialog_file\": \"innkeeper\"", teller), dump.find("\"dialog_file\"", teller));
    const size_t statue = dump.find("\"name\": \"statue\"");
    ASSERT_NE(statue, std::string::npos) << "the delete was undone:\n" << dump;
    const std::vector<float> at = DumpNumbers(dump, statue, "position");
    const std::vector<float> scale = DumpNumbers(dump, statue, "scale");
    ASSERT_EQ(at.size(), 3u);
    ASSERT_EQ(scale.size(), 3u);
    EXPECT_NEAR(at[1], 0.0f, 1.0f) << "on the village's ground";
    for (float f : scale) EXPECT_NEAR(f, 1.8f, 0.01f) << "made larger";
}

}  // namespace
