// Shared by the script-language tests: sources compiled and run with the
// built z1tool, as a modder does, in a fresh folder per test.
#ifndef ZENDAR_TESTS_ZS_ZSTEST_H
#define ZENDAR_TESTS_ZS_ZSTEST_H

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "common/run_program.h"
#include "common/test_files.h"

struct ZsDir : test_common::TempDir {
    ZsDir() : TempDir("zs_") {}
};

class ZsToolTest : public test_common::Z1toolTest<ZsDir> {
protected:
    struct Compiled {
        int status = -1;
        std::string err;  // the diagnostics
    };

    // Writes the source as NAME.zs and compiles it to NAME.scr.
    Compiled Compile(const std::string& source, const std::string& name = "t") {
        test_common::WriteFile(dir / (name + ".zs"), source);
        test_common::ProgramRun run =
            test_common::RunZ1tool("script compile " + name + ".zs " + name + ".scr", dir.path());
        return {run.status, run.err};
    }

    // Compiles (which must succeed) and runs; the printed lines without the
    // loader's and scheduler's routine log lines.
    std::string Run(const std::string& source, const std::string& args = "--frames 2",
                    const std::string& name = "t") {
        Compiled c = Compile(source, name);
        EXPECT_EQ(c.status, 0) << c.err;
        test_common::ProgramRun run =
            test_common::RunZ1tool("script run " + name + ".scr " + args, dir.path());
        EXPECT_EQ(run.status, 0) << run.err;
        return Calls(run.out);
    }

    static std::string Calls(const std::string& out) {
        std::istringstream in(out);
        std::string line, kept;
        while (std::getline(in, line)) {
            bool routine = line.compare(0, 5, "log: ") == 0 && line.compare(0, 11, "log: ERROR ") != 0 &&
                           line.compare(0, 17, "log: cannot start") != 0;
            if (!routine) kept += line + "\n";
        }
        return kept;
    }
};

#endif
