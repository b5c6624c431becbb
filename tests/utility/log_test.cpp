#include <gtest/gtest.h>

#include <string>

#include "foundation_helpers.h"
#include "settings/settings.h"
#include "utility/log.h"

namespace {

using found_test::kEndBanner;
using found_test::kStartBanner;
using found_test::LogCapture;
using found_test::TempDir;
using found_test::WriteFile;
using test_common::ReadText;

TEST(Log, BannersFramePlainLinesAndANewRunTruncates) {
    TempDir dir;
    std::string file = dir / "demo2.txt";
    WriteFile(file, "an older run's text that must disappear\n");
    {
        Log log(file.c_str());
        ASSERT_TRUE(log.IsOpen());
        EXPECT_EQ(ReadText(file), kStartBanner);  // unbuffered: on disk at once
        log.WriteLine("Loaded %d models from %s", 3, "z1\\");
        log.Write("no newline ");
        log.Write("%s", "then");
        log.NewLine();
    }
    EXPECT_EQ(ReadText(file),
              std::string(kStartBanner) + "Loaded 3 models from z1\\\nno newline then\n" + kEndBanner);
}

TEST(Log, NullNameWritesLogTxtInTheWorkingFolder) {
    TempDir dir;
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    {
        Log log(nullptr);
        EXPECT_TRUE(log.IsOpen());
        EXPECT_STREQ(log.FileName(), "log.txt");
    }
    EXPECT_EQ(chdir(here), 0);
    EXPECT_EQ(ReadText(dir / "log.txt"), std::string(kStartBanner) + kEndBanner);
}

TEST(Log, UnwritableLocationLeavesAClosedLogThatIgnoresEverything) {
    Log log("/nonexistent-folder/for/sure/demo2.txt");
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.FileName(), nullptr);
    log.WriteLine("ignored %d", 1);
    log.Write("ignored");
    log.NewLine();
    Settings settings;
    Log* saved = g_log;
    Settings* saved_settings = g_settings;
    g_log = &log;
    g_settings = &settings;
    LogLine("also ignored");
    g_log = saved;
    g_settings = saved_settings;
}

TEST(LogLine, GateAndLogPointerDecide) {
    TempDir dir;
    LogCapture capture(dir / "demo2.txt");
    LogLine("one %s", "a");
    capture.settings().write_log = 0;
    LogLine("dropped while the gate is off");
    capture.settings().write_log = 1;
    Settings* s = g_settings;
    g_settings = nullptr;
    LogLine("dropped without settings");
    g_settings = s;
    Log* l = g_log;
    g_log = nullptr;
    LogLine("dropped without a log");
    g_log = l;
    LogLine("two");
    EXPECT_EQ(capture.Text(), "one a\ntwo\n");
}

TEST(LogLine, PercentInTheFormattedTextIsWrittenLiterally) {
    TempDir dir;
    LogCapture capture(dir / "demo2.txt");
    LogLine("Cannot open %s", "textures\\100%s%d%n.bmp");
    EXPECT_EQ(capture.Text(), "Cannot open textures\\100%s%d%n.bmp\n");
}

TEST(LogLine, LongMessagesAreCutAt255Characters) {
    TempDir dir;
    LogCapture capture(dir / "demo2.txt");
    std::string longText(1000, 'x');
    longText[254] = 'E';
    longText[255] = 'Z';
    LogLine("%s", longText.c_str());
    std::string expected(255, 'x');
    expected[254] = 'E';
    EXPECT_EQ(capture.Text(), expected + "\n");
}

TEST(Log, OwnCallsCutAt259Characters) {
    TempDir dir;
    std::string file = dir / "x.txt";
    {
        Log log(file.c_str());
        std::string longText(600, 'y');
        log.WriteLine("%s", longText.c_str());
        log.Write("%s", longText.c_str());
    }
    std::string cut(259, 'y');
    EXPECT_EQ(ReadText(file), std::string(kStartBanner) + cut + "\n" + cut + kEndBanner);
}

}  // namespace
