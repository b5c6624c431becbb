#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <ftw.h>
#include <unistd.h>

#include "common/test_files.h"
#include "settings/settings.h"
#include "utility/datafile.h"
#include "utility/log.h"

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

// A temp folder used as the base path, with a log whose gate is the record under test.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "zsettings_XXXXXX";
        ASSERT_NE(::mkdtemp(&pattern[0]), nullptr);
        dir = pattern;
        saved_base = GetBasePath();
        SetBasePath(dir.c_str());
        // The folder with the separator the platform adds.
        base = GetBasePath();
        log_file = dir + "/demo2.txt";
        log = new Log(log_file.c_str());
        g_log = log;
    }
    void TearDown() override {
        g_log = nullptr;
        g_settings = nullptr;
        delete log;
        SetBasePath(saved_base.c_str());
        ::nftw(dir.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream out(dir + "/" + name, std::ios::binary);
        out << text;
    }
    std::string LogText() {
        const std::string all = test_common::ReadText(log_file);
        const std::string banner = "--** Started logging **-------------------------------------\n";
        return all.compare(0, banner.size(), banner) == 0 ? all.substr(banner.size()) : all;
    }
    // Parses text as "z1.ini" under the base path into s (installed as g_settings).
    void ParseText(Settings& s, const std::string& text) {
        Write("z1.ini", text);
        g_settings = &s;
        s.Parse("z1.ini");
    }

    std::string dir, base, saved_base, log_file;
    Log* log = nullptr;
};

TEST_F(SettingsTest, DefaultsOfEveryField) {
    Settings s;
    EXPECT_STREQ(s.textureFolder, "textures");
    EXPECT_STREQ(s.modelExtension, "z1");
    EXPECT_STREQ(s.areaExtension, "area");
    EXPECT_EQ(std::string(s.basePath), base);
    EXPECT_EQ(s.show_interface, 1);
    EXPECT_EQ(s.showDebugText, 1);
    EXPECT_EQ(s.clock, 1);
    EXPECT_EQ(s.showHelperObjects, 1);
    EXPECT_EQ(s.editor, 0);
    EXPECT_EQ(s.write_log, 1);
    EXPECT_EQ(s.collisionOn, 0);
    EXPECT_EQ(s.confirmQuit, 1);
    EXPECT_EQ(s.back_plane, 5000);
    EXPECT_EQ(s.dungeon_back_plane, 5000);
    EXPECT_EQ(s.tuningA, 500);
    EXPECT_EQ(s.tuningB, 100);
    EXPECT_EQ(s.tuningC, 2500);
    EXPECT_EQ(s.tuningD, 5000);
    EXPECT_EQ(s.player_fov, 90.0f);
    EXPECT_EQ(s.fovRadians, 1.5707964f);
    EXPECT_EQ(s.texture_bit, 0);
    EXPECT_EQ(s.light_update, 10);
    EXPECT_EQ(s.light_glows, 1);
    EXPECT_EQ(s.blinding_lights, 1);
    EXPECT_EQ(s.fog, 1);
    EXPECT_EQ(s.fullShading, 1);
    EXPECT_EQ(s.renderer, 0);
    EXPECT_EQ(s.active, 1);
    EXPECT_EQ(s.editorStepFactor, 1.0f);
    EXPECT_EQ(s.editorStepDirection, 0);
    EXPECT_STREQ(s.script.c_str(), "");
    EXPECT_EQ(s.inverted_mouse, 0);
    EXPECT_EQ(s.mouse_speed_x, 2);
    EXPECT_EQ(s.mouse_speed_y, 3);
    EXPECT_EQ(s.swayAmplitude, 0.01f);
    EXPECT_EQ(s.swayFrequency, 10.0f);
    EXPECT_EQ(s.swayReturn, 5.0f);
    EXPECT_EQ(s.movementSpeed, 1050.0f);
    EXPECT_EQ(s.secondsPerDay, 1800);
    EXPECT_EQ(s.startClock[0], 7000);
    EXPECT_EQ(s.startClock[1], 1);
    EXPECT_EQ(s.startClock[2], 1);
    EXPECT_EQ(s.startClock[3], 2001);
    EXPECT_EQ(s.editorSelectionMode, 0);
}

TEST_F(SettingsTest, BasePathLineIsDroppedUntilTheGateIsOpen) {
    Settings first;  // g_settings is null: dropped
    g_settings = &first;
    Settings second;  // the gate of `first` is open now
    EXPECT_EQ(LogText(), "Base path is " + base + "\n");
}

TEST_F(SettingsTest, EveryKeyOfTheExampleFile) {
    Settings s;
    ParseText(
        s,
        "*renderer 1\r\n*player_fov 60\r\n*back_plane 7000\r\n*inverted_mouse 1\r\n*mouse_speed_x 4\r\n"
        "*mouse_speed_y 5\r\n*fog 0\r\n*show_interface 0\r\n*light_update 3\r\n*dungeon_back_plane 9\r\n"
        "*texture_bit 16\r\n*light_glows 0\r\n*blinding_lights 0\r\n*clock 0\r\n*script intro.z1s\r\n"
        "*write_log\r\n");
    EXPECT_EQ(s.renderer, 1);
    EXPECT_EQ(s.player_fov, 60.0f);
    EXPECT_EQ(s.fovRadians, 60.0f * 0.017453292f);
    EXPECT_NEAR(s.fovRadians, 1.0471976f, 1e-6f);
    EXPECT_EQ(s.back_plane, 7000);
    EXPECT_EQ(s.inverted_mouse, 1);
    EXPECT_EQ(s.mouse_speed_x, 4);
    EXPECT_EQ(s.mouse_speed_y, 5);
    EXPECT_EQ(s.fog, 0);
    EXPECT_EQ(s.show_interface, 0);
    EXPECT_EQ(s.light_update, 3);
    EXPECT_EQ(s.dungeon_back_plane, 9);
    EXPECT_EQ(s.texture_bit, 16);
    EXPECT_EQ(s.light_glows, 0);
    EXPECT_EQ(s.blinding_lights, 0);
    EXPECT_EQ(s.clock, 0);
    EXPECT_STREQ(s.script.c_str(), "intro.z1s");
    EXPECT_EQ(s.write_log, 1);
    EXPECT_EQ(LogText(), "********* PARSING SETTINGS ***********\n");
}

TEST_F(SettingsTest, ValueRules) {
    Settings s;
    ParseText(s,
              "*renderer 2 *fog 7 *inverted_mouse -1 *back_plane 90.5 *mouse_speed_x abc *mouse_speed_y +12x "
              "*light_update 99999999999 *texture_bit -99999999999");
    EXPECT_EQ(s.renderer, 0);  // only 1 selects OpenGL
    EXPECT_EQ(s.fog, 1);
    EXPECT_EQ(s.inverted_mouse, 1);
    EXPECT_EQ(s.back_plane, 90);
    EXPECT_EQ(s.mouse_speed_x, 0);
    EXPECT_EQ(s.mouse_speed_y, 12);
    EXPECT_EQ(s.light_update, 2147483647);  // saturates instead of overflowing
    EXPECT_EQ(s.texture_bit, -2147483647 - 1);
    EXPECT_EQ(SettingsInteger("  -42z"), -42);
    EXPECT_EQ(SettingsInteger(""), 0);
}

TEST_F(SettingsTest, KeysAreCaseSensitiveAndNeedTheirStar) {
    Settings s;
    ParseText(
        s,
        "*Fog 0\nfog 0\nback_plane 3\nrenderer 1\n*unknown *mouse_speed_x 9\nheading text *mouse_speed_y 8");
    EXPECT_EQ(s.fog, 1);
    EXPECT_EQ(s.back_plane, 5000);
    EXPECT_EQ(s.renderer, 0);
    EXPECT_EQ(s.mouse_speed_x, 9);  // an unknown starred token does not swallow the next key
    EXPECT_EQ(s.mouse_speed_y, 8);
}

TEST_F(SettingsTest, ScriptTakesTheRestOfTheLine) {
    Settings s;
    ParseText(s, "*script \"my game/start script.z1s\" *fog 0\n*back_plane 10");
    EXPECT_STREQ(s.script.c_str(), "my game/start script.z1s");
    EXPECT_EQ(s.fog, 0);  // the text after the closing quote is read as tokens again
    EXPECT_EQ(s.back_plane, 10);
    Settings t;
    ParseText(t, "*script    scripts\\main.z1s   \r\n*fog 0");
    EXPECT_STREQ(t.script.c_str(), "scripts\\main.z1s   ");
    EXPECT_EQ(t.fog, 0);
}

TEST_F(SettingsTest, LaterKeysOverrideAndTrailingKeysWithoutValuesChangeNothing) {
    Settings s;
    ParseText(s, "*back_plane 100\n*script first.z1s\n*back_plane 200\n*fog 0\n*script second.z1s\n*fog\n");
    EXPECT_EQ(s.back_plane, 200);
    EXPECT_EQ(s.fog, 0);
    EXPECT_STREQ(s.script.c_str(), "second.z1s");
    ParseText(s, "*script\n  \n");
    EXPECT_STREQ(s.script.c_str(), "second.z1s");
    EXPECT_EQ(LogText(),
              "********* PARSING SETTINGS ***********\n"
              "********* PARSING SETTINGS ***********\n"
              "Failed read - probably end of file\n");
}

TEST_F(SettingsTest, WriteLogOnlySwitchesTheGateOn) {
    Settings s;
    s.write_log = 0;
    ParseText(s, "*write_log 0");
    EXPECT_EQ(s.write_log, 1);  // "0" is just the next (skipped) token
}

// The defaults stand, as the file format has it; the player is told why.
TEST_F(SettingsTest, AFileThatCannotBeReadKeepsTheDefaultsAndSaysWhy) {
    Settings s;
    g_settings = &s;
    s.Parse("z1.ini");
    const std::string missing =
        "settings file '" + base + "z1.ini' does not exist: every setting keeps its default";
    EXPECT_EQ(s.problems, std::vector<std::string>{missing});
    ::mkdir((dir + "/folder.ini").c_str(), 0755);
    s.Parse("folder.ini");
    const std::string folder =
        "settings file '" + base + "folder.ini' is a folder, not a file: every setting keeps its default";
    EXPECT_EQ(s.problems, std::vector<std::string>{folder});
    s.Parse(nullptr);
    EXPECT_TRUE(s.problems.empty());
    EXPECT_EQ(s.back_plane, 5000);
    EXPECT_EQ(LogText(), "ERROR - " + missing + "\nERROR - " + folder + "\n");
    // A game folder that is not there is named before its settings file.
    SetBasePath((dir + "/nowhere").c_str());
    const std::string nowhere = GetBasePath();
    s.Parse("z1.ini");
    EXPECT_EQ(s.problems,
              (std::vector<std::string>{
                  "the game folder '" + nowhere + "' does not exist",
                  "settings file '" + nowhere + "z1.ini' does not exist: every setting keeps its default"}));
}

TEST_F(SettingsTest, AValueWithoutDigitsCountsAsZeroAndIsReported) {
    Settings s;
    ParseText(s, "*player_fov ninety\n*back_plane -12x *fog +1\n*mouse_speed_x abc");
    EXPECT_EQ(s.player_fov, 0.0f);  // the file's rule stands
    EXPECT_EQ(s.back_plane, -12);
    const std::string file = "settings file '" + base + "z1.ini': ";
    EXPECT_EQ(s.problems, (std::vector<std::string>{
                              file + "*player_fov 'ninety' is not a whole number: it counts as 0",
                              file + "*mouse_speed_x 'abc' is not a whole number: it counts as 0"}));
    EXPECT_NE(LogText().find("ERROR - " + s.problems[0] + "\n"), std::string::npos);
}

TEST_F(SettingsTest, ParsesAnOpenedDataFile) {
    Write("other.ini", "*light_update 4");
    Settings s;
    DataFile f;
    ASSERT_TRUE(f.Open((dir + "/other.ini").c_str()));
    s.Parse(f);
    EXPECT_EQ(s.light_update, 4);
}

TEST_F(SettingsTest, BasePathOverrideReachesTheRecord) {
    Settings s;
    g_settings = &s;
    SetBasePath("/somewhere/else");
    EXPECT_EQ(std::string(s.basePath), "/somewhere/else" + base.substr(base.size() - 1));
    SetBasePath(dir.c_str());
    EXPECT_EQ(std::string(s.basePath), base);
}

}  // namespace
