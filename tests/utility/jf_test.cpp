#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation_helpers.h"
#include "utility/basepath.h"
#include "utility/jf.h"

namespace {

using found_test::LogCapture;
using found_test::ReadFile;
using found_test::TempDir;
using found_test::WriteFile;

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::string Word(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xff);
    return s;
}

// Each test gets a fresh archive state, an empty base path (so that JfOpen
// reopens the archive by the absolute name it was initialised with) and a log.
class JfTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_base = GetBasePath();
        SetBasePath("");
        capture = new LogCapture(logdir / "demo2.txt");
    }
    void TearDown() override {
        JfShutdown();
        delete capture;
        SetBasePath(saved_base.c_str());
    }
    std::string Pack(const std::vector<JfPackInput>& files) {
        std::string path = dir / "textures.jf";
        std::string error;
        EXPECT_TRUE(JfWriteArchive(path.c_str(), files, &error)) << error;
        return path;
    }
    std::string Log() { return capture->Text(); }

    TempDir dir, logdir;
    LogCapture* capture = nullptr;
    std::string saved_base;
};

TEST_F(JfTest, WriterLayoutByteByByte) {
    std::string path = Pack({{"textures\\a.bmp", Bytes("AAAA")}, {"b", Bytes("BB")}});
    std::string expected = std::string("KVJF") + Word(14) + "AAAA" + "BB" + "textures\\a.bmp" +
                           std::string(1, '\0') + Word(8) + Word(4) + "b" + std::string(1, '\0') + Word(12) +
                           Word(2);
    EXPECT_EQ(ReadFile(path), expected);

    std::string error;
    EXPECT_FALSE(JfWriteArchive((dir / "x.jf").c_str(), {{std::string(255, 'n'), Bytes("x")}}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(JfWriteArchive((dir / "y.jf").c_str(), {{std::string(254, 'n'), Bytes("x")}}, &error));
    EXPECT_FALSE(JfWriteArchive((dir / "nofolder/z.jf").c_str(), {}, &error));
}

TEST_F(JfTest, DirectoryIsReadInFileOrderAndLogged) {
    std::string path = Pack({{"one", Bytes("1")}, {"two", Bytes("22")}, {"One", Bytes("333")}});
    JfInitialize(path.c_str());
    ASSERT_TRUE(JfLoaded());
    std::vector<JfEntryInfo> d = JfDirectory();
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].name, "one");
    EXPECT_EQ(d[1].offset, 9u);
    EXPECT_EQ(d[2].size, 3u);
    EXPECT_EQ(Log(), "JF initialized\n");
    // Two names that match: the first in the directory wins.
    FILE* f = FileOpen("ONE", "rb");
    ASSERT_NE(f, nullptr);
    char c[4] = {0};
    EXPECT_EQ(FileRead(c, 1, 4, f), 1u);
    EXPECT_EQ(c[0], '1');
    EXPECT_EQ(FileClose(f), 0);
}

TEST_F(JfTest, LookupIgnoresCaseAndSlashDirection) {
    EXPECT_TRUE(JfNamesMatch("textures\\Sky\\Moon.bmp", "TEXTURES/sky/moon.BMP"));
    EXPECT_TRUE(JfNamesMatch("a/b", "a\\b"));
    EXPECT_FALSE(JfNamesMatch("a.bmp", "a.bm"));
    EXPECT_FALSE(JfNamesMatch("a_b", "a\\b"));
    EXPECT_FALSE(JfNamesMatch(nullptr, "a"));
    std::string path = Pack({{"textures\\Sky\\Moon.bmp", Bytes("moon")}});
    JfInitialize(path.c_str());
    FILE* f = JfOpen("textures/sky/MOON.BMP", "rb");
    ASSERT_NE(f, nullptr);
    char buffer[8] = {0};
    EXPECT_EQ(JfRead(buffer, 1, 8, f), 4);
    EXPECT_STREQ(buffer, "moon");
    EXPECT_EQ(JfClose(f), 0);
}

TEST_F(JfTest, ReadsAndSeeksStayInsideThePackedFile) {
    std::string path = Pack({{"first", Bytes("0123456789")}, {"second", Bytes("abcdefghijklmnopqrst")}});
    JfInitialize(path.c_str());
    FILE* f = FileOpen("second", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(FileTell(f), 0);
    // 6 bytes before the end, 10 elements of 4 bytes: one whole element fits.
    ASSERT_EQ(FileSeek(f, 14, SEEK_SET), 0);
    char buffer[64] = {0};
    EXPECT_EQ(FileRead(buffer, 4, 10, f), 1u);
    EXPECT_EQ(std::string(buffer, 4), "opqr");
    EXPECT_EQ(FileTell(f), 18);
    // End origin with offset 0: position = data size.
    ASSERT_EQ(FileSeek(f, 0, SEEK_END), 0);
    EXPECT_EQ(FileTell(f), 20);
    EXPECT_EQ(FileRead(buffer, 1, 10, f), 0u);
    // Current origin, and a read that would cross the end is cut to what fits.
    ASSERT_EQ(FileSeek(f, -5, SEEK_CUR), 0);
    EXPECT_EQ(FileRead(buffer, 1, 64, f), 5u);
    EXPECT_EQ(std::string(buffer, 5), "pqrst");
    // Seeks outside the range are refused by the archive part.
    EXPECT_EQ(JfSeek(f, 21, SEEK_SET), -1);
    EXPECT_EQ(JfSeek(f, -1, SEEK_SET), -1);
    EXPECT_EQ(JfSeek(f, 1, SEEK_END), -1);
    EXPECT_EQ(JfSeek(f, 0, 42), -1);
    EXPECT_EQ(JfTell(f), 20);
    // The general seek then seeks the archive stream plainly; the archive
    // read still refuses to leave the packed file.
    ASSERT_EQ(FileSeek(f, 0, SEEK_SET), 0);
    EXPECT_EQ(FileRead(buffer, 1, 1, f), 1u);
    EXPECT_EQ(buffer[0], 'a');
    EXPECT_EQ(FileSeek(f, 2, SEEK_SET), 0);  // within range: archive-relative
    EXPECT_EQ(FileRead(buffer, 1, 1, f), 1u);
    EXPECT_EQ(buffer[0], 'c');
    EXPECT_EQ(FileSeek(f, 100, SEEK_SET), 0);  // refused by the archive, plain seek
    EXPECT_EQ(FileRead(buffer, 1, 10, f), 0u);
    EXPECT_EQ(JfRead(buffer, 0, 10, f), 0);
    EXPECT_EQ(FileClose(f), 0);

    FILE* g = FileOpen("first", "rb");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(FileRead(buffer, 1, 64, g), 10u);  // never into "second"
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    EXPECT_EQ(FileClose(g), 0);
}

TEST_F(JfTest, SeveralPackedFilesOpenAtOnce) {
    std::string path = Pack({{"a", Bytes("aaaa")}, {"b", Bytes("bbbb")}});
    JfInitialize(path.c_str());
    FILE* a = JfOpen("a", "r");
    FILE* b = JfOpen("b", "rt");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    char x[8], y[8];
    EXPECT_EQ(JfRead(x, 1, 8, a), 4);
    EXPECT_EQ(JfRead(y, 1, 8, b), 4);
    EXPECT_EQ(x[0], 'a');
    EXPECT_EQ(y[0], 'b');
    EXPECT_EQ(JfClose(a), 0);
    EXPECT_EQ(JfTell(a == b ? nullptr : b), 4);
    EXPECT_EQ(JfClose(b), 0);
}

TEST_F(JfTest, MissingNamesBadModesAndLooseFilesFallBackToDisk) {
    std::string path = Pack({{"packed", Bytes("in archive")}});
    WriteFile(dir / "loose.txt", "on disk");
    JfInitialize(path.c_str());
    FILE* f = FileOpen((dir / "loose.txt").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buffer[32] = {0};
    EXPECT_EQ(JfTell(f), -1);  // not an archive stream
    EXPECT_EQ(FileRead(buffer, 1, 32, f), 7u);
    EXPECT_EQ(FileTell(f), 7);
    EXPECT_EQ(FileSeek(f, 3, SEEK_SET), 0);
    EXPECT_EQ(FileTell(f), 3);
    EXPECT_EQ(FileClose(f), 0);
    EXPECT_EQ(JfOpen("packed", "wb"), nullptr);
    EXPECT_EQ(JfOpen("packed", "r+"), nullptr);
    EXPECT_EQ(Log(), "JF initialized\nError in JfOpen - cannot find file '" + (dir / "loose.txt") +
                         "'\nError in JfOpen - Bad open mode\nError in JfOpen - Bad open mode\n");
}

TEST_F(JfTest, ArchiveThatCannotBeReopenedFallsBack) {
    std::string path = Pack({{"packed", Bytes("x")}});
    JfInitialize(path.c_str());
    SetBasePath("/nonexistent-base");
    EXPECT_EQ(FileOpen("packed", "rb"), nullptr);  // no loose file of that name either
    // The base path as set, with the platform's separator added.
    EXPECT_EQ(Log(), "JF initialized\nError in JfOpen - cannot open JF file " + std::string(GetBasePath()) +
                         path + "\n");
    EXPECT_EQ(std::string(GetBasePath()).compare(0, 17, "/nonexistent-base"), 0);
}

TEST_F(JfTest, NoArchiveMeansLooseFilesAndOneLogLine) {
    std::string missing = dir / "textures.jf";
    JfInitialize(missing.c_str());
    EXPECT_FALSE(JfLoaded());
    EXPECT_EQ(Log(), "ERROR - Cannot open JF-file '" + missing + "'!\n\n");
    WriteFile(dir / "t.bmp", "bmp");
    FILE* f = FileOpen((dir / "t.bmp").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(JfOpen((dir / "t.bmp").c_str(), "rb"), nullptr);
    EXPECT_EQ(JfRead(nullptr, 1, 1, f), -1);
    EXPECT_EQ(JfSeek(f, 0, SEEK_SET), -1);
    EXPECT_EQ(JfClose(f), -1);
    EXPECT_EQ(FileSeek(f, 0, SEEK_END), 0);
    EXPECT_EQ(FileTell(f), 3);
    EXPECT_EQ(FileClose(f), 0);
    EXPECT_EQ(FileClose(nullptr), EOF);
    EXPECT_EQ(Log(), "ERROR - Cannot open JF-file '" + missing + "'!\n\n");
}

TEST_F(JfTest, DamagedArchivesAreLoggedNeverFatal) {
    // Wrong magic: logged, and the directory is read regardless.
    std::string wrong = dir / "wrong.jf";
    WriteFile(wrong, std::string("JUNK") + Word(9) + "x" + "n" + std::string(1, '\0') + Word(8) + Word(1));
    JfInitialize(wrong.c_str());
    EXPECT_TRUE(JfLoaded());
    EXPECT_EQ(Log(), "ERROR - The JF-file '" + wrong + "' is an invalid file-type!\n\nJF initialized\n");

    // Too short for the header: read errors, no entries, not loaded.
    std::string tiny = dir / "tiny.jf";
    WriteFile(tiny, "KV");
    JfInitialize(tiny.c_str());
    EXPECT_FALSE(JfLoaded());
    EXPECT_NE(Log().find("ERROR - Cannot read from JF-file '" + tiny + "'! - "), std::string::npos);

    // A name without a terminator ends the directory; a last entry cut short keeps what was read.
    std::string cut = dir / "cut.jf";
    WriteFile(cut, std::string("KVJF") + Word(8) + "ok" + std::string(1, '\0') + Word(0) + Word(3) + "half" +
                       std::string(1, '\0') + "\x05\x00");
    JfInitialize(cut.c_str());
    std::vector<JfEntryInfo> d = JfDirectory();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[1].name, "half");
    EXPECT_EQ(d[1].offset, 5u);
    EXPECT_EQ(d[1].size, 0u);

    // 255 bytes without a zero: the directory stops there.
    std::string longname = dir / "long.jf";
    WriteFile(longname, std::string("KVJF") + Word(8) + std::string(300, 'n'));
    JfInitialize(longname.c_str());
    EXPECT_FALSE(JfLoaded());

    // Entries pointing past the end of the archive read nothing.
    std::string beyond = dir / "beyond.jf";
    WriteFile(beyond,
              std::string("KVJF") + Word(8) + "far" + std::string(1, '\0') + Word(1000000) + Word(50));
    JfInitialize(beyond.c_str());
    FILE* f = FileOpen("far", "rb");
    ASSERT_NE(f, nullptr);
    char buffer[64];
    EXPECT_EQ(FileRead(buffer, 1, 64, f), 0u);
    EXPECT_EQ(FileClose(f), 0);
}

}  // namespace
