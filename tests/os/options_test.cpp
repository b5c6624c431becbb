// The automation options of the game executable and the harness state they
// drive (frame numbers, fixed-step clocks, screenshots due).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/harness.h"
#include "os/sdl/sdldialogs.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "utility/random.h"

namespace {

struct Parsed {
    bool ok;
    HarnessOptions options;
    std::string error;
};

Parsed Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "zendar1");
    Parsed p;
    p.ok = ParseHarnessOptions(static_cast<int>(args.size()), args.data(), &p.options, &p.error);
    return p;
}

std::string ErrorOf(std::vector<const char*> args) {
    Parsed p = Parse(args);
    EXPECT_FALSE(p.ok) << "accepted, expected an error";
    return p.error;
}

TEST(HarnessOptions, NoOptionsMeanThePlainProgram) {
    Parsed p = Parse({});
    ASSERT_TRUE(p.ok);
    EXPECT_FALSE(p.options.Any());
    EXPECT_EQ(p.options.frames, -1);
    EXPECT_EQ(p.options.fixedStep, 0.0);
    EXPECT_FALSE(p.options.seeded);
}

TEST(HarnessOptions, EveryOptionInBothSpellings) {
    Parsed p =
        Parse({"--frames", "40", "--fixed-step=0.02", "--seed", "4294967295", "--screenshot", "30:/tmp/a.png",
               "--screenshot=0:b.PNG", "--replay", "run.txt", "--base=/data/game", "--stats", "500"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.options.Any());
    EXPECT_EQ(p.options.frames, 40);
    EXPECT_DOUBLE_EQ(p.options.fixedStep, 0.02);
    EXPECT_TRUE(p.options.seeded);
    EXPECT_EQ(p.options.seed, 4294967295u);
    ASSERT_EQ(p.options.screenshots.size(), 2u);
    EXPECT_EQ(p.options.screenshots[0].frame, 30);
    EXPECT_EQ(p.options.screenshots[0].file, "/tmp/a.png");
    EXPECT_EQ(p.options.screenshots[1].frame, 0);
    EXPECT_EQ(p.options.screenshots[1].file, "b.PNG");
    EXPECT_EQ(p.options.replay, "run.txt");
    EXPECT_EQ(p.options.base, "/data/game");
    EXPECT_EQ(p.options.statsEvery, 500);
    EXPECT_TRUE(Parse({"--stats=1"}).options.Any());
}

TEST(HarnessOptions, ErrorMessages) {
    EXPECT_EQ(ErrorOf({"--bogus"}), "unknown option '--bogus'");
    EXPECT_EQ(ErrorOf({"--bogus=3"}), "unknown option '--bogus'");
    EXPECT_EQ(ErrorOf({"level.z1a"}), "unexpected argument 'level.z1a'");
    EXPECT_EQ(ErrorOf({"--frames"}), "option --frames needs a value");
    EXPECT_EQ(ErrorOf({"--replay="}), "option --replay needs a value");
    EXPECT_EQ(ErrorOf({"--frames", "0"}), "--frames: '0' is not a whole number of at least 1");
    EXPECT_EQ(ErrorOf({"--frames", "12x"}), "--frames: '12x' is not a whole number of at least 1");
    EXPECT_EQ(ErrorOf({"--stats", "0"}), "--stats: '0' is not a whole number of at least 1");
    EXPECT_EQ(ErrorOf({"--fixed-step", "-0.5"}), "--fixed-step: '-0.5' is not a positive number of seconds");
    EXPECT_EQ(ErrorOf({"--fixed-step", "nan"}), "--fixed-step: 'nan' is not a positive number of seconds");
    EXPECT_EQ(ErrorOf({"--fixed-step", "0"}), "--fixed-step: '0' is not a positive number of seconds");
    EXPECT_EQ(ErrorOf({"--seed", "4294967296"}),
              "--seed: '4294967296' is not a whole number from 0 to 4294967295");
    EXPECT_EQ(ErrorOf({"--seed", "-1"}), "--seed: '-1' is not a whole number from 0 to 4294967295");
    EXPECT_EQ(ErrorOf({"--screenshot", "shot.png"}), "--screenshot: 'shot.png' is not FRAME:FILE.png");
    EXPECT_EQ(ErrorOf({"--screenshot", "3:shot.bmp"}), "--screenshot: '3:shot.bmp' is not FRAME:FILE.png");
    EXPECT_EQ(ErrorOf({"--screenshot", "-1:a.png"}), "--screenshot: '-1:a.png' is not FRAME:FILE.png");
    EXPECT_EQ(ErrorOf({"--screenshot", "40:a.png", "--frames", "40"}),
              "--screenshot: frame 40 is never reached with --frames 40");
}

TEST(HarnessOptions, EditorSwitchTakesNoValue) {
    Parsed p = Parse({"--editor", "--frames", "3"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.options.editor);
    EXPECT_TRUE(p.options.Any());
    EXPECT_EQ(p.options.frames, 3);
    EXPECT_FALSE(Parse({"--frames", "3"}).options.editor);
    EXPECT_EQ(ErrorOf({"--editor=1"}), "unknown option '--editor'");
}

TEST(HarnessOptions, UsageNamesEveryOption) {
    std::string usage = HarnessUsage();
    for (const char* o :
         {"--frames", "--fixed-step", "--seed", "--screenshot", "--replay", "--base", "--editor", "--stats"})
        EXPECT_NE(usage.find(o), std::string::npos) << o;
}

TEST(Harness, FixedStepDrivesBothClocksFrameByFrame) {
    HarnessOptions o;
    o.frames = 3;
    o.fixedStep = 0.25;
    o.seeded = true;
    o.seed = 99;
    o.screenshots = {{1, "one.png"}, {1, "one-again.png"}, {7, "never.png"}};
    o.statsEvery = 2;
    StartHarness(o);
    int first = Z1Rand();
    Z1SeedRandom(99);
    EXPECT_EQ(first, Z1Rand()) << "--seed seeds the engine's chance";

    EXPECT_EQ(HarnessFrame(), 0);
    EXPECT_FLOAT_EQ(ClockSeconds(), 0.0f);
    EXPECT_TRUE(HarnessScreenshotsDue().empty());
    EXPECT_FALSE(HarnessEndFrame());

    EXPECT_EQ(HarnessFrame(), 1);
    EXPECT_FLOAT_EQ(ClockSeconds(), 0.25f);
    EXPECT_EQ(ClockMilliseconds(), 250u);
    EXPECT_EQ(HarnessScreenshotsDue(), (std::vector<std::string>{"one.png", "one-again.png"}));
    EXPECT_TRUE(HarnessScreenshotsDue().empty()) << "each screenshot is taken once";
    EXPECT_FALSE(HarnessStatsDue()) << "one frame run, stats every two";
    EXPECT_FALSE(HarnessEndFrame());
    EXPECT_TRUE(HarnessStatsDue());
    EXPECT_EQ(HarnessStatsLine(123456, 87), "HARNESS - frame 2: resident 123456 KB, 87 textures");
    EXPECT_TRUE(HarnessEndFrame()) << "the third frame reaches the limit";
    EXPECT_EQ(ClockMilliseconds(), 750u);

    std::vector<ScreenshotRequest> missed = HarnessMissedScreenshots();
    ASSERT_EQ(missed.size(), 1u);
    EXPECT_EQ(missed[0].file, "never.png");

    ResetHarness();
    EXPECT_EQ(HarnessFrame(), 0);
    EXPECT_TRUE(HarnessMissedScreenshots().empty());
}

TEST(Harness, WithoutLimitNoFrameStops) {
    StartHarness(HarnessOptions());
    for (int i = 0; i < 1000; ++i) ASSERT_FALSE(HarnessEndFrame());
    EXPECT_EQ(HarnessFrame(), 1000);
    ResetHarness();
}

TEST(Harness, BaseOptionSetsTheBasePath) {
    std::string before = GetBasePath();
    HarnessOptions o;
    o.base = "/tmp/zendar-base-test";
    StartHarness(o);
    EXPECT_EQ(std::string(GetBasePath()), "/tmp/zendar-base-test/");
    ResetHarness();
    SetBasePath(before.c_str());
}

TEST(FileDialogText, FilterAndExtensionMatch) {
    EXPECT_EQ(FileFilterText("ZdA Files", "z1a"), "ZdA Files (*.z1a)");
    EXPECT_TRUE(MatchesExtension("village.z1a", "z1a"));
    EXPECT_TRUE(MatchesExtension("VILLAGE.Z1A", "z1a"));
    EXPECT_FALSE(MatchesExtension("village.z1", "z1a"));
    EXPECT_FALSE(MatchesExtension("z1a", "z1a")) << "the extension needs its dot";
    EXPECT_FALSE(MatchesExtension("villagez1a", "z1a"));
}

}  // namespace
