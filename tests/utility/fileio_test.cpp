#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "foundation_helpers.h"
#include "utility/basepath.h"
#include "utility/fileio.h"

namespace {

using found_test::ReadFile;
using found_test::TempDir;
using found_test::WriteFile;

std::string ReadStream(FILE* f) {
    std::string s;
    int c;
    while ((c = std::fgetc(f)) != EOF) s += static_cast<char>(c);
    std::fclose(f);
    return s;
}

TEST(OpenFile, BackslashesAndLetterCaseAreResolved) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "Textures").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir / "Textures/Sky").c_str(), 0755), 0);
    WriteFile(dir / "Textures/Sky/Moon.BMP", "moon");
    FILE* f = OpenFile((dir.path() + "\\textures\\SKY\\moon.bmp").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadStream(f), "moon");
    EXPECT_EQ(ResolvePath((dir.path() + "/TEXTURES/sky/MOON.bmp").c_str()), dir / "Textures/Sky/Moon.BMP");
    EXPECT_TRUE(FileExists((dir.path() + "/textures/sky/moon.bmp").c_str()));
    EXPECT_FALSE(FileExists((dir.path() + "/textures/sky").c_str()));  // a folder is no file
    EXPECT_EQ(OpenFile((dir.path() + "/textures/sky/sun.bmp").c_str(), "rb"), nullptr);
    // An unmatched component keeps the rest as given.
    EXPECT_EQ(ResolvePath((dir.path() + "/textures/Clouds/a.bmp").c_str()), dir / "Textures/Clouds/a.bmp");
}

TEST(ReadWholeFile, ReadsEveryByteOrSaysWhyNot) {
    TempDir dir;
    std::string big(200000, '\0');  // more than one read block, with zeros in it
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    WriteFile(dir / "Music.MP3", big);
    std::string text;
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(ReadWholeFile((dir.path() + "\\music.mp3").c_str(), &text));  // resolved as OpenFile resolves
    EXPECT_EQ(text, big);
    EXPECT_TRUE(ReadWholeFile((dir / "Music.MP3").c_str(), &bytes, big.size()));  // exactly the limit
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), big);
    EXPECT_FALSE(ReadWholeFile((dir / "Music.MP3").c_str(), &text, big.size() - 1));
    EXPECT_FALSE(ReadWholeFile((dir / "none.mp3").c_str(), &text));
    EXPECT_TRUE(text.empty());
    WriteFile(dir / "empty", "");
    EXPECT_TRUE(ReadWholeFile((dir / "empty").c_str(), &bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST(OpenFile, ExactNameWinsOverCaseVariants) {
    TempDir dir;
    WriteFile(dir / "a.txt", "lower");
    WriteFile(dir / "A.txt", "upper");
    FILE* f = OpenFile((dir / "A.txt").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadStream(f), "upper");
    // Neither spelled exactly: the choice is stable (smallest name).
    WriteFile(dir / "b.TXT", "1");
    WriteFile(dir / "B.txt", "2");
    f = OpenFile((dir / "b.txt").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadStream(f), "2");  // "B.txt" < "b.TXT"
}

TEST(OpenFile, WritingResolvesFoldersAndKeepsANewName) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "Area").c_str(), 0755), 0);
    FILE* f = OpenFile((dir.path() + "\\area\\Village.Z1A").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("new", f);
    std::fclose(f);
    EXPECT_EQ(ReadFile(dir / "Area/Village.Z1A"), "new");
    // An existing file of another case is the one overwritten.
    f = OpenFile((dir.path() + "/AREA/village.z1a").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("again", f);
    std::fclose(f);
    EXPECT_EQ(ReadFile(dir / "Area/Village.Z1A"), "again");
    struct stat st;
    EXPECT_NE(stat((dir / "Area/village.z1a").c_str(), &st), 0);
    // A missing folder is not created.
    EXPECT_EQ(OpenFile((dir.path() + "/nofolder/x.txt").c_str(), "wb"), nullptr);
}

TEST(OpenFile, RelativePathsResolveAgainstTheWorkingFolder) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "Dialogs").c_str(), 0755), 0);
    WriteFile(dir / "Dialogs/Smith.dlg", "dlg");
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    FILE* f = OpenFile("dialogs\\smith.dlg", "rb");
    EXPECT_EQ(chdir(here), 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadStream(f), "dlg");
    EXPECT_EQ(OpenFile(nullptr, "rb"), nullptr);
    EXPECT_EQ(OpenFile("x", nullptr), nullptr);
}

TEST(BasePath, DefaultIsTheExecutablesFolder) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    std::string path(exe, n);
    std::string saved = GetBasePath();
    EXPECT_EQ(saved, path.substr(0, path.rfind('/') + 1));
    SetBasePath("/games/zendar");
    EXPECT_STREQ(GetBasePath(), "/games/zendar/");
    SetBasePath("/games/zendar/");
    EXPECT_STREQ(GetBasePath(), "/games/zendar/");
    SetBasePath("");
    EXPECT_STREQ(GetBasePath(), "");
    SetBasePath(saved.c_str());
}

TEST(BasePath, CommandLineRule) {
    auto cut = [](const char* line) {
        char* p = BasePathFromCommandLine(line);
        std::string s(p);
        delete[] p;
        return s;
    };
    EXPECT_EQ(cut("\"C:\\Program Files\\Zendar\\zendar.exe\""), "C:\\Program Files\\Zendar\\");
    EXPECT_EQ(cut("\"C:\\Games\\Z1\\zendar.exe\" -w"), "C:\\Games\\Z1\\");
    EXPECT_EQ(cut("C:\\Games\\zendar.exe"), "C:\\Games\\");
    // An argument holding a drive letter cuts the line before it.
    EXPECT_EQ(cut("C:\\Games\\zendar.exe D:\\data\\x"), "C:\\Games\\");
    EXPECT_EQ(cut("zendar.exe"), "");
    EXPECT_EQ(cut(""), "");
    EXPECT_EQ(cut("\""), "");
    EXPECT_EQ(cut(nullptr), "");
}

}  // namespace
