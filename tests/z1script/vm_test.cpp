// The virtual machine: every opcode group, calls and returns, engine calls.
#include <cmath>
#include <set>

#include "imports/gameimports.h"
#include "scripttest.h"

namespace {

class Recorder {
public:
    std::vector<std::string> calls;
};

// The engine calls as the game's import table receives them.
class RecImports : public NullImports {
public:
    explicit RecImports(Recorder* r) : r_(r) {}
    void WorldCall(int code, const char* name, int value) override {
        r_->calls.push_back("world " + std::to_string(code) + " " + name + " " + std::to_string(value));
    }
    void WorldVectorCall(int code, const char* name, const VECTOR& v) override {
        char buf[128];
        std::snprintf(buf, sizeof buf, "worldvec %d %s %g %g %g", code, name, v.x, v.y, v.z);
        r_->calls.push_back(buf);
    }
    void GameCall(int code, const char* text, int value) override {
        r_->calls.push_back("game " + std::to_string(code) + " " + text + " " + std::to_string(value));
    }
    void GameVectorCall(int code, const char* text, const VECTOR& v) override {
        char buf[128];
        std::snprintf(buf, sizeof buf, "gamevec %d %s %g %g %g", code, text, v.x, v.y, v.z);
        r_->calls.push_back(buf);
    }

private:
    Recorder* r_;
};

}  // namespace

TEST_F(ScriptTest, PushTwoPushThreeAddLeavesFive) {
    // The bare bytes 0x3C 0x3D 0x07, followed in the segment by a 0x00.
    ScriptRecord p;
    p.type = kScriptProgramRecord;
    p.name = "main";
    p.trigger = kTriggerInit;
    p.code = {0x3C, 0x3D, 0x07};
    ScriptRecord f;
    f.type = kScriptFunctionRecord;
    f.name = "pad";
    f.code = {0x00};
    LoadFile(WriteRecords({p, f}));
    Pass();
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].name, "main");
    EXPECT_EQ(finished_[0].top, 5);
    EXPECT_TRUE(Logged("killing program main"));
}

TEST_F(ScriptTest, IntegerArithmetic) {
    const char* k = "  const int 300\n  const int -300\n  const int -7\n  const int 2\n";
    EXPECT_EQ(RunMain(std::string(k) + "pushc 0\nmod255"), 45);
    EXPECT_EQ(RunMain(std::string(k) + "pushc 1\nmod255"), -45);
    EXPECT_EQ(RunMain(std::string(k) + "pushc 2\npushc 3\ndiv"), -3);  // toward zero
    EXPECT_EQ(RunMain(std::string(k) + "pushc 2\npushc 3\nmod"), -1);  // sign of a
    EXPECT_EQ(RunMain(std::string(k) + "pushc 2\npushc 3\nmul"), -14);
    EXPECT_EQ(RunMain(std::string(k) + "pushc 2\npushc 3\nsub"), -9);
    EXPECT_EQ(RunMain(std::string(k) + "pushc 2\npushc 3\nadd"), -5);
    EXPECT_EQ(RunMain(std::string(k) + "pushc 2\nneg"), 7);
    EXPECT_EQ(RunMain("push0\npush1\npush2\npush3\npush4\npush5\nadd\nadd\nadd\nadd\nadd"), 15);
    // Overflow wraps instead of being undefined.
    EXPECT_EQ(RunMain("  const int 2147483647\npushc 0\npush1\nadd"), INT32_MIN);
    EXPECT_EQ(RunMain("  const int -2147483648\npushc 0\nneg"), INT32_MIN);
    EXPECT_EQ(RunMain("  const int -2147483648\n  const int -1\npushc 0\npushc 1\ndiv"), INT32_MIN);
    EXPECT_EQ(RunMain("  const int -2147483648\n  const int -1\npushc 0\npushc 1\nmod"), 0);
}

TEST_F(ScriptTest, LocalsAddImmediateAndPartialSlotMoves) {
    // addl adds the unsigned operand byte to word 0 of the local.
    EXPECT_EQ(RunMain("push2\nstorel 0\naddl 0 200\npushl 0", "locals=1"), 202);
    EXPECT_EQ(RunMain("push3\nstorel.28 0\npushl.23 0", "locals=1"), 3);
    EXPECT_EQ(RunMain("push4\nstorel.32 0\npushl.2d 0", "locals=1"), 4);
    EXPECT_EQ(RunMain("push5\nstorel.63 0\npushlx 0", "locals=1"), 5);
    // A push writes word 0 only; the other words of the slot keep what was there.
    const ScriptValue& slot = RunMainWaiting("  const vector 1 2 3\npushcv 0\npop\npush1")->stack[1];
    EXPECT_EQ(slot.w[0], 1u);
    EXPECT_EQ(WordToFloat(slot.w[1]), 2.0f);
}

TEST_F(ScriptTest, StackShuffles) {
    EXPECT_EQ(RunMain("push1\npush2\nswap"), 1);
    EXPECT_EQ(RunMain("push1\npush2\nswap\npop"), 2);
    EXPECT_EQ(RunMain("push3\ndup\nadd"), 6);
    EXPECT_EQ(RunMain("push3\npushnull"), 0);
    // dup and swap move all 12 bytes.
    const ScriptValue* S = RunMainWaiting("  const vector 1 2 3\npushcv 0\ndup\npush0\nswap")->stack;
    EXPECT_EQ(WordToFloat(S[3].w[2]), 3.0f);
    EXPECT_EQ(S[2].w[0], 0u);
    EXPECT_EQ(WordToFloat(S[1].w[1]), 2.0f);
}

TEST_F(ScriptTest, JumpsPopTheirOperands) {
    // Each case leaves 1 when the jump was taken and 2 when not, and checks
    // that the compared values were popped (the stack holds only the result).
    struct Case {
        const char* setup;
        const char* jump;
        int32_t expect;
    } cases[] = {
        {"push0", "jz", 1},         {"push1", "jz", 2},         {"push0", "jz.0e", 1},
        {"push1", "jnz", 1},        {"push0", "jnz", 2},        {"push1", "jnz.0f", 1},
        {"push2\npush2", "jeq", 1}, {"push2\npush3", "jeq", 2}, {"push3\npush2", "jgt", 1},
        {"push2\npush3", "jgt", 2}, {"push2\npush3", "jlt", 1}, {"push3\npush3", "jle", 1},
        {"push4\npush3", "jle", 2}, {"push3\npush3", "jge", 1}, {"push2\npush3", "jge", 2},
        {"push2\npush3", "jne", 1}, {"push3\npush3", "jne", 2},
    };
    for (const Case& c : cases) {
        std::string body = std::string(c.setup) + "\n" + c.jump + " yes\npush2\njmp out\nyes:\npush1\nout:\n";
        RunMain(body + "push0\nadd");
        ASSERT_EQ(finished_.size(), 1u);
        EXPECT_EQ(finished_[0].top, c.expect) << c.setup << " " << c.jump;
        EXPECT_EQ(scripts_->Templates()->local_count + 1, 1);
    }
    // Signed comparison.
    EXPECT_EQ(RunMain("  const int -1\npushc 0\npush1\njlt yes\npush2\njmp out\nyes:\npush1\nout:"), 1);
}

TEST_F(ScriptTest, TextJumpsCompareBytesAndPopBoth) {
    std::string k = "  const text \"ab\"\n  const text \"cd\"\n  const text \"ab\"\npush5\n";
    auto run = [&](const std::string& body) {
        finished_.clear();
        Load("program main locals=0 trigger=init\n" + k + body +
             "\npush2\njmp out\nyes:\npush1\nout:\nend\n");
        Pass();
        // The 5 under the texts is still directly below the result.
        EXPECT_EQ(scripts_->Templates()->stack[1].w[0], 5u);
        return finished_.at(0).top;
    };
    EXPECT_EQ(run("pushc 0\npushc 1\njteq yes"), 2);
    EXPECT_EQ(run("pushc 0\npushc 2\njteq yes"), 1);
    EXPECT_EQ(run("pushc 0\npushc 1\njtne yes"), 1);
    EXPECT_EQ(run("pushc 0\npushc 2\njtne yes"), 2);
    EXPECT_EQ(run("pushnull\npushnull\njteq yes"), 1);
}

TEST_F(ScriptTest, FloatsAndConversions) {
    EXPECT_EQ(RunMainFloat("  const float 1.5\n  const float 0.25\npushc 0\npushc 1\nfadd"), 1.75f);
    EXPECT_EQ(RunMainFloat("  const float 1.5\n  const float 0.25\npushc 0\npushc 1\nfsub"), 1.25f);
    EXPECT_EQ(RunMainFloat("  const float 1.5\n  const float 0.25\npushc 0\npushc 1\nfmul"), 0.375f);
    EXPECT_EQ(RunMainFloat("  const float 1.5\n  const float 0.25\npushc 0\npushc 1\nfdiv"), 6.0f);
    EXPECT_EQ(RunMainFloat("  const float 1.5\npushc 0\nfneg"), -1.5f);
    EXPECT_EQ(RunMainFloat("  const int -3\npushc 0\nitof"), -3.0f);
    EXPECT_EQ(RunMain("  const float -2.7\npushc 0\nftoi"), -2);
    EXPECT_EQ(RunMain("  const float 2.7\npushc 0\nftoi"), 2);
    // Out of range and NaN do not hit an undefined conversion.
    EXPECT_EQ(RunMain("  const float 1e20\npushc 0\nftoi"), INT32_MAX);
    EXPECT_EQ(RunMain("  const float bits:0x7fc00000\npushc 0\nftoi"), 0);
    EXPECT_TRUE(std::isinf(RunMainFloat("  const float 1\n  const float 0\npushc 0\npushc 1\nfdiv")));
}

TEST_F(ScriptTest, TextsMadeAtRunTime) {
    EXPECT_EQ(RunMainText("  const int -42\npushc 0\nitos"), "-42");
    EXPECT_EQ(RunMainText("  const float 2.5\npushc 0\nftos"), "2.500000");
    EXPECT_EQ(RunMain("  const text \"  -42abc\"\npushc 0\nstoi"), -42);
    EXPECT_EQ(RunMain("  const text \"+7\"\npushc 0\nstoi"), 7);
    EXPECT_EQ(RunMain("  const text \"99999999999\"\npushc 0\nstoi"), INT32_MAX);
    EXPECT_EQ(RunMainFloat("  const text \" 3.25e1x\"\npushc 0\nstof"), 32.5f);
    EXPECT_EQ(RunMainText("  const text \"ab\"\n  const text \"cd\"\npushc 0\npushc 1\nconcat"), "abcd");
    EXPECT_EQ(RunMainText("  const text \"ab\"\npushnull\npushc 0\nconcat"), "ab");
    EXPECT_EQ(RunMainText("  const text \"ab\"\npushc 0\npushnull\nconcat"), "ab");
    EXPECT_EQ(RunMainText("pushnull\npushnull\nconcat"), "(null)");
    EXPECT_EQ(RunMain("pushnull\nstoi"), 0);
    // Building the same text again reuses its handle.
    EXPECT_EQ(RunMain("  const int 5\npushc 0\nitos\npushc 0\nitos\njteq yes\npush0\nyes:\npush1"), 1);
    EXPECT_EQ(scripts_->Texts().Count(), 1u);
    const std::pair<int32_t, const char*> printed[] = {
        {INT32_MIN, "-2147483648"}, {INT32_MAX, "2147483647"}, {0, "0"}, {-1, "-1"}, {1000000, "1000000"}};
    for (const auto& p : printed)
        EXPECT_EQ(RunMainText("  const int " + std::to_string(p.first) + "\npushc 0\nitos"), p.second);
}

TEST_F(ScriptTest, EqualTextsShareOneHandleHoweverManyThereAre) {
    // "0" .. "999" printed twice: the second round finds every one.
    EXPECT_EQ(RunMain("  const int 1000\n  const int 2\nround:\npush0\nstorel 0\nnext:\npushl 0\nitos\npop\n"
                      "addl 0 1\npushl 0\npushc 0\njlt next\naddl 1 1\npushl 1\npushc 1\njlt round\npushl 1",
                      "locals=2"),
              2);
    EXPECT_EQ(scripts_->Texts().Count(), 1000u);
}

TEST_F(ScriptTest, VectorsMoveWholeSlotsAndSingleWords) {
    std::string k = "  const vector 1 2 3\n  const float 7\n";
    const ScriptValue* S =
        RunMainWaiting(k + "pushcv 0\nstorelv 0\npushc 1\nstorely 0\npushc 1\nstorelz 1\npushlv 0",
                       "locals=2")
            ->stack;
    EXPECT_EQ(WordToFloat(S[0].w[0]), 1.0f);
    EXPECT_EQ(WordToFloat(S[0].w[1]), 7.0f);
    EXPECT_EQ(WordToFloat(S[0].w[2]), 3.0f);
    EXPECT_EQ(WordToFloat(S[1].w[2]), 7.0f);
    EXPECT_EQ(WordToFloat(S[3].w[1]), 7.0f);  // pushlv copied all 12 bytes
    EXPECT_EQ(WordToFloat(RunMain(k + "pushcv 0\nstorelv 0\npushly 0", "locals=1")), 2.0f);
    EXPECT_EQ(WordToFloat(RunMain(k + "pushcv 0\nstorelv 0\npushlz 0", "locals=1")), 3.0f);
    S = RunMainWaiting(k + "pushc 1\npush0\nitof\npushc 1\nfneg\nvec")->stack;
    EXPECT_EQ(scripts_->Running()->top, 1);
    EXPECT_EQ(WordToFloat(S[1].w[0]), 7.0f);
    EXPECT_EQ(WordToFloat(S[1].w[1]), 0.0f);
    EXPECT_EQ(WordToFloat(S[1].w[2]), -7.0f);
}

TEST_F(ScriptTest, RandomOpcodesStayInTheirRanges) {
    std::set<int32_t> seen;
    for (int i = 0; i < 60; ++i) {
        int32_t v = RunMain("  const int 8\npush5\npushc 0\nrandrange");
        EXPECT_GE(v, 5);
        EXPECT_LE(v, 7);
        seen.insert(v);
        int32_t r = RunMain("push3\nrand");
        EXPECT_GE(r, 0);
        EXPECT_LE(r, 2);
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(ScriptTest, UnassignedOpcodesAreSingleByteNoOperations) {
    // 0x1A would swallow the following push if it took an operand.
    EXPECT_EQ(RunMain("push1\nnop.1a\npush2\nadd\nnop.70\nnop.ff\nnop"), 3);
    // Reserved engine calls pop three values and do nothing else.
    EXPECT_EQ(RunMain("push4\npush1\npush2\npush3\necall.45\npush1\npush2\npush3\necall.55"), 4);
}

TEST_F(ScriptTest, EngineCallsReachTheWorldAndTheGame) {
    Recorder rec;
    RecImports imports(&rec);
    ScopedGameImports scope(&imports);
    finished_.clear();
    delete scripts_;
    scripts_ = nullptr;
    std::vector<ScriptRecord> records = Assemble(
        "program main locals=0 trigger=init\n"
        "  const text \"door1\"\n  const int 77\n  const vector 1 2 3\n"
        "  pushc 0\n  push4\n  pushc 1\n  world\n"
        "  pushc 0\n  push2\n  pushcv 2\n  worldvec\n"
        "  pushnull\n  push4\n  pushc 1\n  game\n"
        "  pushc 0\n  push0\n  pushcv 2\n  gamevec\n"
        "  push1\nend\n");
    std::string path = WriteRecords(records);
    scripts_ = new ScriptSystem;
    scripts_->Load(path.c_str());
    Pass();
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"world 4 door1 77", "worldvec 2 door1 1 2 3", "game 4  77",
                                                   "gamevec 0 door1 1 2 3"}));
    EXPECT_TRUE(Logged("calling setVector on z1 object.."));
    // The three values were popped each time.
    EXPECT_EQ(scripts_->Templates()->running, 0);
}

TEST_F(ScriptTest, DefaultEngineCallsLogAndApplySettings) {
    settings_.movementSpeed = 1050.0f;
    settings_.collisionOn = 0;
    RunMain(
        "  const int 600\n  const text \"x\"\npushc 1\npush4\npushc 0\ngame\npushc 1\npush3\npush1\ngame\n"
        "pushc 1\npush5\npush0\nworld");
    EXPECT_EQ(settings_.movementSpeed, 600.0f);
    EXPECT_EQ(settings_.collisionOn, 1);
    EXPECT_TRUE(Logged("script game call 4 'x' (600)"));
    EXPECT_TRUE(Logged("script world call 5 on 'x' (0)"));
}

// The word under the code is handed over unread: only the calls that use a
// name or text need it to be one.
TEST_F(ScriptTest, EngineCallsThatIgnoreTheirTextTakeAnyWordThere) {
    settings_.movementSpeed = 1050.0f;
    settings_.collisionOn = 0;
    const std::string body =
        "  const int 99999\n  const int 600\n  const float 1.0\n"
        "pushc 0\npush4\npushc 1\ngame\n"                             // movement speed
        "pushc 0\npush3\npush1\ngame\n"                               // collision on
        "pushc 0\npush0\npush2\ngame\n"                               // spare integer
        "pushc 0\npush0\npush0\nworld\n"                              // world code 0: nothing
        "pushc 0\npush3\npushc 2\npushc 2\npushc 2\nvec\nworldvec\n"  // world vector code 3: nothing
        "pushc 0\npush0\npushc 2\npushc 2\npushc 2\nvec\ngamevec\n"   // camera move
        "push5";
    EXPECT_EQ(RunMain(body), 5);
    EXPECT_EQ(settings_.movementSpeed, 600.0f);
    EXPECT_EQ(settings_.collisionOn, 1);
    EXPECT_EQ(CountLogged("ERROR - program"), 0);
    EXPECT_TRUE(Logged("script game call 4 '' (600)"));
    EXPECT_TRUE(Logged("script world call 0 on '' (0)"));
    // A call that does read the name still refuses a word that is no text.
    RunMain("  const int 99999\npushc 0\npush5\npush0\ngame\npush5");
    EXPECT_TRUE(Logged("ERROR - program main stopped at code offset 4: not a text"));
}

TEST_F(ScriptTest, StartArgumentIsNullForInitProgramsAndTheNameOtherwise) {
    EXPECT_EQ(RunMain("pusharg"), 0);
    Load("program lever* locals=0\n pusharg\nend\n");
    scripts_->StartByName("lever1");
    finished_.clear();
    Pass();
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_STREQ(scripts_->Texts().Get(static_cast<uint32_t>(finished_[0].top)), "lever1");
}
