#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "foundation_helpers.h"
#include "utility/basepath.h"
#include "utility/datafile.h"
#include "utility/zstring.h"

namespace {

using found_test::LogCapture;
using found_test::ReadFile;
using found_test::TempDir;
using found_test::WriteFile;

// Takes ownership of a new[]'d text for the comparison.
std::string Take(char* text) {
    if (!text) return "<null>";
    std::string s(text);
    delete[] text;
    return s;
}

class DataFileTest : public ::testing::Test {
protected:
    std::string Make(const std::string& name, const std::string& bytes) {
        std::string p = dir / name;
        WriteFile(p, bytes);
        return p;
    }
    TempDir dir;
};

TEST_F(DataFileTest, TokensAreSeparatedByBlanksTabsAndLineEnds) {
    DataFile f;
    ASSERT_TRUE(f.Open(Make("t.txt", "  a\r\n\tb  ").c_str()));
    EXPECT_EQ(Take(f.ReadToken()), "a");
    EXPECT_FALSE(f.AtEnd());
    EXPECT_EQ(Take(f.ReadToken()), "b");
    EXPECT_FALSE(f.AtEnd());
    EXPECT_EQ(Take(f.ReadToken()), "<null>");
    EXPECT_TRUE(f.AtEnd());
}

TEST_F(DataFileTest, TokenAtTheVeryEndIsStillReturned) {
    DataFile f;
    ASSERT_TRUE(f.Open(Make("t.txt", "*fog 1").c_str()));
    EXPECT_EQ(Take(f.ReadToken()), "*fog");
    EXPECT_EQ(Take(f.ReadToken()), "1");
    EXPECT_EQ(Take(f.ReadToken()), "<null>");
}

TEST_F(DataFileTest, SymbolsSplitAtParenthesesAndCommas) {
    DataFile f;
    ASSERT_TRUE(f.Open(Make("s.txt", "name(x)").c_str()));
    EXPECT_EQ(Take(f.ReadSymbol()), "name");
    EXPECT_EQ(Take(f.ReadSymbol()), "(x");
    EXPECT_EQ(Take(f.ReadSymbol()), ")");
    EXPECT_EQ(Take(f.ReadSymbol()), "<null>");
    EXPECT_TRUE(f.AtEnd());

    DataFile g;
    ASSERT_TRUE(g.Open(Make("s2.txt", " a,b , \"two words\" \"open\nnext").c_str()));
    EXPECT_EQ(Take(g.ReadSymbol()), "a");
    EXPECT_EQ(Take(g.ReadSymbol()), ",b");
    EXPECT_EQ(Take(g.ReadSymbol()), ",");
    EXPECT_EQ(Take(g.ReadSymbol()), "two words");
    EXPECT_EQ(Take(g.ReadSymbol()), "open");  // a quote left open ends at the line end
    EXPECT_EQ(Take(g.ReadSymbol()), "next");
}

TEST_F(DataFileTest, LinesSkipLeadingBlanksAndQuotes) {
    TempDir logdir;
    LogCapture capture(logdir / "demo2.txt");
    DataFile f;
    ASSERT_TRUE(f.Open(Make("l.txt", "  \"my script.z1s\" tail\r\nsecond line here\n  ").c_str()));
    EXPECT_EQ(Take(f.ReadLine()), "my script.z1s");
    EXPECT_EQ(Take(f.ReadLine()), "tail");
    EXPECT_EQ(Take(f.ReadLine()), "second line here");
    EXPECT_FALSE(f.AtEnd());
    EXPECT_EQ(Take(f.ReadLine()), "<null>");
    EXPECT_TRUE(f.AtEnd());
    EXPECT_EQ(capture.Text(), "Failed read - probably end of file\n");
}

TEST_F(DataFileTest, TextBuffersDoubleAndStayDoubled) {
    DataFile f;
    std::string longToken(50, 't');
    std::string longLine(90, 'l');
    std::string longSymbol(30, 's');
    ASSERT_TRUE(f.Open(Make("b.txt", longToken + " " + longSymbol + "\n" + longLine + "\n").c_str()));
    int token = DataFile::TokenCapacity(), symbol = DataFile::SymbolCapacity(),
        line = DataFile::LineCapacity();
    EXPECT_GE(token, 20);
    EXPECT_EQ(Take(f.ReadToken()), longToken);
    EXPECT_EQ(Take(f.ReadSymbol()), longSymbol);
    EXPECT_EQ(Take(f.ReadLine()), longLine);
    // Each capacity is a power-of-two multiple of 20 that holds the text and its terminator.
    for (int c : {DataFile::TokenCapacity(), DataFile::SymbolCapacity(), DataFile::LineCapacity()}) {
        int k = c / 20;
        EXPECT_EQ(c % 20, 0);
        EXPECT_EQ(k & (k - 1), 0);
    }
    EXPECT_GE(DataFile::TokenCapacity(), std::max(token, 51));
    EXPECT_GE(DataFile::SymbolCapacity(), std::max(symbol, 31));
    EXPECT_GE(DataFile::LineCapacity(), std::max(line, 91));
    int after = DataFile::TokenCapacity();
    DataFile g;
    ASSERT_TRUE(g.Open(Make("c.txt", "x").c_str()));
    EXPECT_EQ(Take(g.ReadToken()), "x");
    EXPECT_EQ(DataFile::TokenCapacity(), after);
}

TEST_F(DataFileTest, BinaryValuesAreLittleEndianFieldByField) {
    std::string p = dir / "bin.dat";
    {
        DataFile w;
        ASSERT_TRUE(w.Open(p.c_str(), true));
        EXPECT_TRUE(w.IsWriting());
        EXPECT_TRUE(w.WriteByte(0xAB));
        EXPECT_TRUE(w.WriteBool(true));
        EXPECT_TRUE(w.WriteShort(-2));
        EXPECT_TRUE(w.WriteInt(0x12345678));
        EXPECT_TRUE(w.WriteFloat(1.0f));
        EXPECT_TRUE(w.WriteString("Z1A"));
        EXPECT_TRUE(w.WriteInt(-1));
    }
    const unsigned char expected[] = {0xAB, 0x01, 0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00,
                                      0x80, 0x3F, 'Z',  '1',  'A',  0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(ReadFile(p), std::string(reinterpret_cast<const char*>(expected), sizeof expected));

    DataFile r;
    ASSERT_TRUE(r.Open(p.c_str()));
    EXPECT_EQ(r.Size(), 20);
    EXPECT_EQ(r.ReadByte(), 0xAB);
    EXPECT_TRUE(r.ReadBool());
    EXPECT_EQ(r.ReadShort(), -2);
    EXPECT_EQ(r.ReadInt(), 0x12345678);
    EXPECT_EQ(r.Tell(), 8);
    EXPECT_EQ(r.Size(), 20);
    EXPECT_EQ(r.Tell(), 8);  // Size keeps the position
    EXPECT_EQ(r.ReadFloat(), 1.0f);
    EXPECT_EQ(Take(r.ReadString()), "Z1A");
    EXPECT_EQ(r.ReadInt(), -1);
    EXPECT_FALSE(r.AtEnd());
    EXPECT_EQ(r.ReadInt(), 0);
    EXPECT_TRUE(r.AtEnd());
    ASSERT_TRUE(r.Seek(12));
    EXPECT_EQ(r.ReadChar(), 'Z');
    EXPECT_EQ(r.ReadShortLogged(), 0x4131);
}

TEST_F(DataFileTest, ShortReadsYieldZeroLogAndSetAtEnd) {
    TempDir logdir;
    LogCapture capture(logdir / "demo2.txt");
    std::string p = Make("short.dat", std::string("\x01\x02\x03\x04\x05\x06", 6));
    DataFile f;
    ASSERT_TRUE(f.Open(p.c_str()));
    ASSERT_TRUE(f.Seek(4));  // 2 bytes before the end
    EXPECT_EQ(f.ReadFloat(), 0.0f);
    EXPECT_TRUE(f.AtEnd());
    EXPECT_EQ(f.Tell(), 8);  // readjusted past the float
    EXPECT_EQ(capture.Text(),
              "ERROR reading float at pos 4, readjusting. Return value is : 0.000000\n"
              "size of symbol : 4\n");

    DataFile g;
    ASSERT_TRUE(g.Open(p.c_str()));
    g.Seek(6);
    EXPECT_EQ(g.ReadChar(), 0);
    EXPECT_EQ(g.ReadBool(), false);
    EXPECT_EQ(g.ReadShortLogged(), 0);
    EXPECT_EQ(g.ReadByte(), 0);
    EXPECT_EQ(g.ReadShort(), 0);
    EXPECT_EQ(g.ReadNonBlankChar(), 0);
    EXPECT_TRUE(g.AtEnd());
    EXPECT_EQ(capture.Text().substr(capture.Text().find("size of symbol : 4\n") + 19),
              "ReadChar returned 0\nReadByte returned 0\nReadByte returned 0\nReadChar returned 0\n");
    g.Seek(5);
    EXPECT_EQ(g.ReadShortLogged(), 0);
    EXPECT_NE(capture.Text().find("ReadByte returned 1\n"), std::string::npos);
}

TEST_F(DataFileTest, NonBlankCharSkipsSpacesOnly) {
    DataFile f;
    ASSERT_TRUE(f.Open(Make("c.txt", "   \tx").c_str()));
    EXPECT_EQ(f.ReadNonBlankChar(), '\t');
    EXPECT_EQ(f.ReadNonBlankChar(), 'x');
}

TEST_F(DataFileTest, NulTerminatedTextStopsAt255Bytes) {
    DataFile f;
    ASSERT_TRUE(f.Open(Make("s.dat", std::string(300, 'q')).c_str()));
    EXPECT_EQ(Take(f.ReadString()), std::string(255, 'q'));
    EXPECT_EQ(f.Tell(), 255);
    EXPECT_FALSE(f.AtEnd());
    EXPECT_EQ(Take(f.ReadString()), std::string(45, 'q'));  // the rest, then the end
    EXPECT_TRUE(f.AtEnd());

    // Where a text ends: its terminator (taken), the 255-byte cut (the next
    // byte stays), or the file's end (which the read then reports).
    struct Case {
        std::string bytes;
        long seek;
        std::string text;
        long after;
        bool atEnd;
    };
    const Case cases[] = {
        {std::string("ab\0cd", 5), 0, "ab", 3, false},
        {std::string(254, 'r') + '\0' + "x", 0, std::string(254, 'r'), 255, false},
        {std::string(255, 'r') + '\0', 0, std::string(255, 'r'), 255, false},
        {std::string(255, 'r'), 0, std::string(255, 'r'), 255, false},
        {std::string(254, 'r'), 0, std::string(254, 'r'), 254, true},
        {std::string("\0", 1), 0, "", 1, false},
        {"", 0, "", 0, true},
        {"abc", 9, "", 9, true},  // a seek past the end reads nothing
    };
    for (const Case& c : cases) {
        DataFile g;
        ASSERT_TRUE(g.Open(Make("t.dat", c.bytes).c_str()));
        g.Seek(c.seek);
        EXPECT_EQ(Take(g.ReadString()), c.text) << c.bytes.size() << " bytes";
        EXPECT_EQ(g.Tell(), c.after) << c.bytes.size() << " bytes";
        EXPECT_EQ(g.AtEnd(), c.atEnd) << c.bytes.size() << " bytes";
    }
}

TEST_F(DataFileTest, ReadBytesNeverAllocatesBeyondTheFile) {
    DataFile f;
    ASSERT_TRUE(f.Open(Make("b.dat", "abcdef").c_str()));
    char* block = f.ReadBytes(4);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(block, 4), "abcd");
    delete[] block;
    EXPECT_EQ(f.ReadBytes(0x7fffffff), nullptr);  // a damaged count from a file
    EXPECT_TRUE(f.AtEnd());
    DataFile g;
    ASSERT_TRUE(g.Open(Make("b2.dat", "ab").c_str()));
    EXPECT_EQ(g.ReadBytes(3), nullptr);
    EXPECT_EQ(g.ReadBytes(-1), nullptr);
}

TEST_F(DataFileTest, OpensUnderTheBasePathAndCountsOpenFiles) {
    std::string saved = GetBasePath();
    SetBasePath(dir.path().c_str());
    Make("inbase.txt", "word");
    int before = DataFile::OpenCount();
    {
        DataFile f;
        ASSERT_TRUE(f.Open("inbase.txt"));
        EXPECT_STREQ(f.Path(), "inbase.txt");  // the path as passed
        EXPECT_EQ(DataFile::OpenCount(), before + 1);
        DataFile g;
        ASSERT_TRUE(g.Open(String("inbase.txt")));
        EXPECT_EQ(DataFile::OpenCount(), before + 2);
        g.Close();
        EXPECT_EQ(DataFile::OpenCount(), before + 1);
        g.Close();  // closing twice counts once
        EXPECT_EQ(DataFile::OpenCount(), before + 1);
        EXPECT_EQ(Take(f.ReadToken()), "word");
    }
    EXPECT_EQ(DataFile::OpenCount(), before);
    SetBasePath(saved.c_str());
}

TEST_F(DataFileTest, UnopenedFileReadsNothing) {
    DataFile f;
    EXPECT_FALSE(f.Open((dir / "missing.txt").c_str()));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(Take(f.ReadToken()), "<null>");
    EXPECT_TRUE(f.AtEnd());
    EXPECT_EQ(f.ReadInt(), 0);
    EXPECT_EQ(f.ReadFloat(), 0.0f);
    EXPECT_EQ(f.ReadBytes(2), nullptr);
    EXPECT_EQ(Take(f.ReadString()), "");
    EXPECT_FALSE(f.WriteInt(1));
    EXPECT_EQ(f.Size(), 0);
}

TEST_F(DataFileTest, WritesFailOnAReadStream) {
    DataFile f;
    ASSERT_TRUE(f.Open(Make("r.dat", "x").c_str()));
    EXPECT_FALSE(f.WriteInt(5));
}

}  // namespace
