// Script assembly: the sample source, the round trip through the
// disassembler, and the assembler's error messages.
#include <random>
#include <set>

#include "common/test_files.h"
#include "imports/gameimports.h"
#include "scripttest.h"

namespace {

using test_common::ReadFile;

const std::string kSample = std::string(ZENDAR_SOURCE_DIR) + "/assets/scripts/demo.zasm";

}  // namespace

TEST_F(ScriptTest, EveryOpcodeHasItsOwnMnemonic) {
    std::set<std::string> names;
    for (int op = 0; op < 256; ++op) {
        const ScriptOpcodeInfo& info = ScriptOpcode(static_cast<uint8_t>(op));
        EXPECT_TRUE(names.insert(info.name).second) << info.name;
        std::string src = std::string("function f params=0 frame=0\n  label l\nl:\n  ") + info.name;
        if (info.operands == kOperandsLabel)
            src += " l";
        else if (info.operands == kOperandsLocalAndByte)
            src += " 3 200";
        else if (info.operands != kOperandsNone)
            src += " 7";
        std::vector<ScriptRecord> r = Assemble(src + "\nend\n");
        ASSERT_EQ(r.size(), 1u);
        ASSERT_EQ(r[0].code.size(), static_cast<size_t>(ScriptOpcodeLength(static_cast<uint8_t>(op))));
        EXPECT_EQ(r[0].code[0], op);
    }
    EXPECT_EQ(ScriptOpcodeLength(0x08), 3);
    EXPECT_EQ(ScriptOpcodeLength(0x1A), 1);
    EXPECT_EQ(ScriptOpcodeLength(0x44), 2);
}

TEST_F(ScriptTest, DisassemblyOfASmallFunction) {
    std::vector<ScriptRecord> r = Assemble(
        "function \"add two\" params=2 frame=3\n"
        "  const int 7\n  label done\n  pushl 1\n  jz done\n  pushc 0\ndone:\n  retv\nend\n"
        ".type 9\n");
    EXPECT_EQ(DisassembleScript(r),
              "function \"add two\" params=2 frame=3  ; code at 0\n"
              "  const c0 int 7\n"
              "  label L0\n"
              "  pushl 1                ; 0\n"
              "  jz L0                  ; 2\n"
              "  pushc 0                ; 4  7\n"
              "L0:\n"
              "  retv                   ; 6\n"
              "end\n\n"
              ".type 9\n\n");
}

TEST_F(ScriptTest, SampleSourceRoundTripsToIdenticalBytes) {
    std::vector<ScriptRecord> records = Assemble(ReadFile(kSample));
    ASSERT_EQ(records.size(), 4u);
    std::string first = WriteRecords(records);
    std::vector<ScriptRecord> read;
    std::string error;
    ASSERT_TRUE(ReadScriptFile(first.c_str(), &read, &error)) << error;
    std::string text = DisassembleScript(read);
    std::string second = WriteRecords(Assemble(text));
    EXPECT_EQ(ReadFile(first), ReadFile(second));
    EXPECT_FALSE(ReadFile(first).empty());
}

TEST_F(ScriptTest, OddFilesRoundTripToIdenticalBytes) {
    // Bytes no assembler would write but a file can hold: a stray record
    // type, an unknown constant type, labels off the instruction grid and
    // outside the code, a jump through a missing label, a cut-off instruction,
    // texts with control bytes, NaN and negative zero.
    ScriptRecord stray;
    stray.type = 0xEE;
    ScriptRecord f;
    f.type = kScriptFunctionRecord;
    f.name = "we\"ird\n\x01\xff";
    f.reserved_byte = 3;
    f.reserved_short = 0xFFFF;
    ScriptConstantEntry c;
    c.type = kScriptConstFloat;
    c.number = std::numeric_limits<float>::quiet_NaN();
    f.constants.push_back(c);
    c.number = -0.0f;
    f.constants.push_back(c);
    c.type = 77;
    f.constants.push_back(c);
    c.type = kScriptConstText;
    c.text = "tab\there \\ \"q\"";
    f.constants.push_back(c);
    c.type = kScriptConstVector;
    c.vector[0] = 1e-40f;  // denormal
    c.vector[1] = 3.4e38f;
    c.vector[2] = -0.1f;
    f.constants.push_back(c);
    c.type = kScriptConstInt;
    c.integer = INT32_MIN;
    f.constants.push_back(c);
    f.labels = {1, -5, 4, 100, 0, 6};
    f.code = {0x08, 0x01, 0x02, 0x09, 0x0A, 0x09, 0x40};  // addl, jmp #10, jmp, then a cut-off pushc
    ScriptRecord p;
    p.type = kScriptProgramRecord;
    p.name = "";
    p.trigger = 9;
    p.synchronized = 5;
    p.local_count = 255;
    std::vector<ScriptRecord> records = {stray, f, p, stray};
    std::string first = WriteRecords(records);
    std::vector<ScriptRecord> read;
    std::string error;
    ASSERT_TRUE(ReadScriptFile(first.c_str(), &read, &error)) << error;
    std::string text = DisassembleScript(read);
    std::vector<ScriptRecord> again;
    ASSERT_TRUE(AssembleScript(text, &again, &error)) << error << "\n" << text;
    std::string second = WriteRecords(again);
    EXPECT_EQ(ReadFile(first), ReadFile(second)) << text;
}

TEST_F(ScriptTest, RandomRecordsRoundTrip) {
    std::mt19937 rng(7);
    for (int round = 0; round < 30; ++round) {
        std::vector<ScriptRecord> records;
        for (int i = 0; i < 3; ++i) {
            ScriptRecord r;
            r.type = static_cast<uint8_t>(rng() % 3);
            if (r.type == 2) r.type = static_cast<uint8_t>(2 + rng() % 200);
            r.name = "n" + std::to_string(rng());
            r.param_count = rng() % 256;
            r.frame_size = rng() % 256;
            r.local_count = rng() % 256;
            r.trigger = rng() % 256;
            r.synchronized = rng() % 3;
            for (int k = rng() % 5; k > 0; --k) {
                ScriptConstantEntry c;
                c.type = rng() % 6;
                c.integer = static_cast<int32_t>(rng());
                uint32_t bits = rng();
                std::memcpy(&c.number, &bits, 4);
                for (float& v : c.vector) {
                    bits = rng();
                    std::memcpy(&v, &bits, 4);
                }
                c.text = std::string(rng() % 10, static_cast<char>(1 + rng() % 255));
                r.constants.push_back(c);
            }
            for (int k = rng() % 5; k > 0; --k) r.labels.push_back(static_cast<int32_t>(rng() % 64) - 8);
            for (int k = rng() % 60; k > 0; --k) r.code.push_back(static_cast<uint8_t>(rng()));
            records.push_back(r);
        }
        std::string first = WriteRecords(records);
        std::vector<ScriptRecord> read;
        std::string error;
        ASSERT_TRUE(ReadScriptFile(first.c_str(), &read, &error)) << error;
        std::string text = DisassembleScript(read);
        std::vector<ScriptRecord> again;
        ASSERT_TRUE(AssembleScript(text, &again, &error)) << error << "\n" << text;
        EXPECT_EQ(ReadFile(first), ReadFile(WriteRecords(again))) << text;
    }
}

TEST_F(ScriptTest, AssemblerReportsErrorsWithTheirLine) {
    struct Case {
        const char* source;
        const char* error;
    } cases[] = {
        {"function f\n  frob\nend\n", "line 2: unknown instruction 'frob'"},
        {"function f\n  jmp nowhere\nend\n", "line 3: label 'nowhere' is never placed"},
        {"function f\n  push1\n", "line 1: record 'f' has no end"},
        {"program p trigger=sometimes\nend\n", "line 1: bad header field 'trigger=sometimes'"},
        {"function f\n  pushl\nend\n", "line 2: pushl takes 1 operand(s)"},
        {"function f\n  pushc nothing\nend\n", "line 2: unknown constant 'nothing'"},
        {"function f\n  const text \"unterminated\nend\n", "line 2: unterminated text"},
        {"function f\n  pushl 256\nend\n", "line 2: bad operand '256'"},
        {"function f\na:\na:\nend\n", "line 3: label 'a' placed twice"},
        {"push1\n", "line 1: expected function, program or .type, found 'push1'"},
        {".type 1\n", "line 1: .type takes one record-type byte from 2 to 255"},
        // The file ends each text at its zero byte: a text holding one cannot be written.
        {"function f\n  const text \"a\\x00b\"\nend\n", "line 2: text holds a zero byte"},
        {"function f\n  pushc \"a\\x00b\"\nend\n", "line 2: text holds a zero byte"},
    };
    for (const Case& c : cases) {
        std::vector<ScriptRecord> r;
        std::string error;
        EXPECT_FALSE(AssembleScript(c.source, &r, &error)) << c.source;
        EXPECT_EQ(error, c.error) << c.source;
    }
    std::string long_text = "function f\n  const text \"" + std::string(255, 'a') + "\"\nend\n";
    std::vector<ScriptRecord> r;
    std::string error;
    EXPECT_FALSE(AssembleScript(long_text, &r, &error));
    EXPECT_EQ(error, "line 2: text longer than 254 characters");
    long_text = "function f\n  const text \"" + std::string(254, 'a') + "\"\nend\n";
    EXPECT_TRUE(AssembleScript(long_text, &r, &error)) << error;
}

TEST_F(ScriptTest, TextOperandsReuseOrAddTextConstants) {
    std::vector<ScriptRecord> r = Assemble(
        "function f\n  const int 1\n  const t text \"x\"\n  pushc \"x\"\n  call \"g\"\n  pushc \"g\"\n  "
        "pushc t\nend\n");
    ASSERT_EQ(r[0].constants.size(), 3u);
    EXPECT_EQ(r[0].constants[2].text, "g");
    EXPECT_EQ(r[0].code, (std::vector<uint8_t>{0x40, 1, 0x44, 2, 0x40, 2, 0x40, 1}));
}

namespace {

class Recorder : public NullImports {
public:
    std::vector<std::string> calls;
    void Add(const char* kind, int code, const char* text, const std::string& rest) {
        calls.push_back(std::string(kind) + " " + std::to_string(code) + " " + text + " " + rest);
    }
    void WorldCall(int code, const char* name, int value) override {
        Add("world", code, name, std::to_string(value));
    }
    void WorldVectorCall(int code, const char* name, const VECTOR& v) override {
        Add("worldvec", code, name, std::to_string(static_cast<int>(v.y)));
    }
    void GameCall(int code, const char* text, int value) override {
        Add("game", code, text, std::to_string(value));
    }
    void GameVectorCall(int code, const char* text, const VECTOR& v) override {
        Add("gamevec", code, text, std::to_string(static_cast<int>(v.y)));
    }
};

}  // namespace

TEST_F(ScriptTest, SampleScriptPlaysThrough) {
    Recorder rec;
    ScopedGameImports scope(&rec);
    std::string path = WriteRecords(Assemble(ReadFile(kSample)));
    NewSystem();
    scripts_->Load(path.c_str());
    ASSERT_EQ(scripts_->RunningCount(), 1);
    Pass();
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"game 2 village.area 0", "game 1 Welcome to Zendar. 5"}));
    rec.calls.clear();
    scripts_->FireClick("door3");
    scripts_->StartByName("lever1");
    scripts_->StartByName("lever2");  // locked while lever1 runs
    EXPECT_TRUE(Logged("cannot start new program because template is locked"));
    Pass();
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"game 6 raised_the_gate 0", "worldvec 2 gate 250",
                                                   "world 4 door3 0"}));
    scripts_->FireClick("door3");
    Pass();
    EXPECT_EQ(rec.calls.back(), "world 4 door3 0");
    EXPECT_EQ(rec.calls.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        clock_.ms += 1000;
        Pass();
    }
    ASSERT_EQ(finished_.size(), 2u);
    EXPECT_EQ(finished_[0].name, "lever*");
    EXPECT_EQ(finished_[1].name, "start");
    EXPECT_EQ(finished_[1].top, 3);
}
