// Compiled scripts at run time: the guards name the source line when the
// line map is beside the file (and only then, and only a map that matches),
// the demo's script behaves as the game expects, and the examples of
// docs/script-language.md compile cleanly and do what they say.
#include <fstream>
#include <regex>

#include "zs.h"
#include "zstest.h"

namespace {

// Code offsets differ with every change of the compiler; the lines do not.
// What a stopped program leaves on its stack is not the point here.
std::string WithoutOffsets(const std::string& s) {
    return std::regex_replace(std::regex_replace(s, std::regex("code offset [0-9]+"), "code offset N"),
                              std::regex("finished [a-z]+ top=-?[0-9]+\n"), "");
}

std::string WithoutNameChecks(const std::string& s) {
    std::istringstream in(s);
    std::string line, kept;
    while (std::getline(in, line))
        if (line.find("checking if program name") == std::string::npos) kept += line + "\n";
    return kept;
}

const char kGuards[] = R"(program divide on init {
    var zero = 0;
    game.spare(10 / zero);
}
program remainder on init {
    var zero = 0;
    game.spare(10 % zero);
}
function deeper(n: int): int {
    return deeper(n + 1);
}
program recurse on init {
    game.spare(deeper(0));
}
program spin on init {
    var n = 0;
    while (true) { n += 1; }
}
)";

}  // namespace

TEST_F(ZsToolTest, GuardsStopTheProgramAndNameTheSourceLine) {
    const std::string withMap =
        "log: ERROR - program divide stopped at code offset N: division by zero (g.zs:3)\n"
        "log: ERROR - program remainder stopped at code offset N: remainder by zero (g.zs:7)\n"
        "log: ERROR - program recurse stopped at code offset N: call depth exceeded (g.zs:10)\n"
        "log: ERROR - program spin stopped at code offset N: instruction budget exhausted without waiting "
        "(g.zs:17)\n";
    EXPECT_EQ(WithoutOffsets(Run(kGuards, "--frames 1", "g")), withMap);

    // A map that does not match the file beside it is not believed: the
    // lines are the machine's own.
    std::string plain = std::regex_replace(withMap, std::regex(" \\(g\\.zs:[0-9]+\\)"), "");
    std::ofstream(dir / "g.scr", std::ios::app | std::ios::binary).put('\x07');  // a byte the loader skips
    EXPECT_EQ(WithoutOffsets(Calls(test_common::RunZ1tool("script run g.scr --frames 1", dir.path()).out)),
              plain);
    std::remove((dir / "g.scr.map").c_str());
    EXPECT_EQ(WithoutOffsets(Calls(test_common::RunZ1tool("script run g.scr --frames 1", dir.path()).out)),
              plain);
}

TEST_F(ZsToolTest, TheDemoScriptCompilesCleanlyAndPlaysItsPart) {
    std::string source = test_common::ReadFile(ZENDAR_SOURCE_DIR "/assets/scripts/village.zs");
    ZsOutput out = CompileZs(source);
    EXPECT_TRUE(out.ok);
    EXPECT_TRUE(out.diagnostics.empty());
    // The game folder's script is the one the build compiled from it.
    test_common::ProgramRun run = test_common::RunZ1tool(
        "script run '" ZENDAR_BIN_DIR
        "/village.scr' --start take_barrel@1 --start open_room@2 "
        "--fire click:tower_door@3 --start leave_tower@70 --start quest_complete@71 --frames 80",
        dir.path());
    EXPECT_EQ(WithoutNameChecks(run.out),
              "log: Valid script file, now parsing.:\n"
              "log: Loading program start\n"
              "log: Loading program take_barrel\nlog: and it's synchronized\n"
              "log: Loading program open_room\n"
              "log: Loading program enter_tower\nlog: and it's synchronized\n"
              "log: Loading program leave_tower\nlog: and it's synchronized\n"
              "log: Loading program quest_complete\n"
              "game 2 village.z1a 0\ngame 3  1\ngamevec 0  -1400 300 0\n"
              "game 1 Welcome to Zendar. The guard at the east gate keeps the key to the old tower. 8\n"
              "log: killing program start\nfinished start top=0\n"
              "log: match..\ngame 5 barrel 0\nlog: calling setVector on z1 object..\n"
              "worldvec 2 barrel 0 -2000 0\ngame 1 You shoulder the barrel. 4\n"
              "log: killing program take_barrel\nfinished take_barrel top=0\n"
              "log: match..\ngame 1 The best room is upstairs. Sleep well. 4\n"
              "log: killing program open_room\nfinished open_room top=0\n"
              "game 2 tower.z1a 0\ngamevec 0  1.09951e+12 1.09951e+12 1.09951e+12\n"
              "gamevec 0  -1.09951e+12 -1.09951e+12 -1.09951e+12\ngamevec 0  -320 190 0\n"
              "game 1 The old tower's hall. An old man waits between the torches. 6\n"
              "log: killing program enter_tower\nfinished enter_tower top=0\n"
              "log: match..\ngame 2 village.z1a 0\ngamevec 0  1.09951e+12 1.09951e+12 1.09951e+12\n"
              "gamevec 0  -1.09951e+12 -1.09951e+12 -1.09951e+12\ngamevec 0  2030 190 0\n"
              "game 1 Back in the yard below the tower. 5\n"
              "log: killing program leave_tower\nfinished leave_tower top=0\n"
              "log: match..\n"
              "game 1 The old lord's seal is yours and the tale of the tower is told. Thank you for playing "
              "Zendar! 12\n"
              "log: killing program quest_complete\nfinished quest_complete top=0\n");

    // What the compiler wrote, the disassembler shows as assembly that
    // assembles back to the same bytes.
    test_common::ProgramRun shown =
        test_common::RunZ1tool("script disasm '" ZENDAR_BIN_DIR "/village.scr'", dir.path());
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("program \"enter_tower\" "), std::string::npos) << shown.out;
    test_common::WriteFile(dir / "village.zasm", shown.out);
    ASSERT_EQ(test_common::RunZ1tool("script asm village.zasm again.scr", dir.path()).status, 0);
    EXPECT_EQ(test_common::ReadFile(dir / "again.scr"), test_common::ReadFile(ZENDAR_BIN_DIR "/village.scr"));
}

TEST_F(ZsToolTest, TheDocumentedExamplesCompileCleanlyAndRun) {
    std::string doc = test_common::ReadFile(ZENDAR_SOURCE_DIR "/docs/script-language.md");
    std::vector<std::string> blocks;
    for (size_t at = doc.find("```zs\n"); at != std::string::npos; at = doc.find("```zs\n", at)) {
        at += 6;
        size_t end = doc.find("```", at);
        ASSERT_NE(end, std::string::npos);
        blocks.push_back(doc.substr(at, end - at));
        at = end;
    }
    ASSERT_GE(blocks.size(), 8u);
    for (const std::string& b : blocks) {
        ZsOutput out = CompileZs(b);
        EXPECT_TRUE(out.ok) << b;
        for (const ZsDiagnostic& d : out.diagnostics)
            ADD_FAILURE() << FormatZsDiagnostic("doc", d) << "\n" << b;
    }
    auto block = [&](const std::string& name) {
        for (const std::string& b : blocks)
            if (b.find("program " + name + " ") != std::string::npos) return b;
        ADD_FAILURE() << "no example " << name;
        return std::string();
    };
    struct Example {
        const char* program;
        const char* args;
        const char* expected;
    };
    const Example examples[] = {
        {"cellar_lever", "--fire click:cellar_lever@1 --fire click:cellar_lever@50 --frames 60",
         "worldvec 1 cellar_lever 0 0 -60\nworld 4 cellar_door 0\ngame 1 Below, a door creaks open. 4\n"},
        {"nightfall", "--frames 4 --ms-per-frame 60000",
         "game 1 The sun is setting. Find a bed at the inn. 6\ngame 1 It is dark now. 4\n"
         "finished nightfall top=0\n"},
        {"miller", "--frames 3 --ms-per-frame 50",
         "worldvec 2 miller -785 100 588.75\nworldvec 2 miller -770 100 577.5\nworldvec 2 miller -755 100 "
         "566.25\n"},
        {"barrel_delivered", "--start barrel_delivered@1 --start barrel_delivered@2 --frames 3",
         "game 6 barrel_delivered 0\ngame 5 roomkey 0\n"
         "game 1 The innkeeper hands you the key to the best room. 5\n"},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.program);
        EXPECT_EQ(Run(block(e.program), e.args, e.program), e.expected);
    }
}
