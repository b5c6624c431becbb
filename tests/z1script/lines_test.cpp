// The line map beside a compiled file: what reads as one, and the line each
// code offset maps to once loaded at a base offset.
#include <gtest/gtest.h>

#include "common/test_files.h"
#include "z1script/scriptlines.h"

TEST(ScriptLineMapTest, ReadsOnlyWellFormedMaps) {
    const std::string head = "zendar script line map\nscript 12 345\nsource quest.zs\ncode 20\n";
    struct Case {
        const char* what;
        std::string text;
        bool ok;
    };
    const Case cases[] = {
        {"entries rising inside the code", head + "0 3\n5 4\n19 9\n", true},
        {"no entries", head, true},
        {"another header", "zendar line map\nscript 12 345\nsource q\ncode 20\n0 3\n", false},
        {"no source", "zendar script line map\nscript 12 345\nsource \ncode 20\n", false},
        {"a size that is no number", "zendar script line map\nscript 1x2 345\nsource q\ncode 20\n", false},
        {"offsets not rising", head + "5 3\n5 4\n", false},
        {"an offset past the code", head + "0 3\n20 4\n", false},
        {"line 0", head + "0 0\n", false},
        {"a negative line", head + "0 -3\n", false},
        {"a word too big", head + "0 4294967296\n", false},
        {"an entry without its line", head + "7\n", false},
    };
    for (const Case& c : cases) {
        uint32_t size = 0, hash = 0, code = 0;
        std::string source;
        std::vector<ScriptLineEntry> entries;
        EXPECT_EQ(ParseScriptLineMap(c.text, &size, &hash, &source, &code, &entries), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(size, 12u);
            EXPECT_EQ(hash, 345u);
            EXPECT_EQ(source, "quest.zs");
            EXPECT_EQ(code, 20u);
        }
    }
}

TEST(ScriptLineMapTest, LoadedAtABaseItNamesTheLineOfEveryOffset) {
    test_common::TempDir dir("lines_");
    const std::string script = dir / "q.scr";
    ASSERT_TRUE(test_common::WriteFile(script, "any compiled bytes"));
    std::string error;
    ASSERT_TRUE(ScriptLineMap::Write(script.c_str(), "q.zs", {{0, 3}, {5, 4}, {9, 12}}, 14, &error)) << error;
    ScriptLineMap map;
    ASSERT_TRUE(map.LoadFor(script.c_str(), 100));
    EXPECT_EQ(map.Source(), "q.zs");
    const std::pair<uint32_t, int> lines[] = {{99, 0},  {100, 3},  {104, 3},  {105, 4},
                                              {108, 4}, {109, 12}, {113, 12}, {114, 0}};
    for (const auto& l : lines) EXPECT_EQ(map.LineAt(l.first), l.second) << l.first;
    // The compiled file changed since: the map is stale.
    ASSERT_TRUE(test_common::WriteFile(script, "other compiled bytes"));
    EXPECT_FALSE(map.LoadFor(script.c_str(), 0));
    EXPECT_EQ(map.LineAt(0), 0);
}
