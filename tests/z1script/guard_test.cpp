// Hostile bytecode: every fault ends its own instance with one log line
// naming the program and the code offset, and nothing else is disturbed.
#include <random>

#include "scripttest.h"

namespace {

// Runs "bad" beside a well-behaved program and checks that only "bad" was
// stopped, with exactly one fault line.
struct GuardCase {
    const char* what;
    const char* body;
    const char* reason;
    unsigned offset;  // of the faulting opcode, relative to the program's code
};

}  // namespace

TEST_F(ScriptTest, FaultsEndOnlyTheirOwnInstance) {
    const GuardCase cases[] = {
        {"pop on an empty stack", "pop\npop", "stack underflow", 1},
        {"add with one value", "  const int 1\npushc 0\nadd\nadd", "stack underflow", 3},
        {"label index past the table", "label a\na:\njmp #3", "label index out of range", 0},
        {"jump before the code", "label a @ -4\njmp a", "jump outside the code", 0},
        {"jump past the end", "label a @ 100\npush1\njz a\njmp a", "jump outside the code", 3},
        {"constant index past the table", "  const int 1\npushc 1", "constant index out of range", 0},
        {"call through a missing constant", "call 4", "constant index out of range", 0},
        {"operand read past the code", "push1\n.byte 0x09", "operand past the end of the code", 1},
        {"second operand past the code", ".byte 0x08 0x00", "operand past the end of the code", 0},
        {"division by zero", "push1\npush0\ndiv", "division by zero", 2},
        {"remainder by zero", "push1\npush0\nmod", "remainder by zero", 2},
        {"random bound of zero", "push0\nrand", "random bound of zero", 1},
        {"random range of zero", "push2\npush2\nrandrange", "random range of zero", 2},
        {"integer used as a text", "  const int 99999\npushc 0\npushnull\nconcat", "not a text", 3},
        {"text jump on a non-text", "  const int 99999\npushc 0\npushc 0\njteq x\nx:", "not a text", 4},
        {"engine call on a non-text", "  const int 99999\npushc 0\npush4\npush0\nworld", "not a text", 4},
        {"runaway loop", "top:\njmp top", "instruction budget exhausted without waiting", 0},
    };
    for (const GuardCase& c : cases) {
        std::string src = std::string("program good locals=0 trigger=init\n  push5\nend\n") +
                          "program bad locals=0 trigger=init\n" + c.body + "\nend\n";
        finished_.clear();
        Load(src);
        int before = CountLogged("ERROR - program");
        Pass();
        ASSERT_EQ(finished_.size(), 2u) << c.what;
        EXPECT_EQ(CountLogged("ERROR - program"), before + 1) << c.what;
        ScriptTemplate* bad = scripts_->Templates();
        char line[200];
        std::snprintf(line, sizeof line, "ERROR - program bad stopped at code offset %u: %s",
                      bad->code_start + c.offset, c.reason);
        EXPECT_TRUE(Logged(line)) << c.what << ": expected " << line;
        EXPECT_EQ(bad->running, 0) << c.what;
        EXPECT_EQ(finished_[0].name == "good" ? finished_[0].top : finished_[1].top, 5) << c.what;
    }
}

TEST_F(ScriptTest, StackOverflowIsCaught) {
    Load("program bad locals=0 trigger=init\ntop:\n  push1\n  jmp top\nend\n");
    Pass();
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(CountLogged("ERROR - program bad stopped at code offset"), 1);
    EXPECT_EQ(CountLogged("ERROR - program bad stopped at code offset 0: stack overflow"), 1);
}

TEST_F(ScriptTest, LocalsOutsideTheStackAreCaught) {
    // A function with more parameters than there are values puts its frame
    // base below slot 0.
    Load(
        "function f params=5 frame=5\n  pushl 0\n  retv\nend\n"
        "program bad locals=0 trigger=init\n  call \"f\"\nend\n");
    Pass();
    EXPECT_TRUE(Logged("ERROR - program bad stopped at code offset 0: local outside the stack"));
    // A frame base high in the stack with a large local index (the function
    // is first in the segment, so the offset is 0).
    std::string pushes;
    for (int i = 0; i < 1000; ++i) pushes += "  push1\n";
    Load(
        "function g params=0 frame=0\n  storel 200\n  ret\nend\n"
        "program bad2 locals=0 trigger=init\n" +
        pushes + "  call \"g\"\nend\n");
    Pass();
    EXPECT_EQ(CountLogged("ERROR - program bad2 stopped at code offset"), 1);
    EXPECT_TRUE(Logged("ERROR - program bad2 stopped at code offset 0: local outside the stack")) << AllLog();
}

TEST_F(ScriptTest, CallDepthIsBounded) {
    Load(
        "function f params=0 frame=0\n  call \"f\"\nend\n"
        "program bad locals=0 trigger=init\n  call \"f\"\nend\n");
    Pass();
    EXPECT_EQ(CountLogged("ERROR - program bad stopped at code offset 0: call depth exceeded"), 1);
    EXPECT_EQ(scripts_->RunningCount(), 0);
}

TEST_F(ScriptTest, AFrameThatWouldLeaveTheStackIsRefused) {
    std::string pushes;
    for (int i = 0; i < 1020; ++i) pushes += "  push1\n";
    // The program's code follows the function's two bytes.
    Load(
        "function f params=0 frame=200\n  push1\n  retv\nend\n"
        "program bad locals=0 trigger=init\n" +
        pushes + "  call \"f\"\nend\n");
    Pass();
    EXPECT_EQ(CountLogged("ERROR - program bad stopped at code offset 1022: call frame outside the stack"), 1)
        << AllLog();
}

TEST_F(ScriptTest, BudgetIsPerRunSoLongWorkCanSpreadOverFrames) {
    // 600,000 loop rounds of 4 instructions each exceed one run's budget, but
    // a sleep every 100,000 rounds gives the machine back in time.
    Load(
        "program worker locals=1 trigger=init\n"
        "  const int 100000\n  const int 6\n"
        "outer:\n  push0\n  storel 0\n"
        "inner:\n  addl 0 1\n  pushl 0\n  pushc 0\n  jlt inner\n"
        "  push0\n  sleep\n  pushl 1\n  push1\n  add\n  dup\n  storel 1\n  pushc 1\n  jlt outer\n"
        "  pushl 1\nend\n");
    for (int i = 0; i < 10 && finished_.empty(); ++i) {
        clock_.ms += 16;
        Pass();
    }
    EXPECT_EQ(CountLogged("ERROR"), 0);
    ASSERT_EQ(finished_.size(), 1u);
}

TEST_F(ScriptTest, RunawayTextsFailTheirInstruction) {
    // Doubling a text exceeds the longest text before it can eat the heap.
    Load(
        "program bad locals=1 trigger=init\n  const text \"abcdefghijklmnop\"\n  pushc 0\n  storel 0\n"
        "top:\n  pushl 0\n  pushl 0\n  concat\n  storel 0\n  jmp top\nend\n");
    Pass();
    EXPECT_EQ(CountLogged("ERROR - program bad stopped at code offset"), 1);
    EXPECT_EQ(CountLogged("ERROR - program bad stopped at code offset 8: text too long"), 1) << AllLog();
}

TEST_F(ScriptTest, RandomBytecodeNeverCrashesOrHangs) {
    // Programs and functions of random bytes, with random constants and
    // labels, run for a few passes each with many instances alive.
    std::mt19937 rng(12345);
    for (int round = 0; round < 40; ++round) {
        std::vector<ScriptRecord> records;
        for (int r = 0; r < 4; ++r) {
            ScriptRecord rec;
            rec.type = r < 2 ? kScriptFunctionRecord : kScriptProgramRecord;
            rec.name = (r < 2 ? "f" : "p") + std::to_string(r);
            rec.param_count = rng() % 4;
            rec.frame_size = rng() % 8;
            rec.local_count = rng() % 8;
            rec.trigger = kTriggerInit;
            rec.synchronized = rng() % 2;
            int constants = rng() % 6;
            for (int c = 0; c < constants; ++c) {
                ScriptConstantEntry e;
                e.type = rng() % 5;
                e.integer = static_cast<int32_t>(rng() % 8);
                e.number = static_cast<float>(rng() % 1000) / 7.0f;
                e.text = (rng() % 2) ? "f0" : "p*";
                rec.constants.push_back(e);
            }
            int code_size = 1 + rng() % 300;
            int labels = rng() % 6;
            for (int l = 0; l < labels; ++l)
                rec.labels.push_back(static_cast<int32_t>(rng() % (code_size + 20)) - 10);
            for (int b = 0; b < code_size; ++b) {
                // Bias toward opcodes that do something.
                rec.code.push_back(static_cast<uint8_t>(rng() % 3 ? rng() % 0x70 : rng() % 256));
            }
            records.push_back(rec);
        }
        Load("");  // reset
        LoadFile(WriteRecords(records));
        for (int pass = 0; pass < 5; ++pass) {
            clock_.ms += 50;
            scripts_->StartByName("p3");
            scripts_->FireClick("p2");
            Pass();
        }
        EXPECT_LE(scripts_->RunningCount(), 64);
    }
}

TEST_F(ScriptTest, LoopsOfLoggingOrEngineCallsStopEarly) {
    // Each missing-function call writes a log line; a loop of them is
    // stopped after about a thousand instead of a million lines.
    Load("program bad locals=0 trigger=init\ntop:\n  call \"nowhere\"\n  jmp top\nend\n");
    Pass();
    int lines = CountLogged("ERROR - function nowhere was not found in VM");
    EXPECT_GE(lines, 900);
    EXPECT_LE(lines, 1000);
    EXPECT_EQ(CountLogged("ERROR - program bad stopped at code offset"), 1);
    EXPECT_TRUE(
        Logged("ERROR - program bad stopped at code offset 2: instruction budget exhausted without waiting"));
}

TEST_F(ScriptTest, LiveInstancesAreBounded) {
    Load("program x locals=0\n  wait\nend\n");
    for (int i = 0; i < kScriptMaxInstances + 5; ++i) scripts_->StartByName("x");
    EXPECT_EQ(scripts_->RunningCount(), kScriptMaxInstances);
    EXPECT_EQ(CountLogged("ERROR - cannot start program x: 1000 programs are running"), 5);
    Pass();
    EXPECT_EQ(scripts_->Templates()->running, kScriptMaxInstances);
}

TEST_F(ScriptTest, OnePassRunsABoundedNumberOfInstructions) {
    // Thirty runaway instances would cost thirty million instructions in one
    // frame; the pass stops after twenty million and the rest run next time.
    Load("program spin locals=0\ntop:\n  jmp top\nend\n");
    for (int i = 0; i < 30; ++i) scripts_->StartByName("spin");
    Pass();
    EXPECT_EQ(CountLogged("ERROR - program spin stopped"), 20);
    EXPECT_EQ(scripts_->RunningCount(), 10);
    Pass();
    EXPECT_EQ(CountLogged("ERROR - program spin stopped"), 30);
    EXPECT_EQ(scripts_->RunningCount(), 0);
}

TEST_F(ScriptTest, RandomFilesLoadAndRunSafely) {
    // Whatever the bytes, loading ends (at the end of the file or at a code
    // size that does not fit) and whatever loaded runs within its budgets.
    std::mt19937 rng(99);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bytes(rng() % 400);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng() % 4 ? rng() % 8 : rng());
        int overflows = CountLogged("ERROR - Code segment too small!!");
        LoadFile(WriteBytes(bytes));
        // No machine only after a capacity failure, never silently.
        EXPECT_EQ(scripts_->VM() == nullptr,
                  CountLogged("ERROR - Code segment too small!!") == overflows + 1);
        EXPECT_LT(scripts_->CodeUsed(), kScriptCodeSegmentSize);
        for (int pass = 0; pass < 3; ++pass) {
            clock_.ms += 100;
            scripts_->StartByName("a");
            Pass();
        }
        EXPECT_LE(scripts_->RunningCount(), kScriptMaxInstances);
    }
}

TEST_F(ScriptTest, FusedCallsAndGuardsStopAtTheInstructionThatFaults) {
    // An argument worked out from a local, then the call, run as one step,
    // and so do a compare and the return of a local where it does not jump;
    // each guard still stops the program at its own instruction. The
    // faulting function comes first in the code, at offset 0.
    std::string pushes;
    for (int i = 0; i < 1018; ++i) pushes += "  push1\n";
    struct Case {
        const char* what;
        std::string source;
        const char* reason;
        bool inProgram;  // the offset is the program's, not the first function's
        unsigned offset;
    };
    const Case cases[] = {
        {"call depth",
         "function r params=1 frame=1\n  pushl 1\n  push1\n  add\n  call \"r\"\n  retv\nend\n"
         "program bad locals=0 trigger=init\n  push0\n  call \"r\"\nend\n",
         "call depth exceeded", false, 4},
        {"local below the stack",
         "function g params=3 frame=3\n  pushl 0\n  push1\n  sub\n  call \"g\"\n  retv\nend\n"
         "program bad locals=0 trigger=init\n  call \"g\"\nend\n",
         "local outside the stack", false, 0},
        {"frame past the stack",
         "function big params=1 frame=200\n  push1\n  retv\nend\n"
         "program bad locals=1 trigger=init\n" +
             pushes + "  pushl 0\n  push1\n  add\n  call \"big\"\nend\n",
         "call frame outside the stack", true, 1022},
        {"local past the stack in a guard's return",
         "function h params=1 frame=1\n  pushl 1\n  push0\n  jlt x\n  pushl 250\n  retv\nx:\n  push1\n"
         "  retv\nend\nprogram bad locals=0 trigger=init\n" +
             pushes + "  push1\n  call \"h\"\nend\n",
         "local outside the stack", false, 5},
    };
    for (const Case& c : cases) {
        Load(c.source);
        int before = CountLogged("ERROR - program bad stopped");
        Pass();
        char line[200];
        std::snprintf(line, sizeof line, "ERROR - program bad stopped at code offset %u: %s",
                      (c.inProgram ? scripts_->Templates()->code_start : 0) + c.offset, c.reason);
        EXPECT_EQ(CountLogged("ERROR - program bad stopped"), before + 1) << c.what;
        EXPECT_TRUE(Logged(line)) << c.what << ": expected " << line << "\n" << AllLog();
    }
    // A missing function is logged and leaves the argument on the stack.
    EXPECT_EQ(RunMain("  pushl 0\n  push2\n  sub\n  call \"nowhere\"", "locals=1"), -2);
    EXPECT_TRUE(Logged("ERROR - function nowhere was not found in VM"));
    // A guard's return outside any call ends the program.
    EXPECT_EQ(RunMain("  pushl 0\n  push1\n  jge x\n  pushl 0\n  retv\nx:\n  push5", "locals=1"), 0);
    EXPECT_TRUE(Logged("Return without any prog callstack"));
}

TEST_F(ScriptTest, BudgetEndsAtTheSameInstructionThroughFusedCallsAndReturns) {
    // Eleven instructions a round (pushl push1 add call; in f pushl push0
    // jlt, not jumping, pushl retv; storel jmp); whatever the budget, the
    // program stops at the instruction after it, and that one is counted.
    const char* source =
        "function f params=1 frame=1\n  pushl 1\n  push0\n  jlt x\n  pushl 1\n  retv\nx:\n  push0\n  "
        "retv\nend\n"
        "program bad locals=1 trigger=init\ntop:\n  pushl 0\n  push1\n  add\n  call \"f\"\n  storel 0\n"
        "  jmp top\nend\n";
    const unsigned inProgram[11] = {0, 2, 3, 4, ~0u, ~0u, ~0u, ~0u, ~0u, 6, 8};  // offsets; ~0u: in f
    const unsigned inFunction[11] = {0, 0, 0, 0, 0, 2, 3, 5, 7, 0, 0};
    for (uint32_t budget = 5000; budget < 5011; ++budget) {
        Load(source);
        scripts_->VM()->SetInstructionBudget(budget);
        Pass();
        const unsigned k = budget % 11;
        const unsigned offset =
            inProgram[k] == ~0u ? inFunction[k] : scripts_->Templates()->code_start + inProgram[k];
        char line[200];
        std::snprintf(
            line, sizeof line,
            "ERROR - program bad stopped at code offset %u: instruction budget exhausted without waiting",
            offset);
        EXPECT_TRUE(Logged(line)) << budget << ": expected " << line << "\n" << AllLog();
        EXPECT_EQ(scripts_->VM()->InstructionCount(), budget + 1u) << budget;
    }
}
