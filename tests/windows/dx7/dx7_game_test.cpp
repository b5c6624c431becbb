// The Windows game (zendar1.exe) run under Wine on each renderer, from copies
// of the game folder: the default settings start on the DirectX 7 driver
// (answering its device dialog from the replay) and draw the village as the
// OpenGL driver does; the quest plays through; F2 and Alt+Enter rebuild the
// driver; a damaged archive and a missing texture are reported and the game
// plays on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_files.h"
#include "dx7_fixture.h"
#include "gfxdriver/opengldriver/screenshot.h"
#include "playthrough/quest_replay.h"
#include "utility/jf.h"

namespace {

namespace fs = std::filesystem;

const char kNoRenderer[] = "";

struct GameRun {
    int exitCode = -1;
    std::vector<std::string> log;  // demo2.txt, line by line
};

// A copy of the game's data in a folder of its own, with z1.ini's renderer
// line replaced by `renderer` (none when empty).
class GameFolder {
public:
    GameFolder(const std::string& tag, const std::string& renderer) {
        path_ = fs::temp_directory_path() / ("dx7game_" + tag);
        fs::remove_all(path_);
        fs::create_directories(path_);
        const fs::path bin = ZENDAR_BIN_DIR;
        for (const auto& entry : fs::recursive_directory_iterator(bin)) {
            const fs::path relative = fs::relative(entry.path(), bin);
            const std::string ext = entry.path().extension().string();
            if (entry.is_directory()) {
                fs::create_directories(path_ / relative);
            } else if (!ext.empty() && ext != ".exe" && ext != ".png" && ext != ".txt" && ext != ".log") {
                fs::copy_file(entry.path(), path_ / relative, fs::copy_options::overwrite_existing);
            }
        }
        std::ifstream in(bin / "z1.ini");
        std::ostringstream settings;
        for (std::string line; std::getline(in, line);)
            if (line.rfind("*renderer", 0) != 0) settings << line << "\n";
        if (!renderer.empty()) settings << renderer << "\n";
        test_common::WriteFile((path_ / "z1.ini").string(), settings.str());
    }
    ~GameFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    std::string path() const { return path_.string(); }

    // Runs the game here for `frames` frames at 0.02 s each with the replay
    // (none when empty) and screenshots at the frames given, waiting at most
    // `seconds`; `dialog` answers the device dialog as a player would.
    GameRun Play(const std::string& replay, int frames, const std::vector<int>& shots, int seconds = 400,
                 dx7_test::DeviceDialogVisit* dialog = nullptr) {
        std::string command = std::string("\"") + ZENDAR_BIN_DIR + "/zendar1.exe\" --frames " +
                              std::to_string(frames) + " --fixed-step 0.02 --seed 5 --base \"" + path() +
                              "\\\\\"";
        if (!replay.empty()) {
            test_common::WriteFile(*this / "replay.txt", replay);
            command += " --replay \"" + (*this / "replay.txt") + "\"";
        }
        for (int frame : shots) command += " --screenshot " + std::to_string(frame) + ":" + Shot(frame);
        GameRun run;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::vector<char> line(command.begin(), command.end());
        line.push_back('\0');
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, path().c_str(), &si,
                            &pi)) {
            ADD_FAILURE() << "cannot start " << command;
            return run;
        }
        HANDLE visit = nullptr;
        if (dialog) {
            dialog->readLists = false;  // the lists are the game's, in its process
            visit = dx7_test::StartDeviceDialogVisit(dialog, seconds, pi.hProcess);
        }
        if (WaitForSingleObject(pi.hProcess, static_cast<DWORD>(seconds) * 1000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the game did not end within " << seconds << " s";
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 10000);
        }
        dx7_test::FinishDeviceDialogVisit(visit);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        run.exitCode = static_cast<int>(code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        std::istringstream log(test_common::ReadFile(*this / "demo2.txt"));
        for (std::string l; std::getline(log, l);) {
            if (!l.empty() && l.back() == '\r') l.pop_back();
            run.log.push_back(l);
        }
        return run;
    }

    std::string Shot(int frame) const { return (path_ / ("shot" + std::to_string(frame) + ".png")).string(); }

private:
    fs::path path_;
};

int Find(const std::vector<std::string>& log, const std::string& text, int from = 0) {
    for (size_t i = static_cast<size_t>(std::max(from, 0)); i < log.size(); ++i)
        if (log[i].find(text) != std::string::npos) return static_cast<int>(i);
    return -1;
}

std::string Joined(const std::vector<std::string>& log) {
    std::string all;
    for (const std::string& l : log) all += l + "\n";
    return all;
}

using dx7_test::Picture;

Picture Load(const std::string& path) {
    Picture p;
    EXPECT_TRUE(dx7_test::LoadPicture(path, &p)) << path;
    return p;
}

// Share of the picture's pixels that are not black.
double Lit(const Picture& p) {
    long lit = 0;
    for (size_t i = 0; i + 2 < p.rgb.size(); i += 3) lit += (p.rgb[i] + p.rgb[i + 1] + p.rgb[i + 2]) > 24;
    return p.rgb.empty() ? 0.0 : static_cast<double>(lit) * 3 / p.rgb.size();
}

// The texture lines of the DirectX 7 driver: none in a game whose data is whole.
void ExpectTexturesLoaded(const std::vector<std::string>& log) {
    for (const char* line :
         {"Error loading texture file", "Error creating", "texture list", "Alpha list not found",
          "No possible texture format", "Cannot lock surface", "mip map"})
        EXPECT_EQ(Find(log, line), -1) << line << "\n" << Joined(log);
}

}  // namespace

TEST(Dx7Game, DefaultSettingsDrawTheVillageAsTheOpenGLDriverDoes) {
    // Standing on the square, the camp fire with its embers ahead. No replay:
    // the device dialog shows and is answered OK with its button.
    GameFolder dx7("dx7", kNoRenderer), gl("gl", "*renderer 1");
    dx7_test::DeviceDialogVisit dialog;
    GameRun a = dx7.Play("", 80, {70}, 400, &dialog);
    GameRun b = gl.Play("", 80, {70});
    EXPECT_TRUE(dialog.found);
    EXPECT_EQ(dialog.labels, (std::vector<std::string>{"&Device selection", "Use desktop &window",
                                                       "Fullscreen &modes", "OK", "Cancel"}));
    EXPECT_EQ(a.exitCode, 1);
    EXPECT_EQ(b.exitCode, 1);
    EXPECT_NE(Find(a.log, "using normal z-buffer"), -1) << Joined(a.log);
    EXPECT_NE(Find(a.log, "Direct3D device: Wine D3D7 T&L HAL, windowed"), -1) << Joined(a.log);
    EXPECT_EQ(Find(a.log, "OpenGL version"), -1);
    EXPECT_NE(Find(b.log, "OpenGL version"), -1) << Joined(b.log);
    EXPECT_EQ(Find(a.log, "FATAL"), -1) << Joined(a.log);
    ExpectTexturesLoaded(a.log);

    // The DirectX 7 frame is the whole back buffer; the OpenGL one the rows
    // its window shows, the bottom 749 of 768 (the menu bar takes the rest).
    Picture p = Load(dx7.Shot(70)), q = Load(gl.Shot(70));
    ASSERT_EQ(p.w, 1024);
    ASSERT_EQ(p.h, 768);
    ASSERT_EQ(q.w, 1024);
    ASSERT_EQ(q.h, 749);
    EXPECT_GT(Lit(p), 0.95);
    // The OpenGL driver draws the screen-space layer 20 rows lower: the
    // message at the top and the crosshair are left out.
    const std::vector<dx7_test::Rect> layer = {{0, 0, 1024, 64}, {488, 356, 536, 420}};
    dx7_test::ComparePictures(p, q, "village", {32, 0.002}, 768 - 749, 0, 749, layer);
}

TEST(Dx7Game, QuestPlaysThroughOnTheDefaultRenderer) {
    GameFolder game("quest", kNoRenderer);
    GameRun run = game.Play("answer ok\n" + quest_replay::WholeQuest(), 580, {100, 300, 428, 526});
    EXPECT_EQ(run.exitCode, 1);
    const std::vector<std::string>& log = run.log;
    EXPECT_NE(Find(log, "Direct3D device: Wine D3D7 T&L HAL, windowed"), -1) << Joined(log);
    // The milestones of the quest, in order.
    int at = 0;
    for (const char* line : {"MESSAGE - clicked 'guard'", "GAME - quest flag 'gate_key_given' set",
                             "GAME - message 'You unlock the door.'", "Loading scene 'tower.z1a'",
                             "GAME - quest flag 'tower_tale_told' set", "GAME - inventory (2): gatekey, seal",
                             "Loading scene 'village.z1a'", "MESSAGE - credits end"}) {
        int next = Find(log, line, at);
        EXPECT_NE(next, -1) << line << "\n" << Joined(log);
        if (next != -1) at = next;
    }
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "MESSAGE - destroy");
    ExpectTexturesLoaded(log);
    // The square, the gate, the hall; the credits are text on black.
    for (int frame : {100, 300, 428}) EXPECT_GT(Lit(Load(game.Shot(frame))), 0.95) << frame;
    EXPECT_LT(Lit(Load(game.Shot(526))), 0.2);
}

TEST(Dx7Game, ChangeDeviceAndFullScreenRebuildTheDriver) {
    GameFolder game("f2", "*renderer 0");
    // F2 at frame 30 picks the software device; Alt+Enter at 50 goes full
    // screen (the desktop's mode, the only one Xvfb shows) and at 70 back.
    const std::string replay =
        "answer ok\n"
        "30 key down 60\n31 key up 60\n"
        "answer field Device selection = Wine D3D7 RGB\nanswer ok\n"
        "50 key down 56\n50 key down 28\n51 key up 28\n51 key up 56\n"
        "70 key down 56\n70 key down 28\n71 key up 28\n71 key up 56\n";
    GameRun run = game.Play(replay, 90, {20, 40, 60, 80});
    EXPECT_EQ(run.exitCode, 1);
    const std::vector<std::string>& log = run.log;
    int hal = Find(log, "Direct3D device: Wine D3D7 T&L HAL, windowed");
    int rgb = Find(log, "Direct3D device: Wine D3D7 RGB, windowed", hal);
    int full = Find(log, "Direct3D device: Wine D3D7 RGB, 1280 x 1024 x 32", rgb);
    int back = Find(log, "Direct3D device: Wine D3D7 RGB, windowed", full);
    EXPECT_NE(hal, -1) << Joined(log);
    EXPECT_NE(rgb, -1) << Joined(log);
    EXPECT_NE(full, -1) << Joined(log);
    EXPECT_NE(back, -1) << Joined(log);
    // "*renderer 0" is the DirectX 7 driver; each environment names its depth buffer.
    EXPECT_EQ(std::count(log.begin(), log.end(), "using normal z-buffer"), 4) << Joined(log);
    EXPECT_EQ(log.back(), "MESSAGE - destroy");
    ExpectTexturesLoaded(log);
    for (int frame : {20, 40, 60, 80}) {
        Picture p = Load(game.Shot(frame));
        EXPECT_EQ(p.w, frame == 60 ? 1280 : 1024) << frame;
        EXPECT_GT(Lit(p), 0.95) << frame;
    }
}

TEST(Dx7Game, DamagedArchiveAndMissingTextureAreReportedAndPlayGoesOn) {
    GameFolder game("jf", "*renderer 0");
    // The game's textures packed afresh: the crosshair left out (and gone from
    // the disk too), the sun's bitmap overwritten with zeros in the archive.
    const std::string missing = "textures\\interface\\crosshair.bmp";
    const std::string damaged = "textures\\sky\\sun\\sun.bmp";
    std::vector<JfPackInput> files;
    for (const auto& entry : fs::recursive_directory_iterator(game / "textures")) {
        if (!entry.is_regular_file()) continue;
        std::string name = fs::relative(entry.path(), game.path()).string();
        std::replace(name.begin(), name.end(), '/', '\\');
        if (name == missing) continue;
        JfPackInput in;
        in.name = name;
        std::string bytes = test_common::ReadFile(entry.path().string());
        in.data.assign(bytes.begin(), bytes.end());
        if (name == damaged) std::fill(in.data.begin(), in.data.end(), 0);
        files.push_back(std::move(in));
    }
    ASSERT_GT(files.size(), 50u);
    std::string error;
    ASSERT_TRUE(JfWriteArchive((game / "textures.jf").c_str(), files, &error)) << error;
    fs::remove(game / missing);

    GameRun run = game.Play("answer ok\n", 40, {30});
    EXPECT_EQ(run.exitCode, 1);
    const std::vector<std::string>& log = run.log;
    EXPECT_NE(Find(log, "Error in JfOpen - cannot find file '" + missing + "'"), -1) << Joined(log);
    EXPECT_NE(Find(log, "Error loading texture file " + missing), -1) << Joined(log);
    EXPECT_NE(Find(log, "Error loading texture file " + damaged), -1) << Joined(log);
    EXPECT_EQ(Find(log, "Error loading texture file textures\\village"), -1) << "read from the archive";
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "MESSAGE - destroy");
    EXPECT_GT(Lit(Load(game.Shot(30))), 0.95);
}
