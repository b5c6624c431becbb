// The compiled script file: its bytes, and what loading it builds.
#include <cstring>

#include "scripttest.h"
#include "utility/datafile.h"

namespace {

ScriptRecord Function(const std::string& name, std::vector<uint8_t> code) {
    ScriptRecord r;
    r.type = kScriptFunctionRecord;
    r.name = name;
    r.code = std::move(code);
    return r;
}

ScriptRecord Program(const std::string& name, uint8_t trigger, std::vector<uint8_t> code) {
    ScriptRecord r;
    r.type = kScriptProgramRecord;
    r.name = name;
    r.trigger = trigger;
    r.code = std::move(code);
    return r;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(ScriptTest, WriterLaysOutFunctionAndProgramRecordsFieldByField) {
    ScriptRecord f = Function("ab", {0x3C, 0x16});
    f.param_count = 2;
    f.reserved_byte = 9;
    f.frame_size = 3;
    f.reserved_short = 0x1234;
    ScriptConstantEntry i, t, fl, v, odd;
    i.type = kScriptConstInt;
    i.integer = -2;
    t.type = kScriptConstText;
    t.text = "x";
    fl.type = kScriptConstFloat;
    fl.number = 1.0f;
    v.type = kScriptConstVector;
    v.vector[0] = 1.0f;
    v.vector[1] = 2.0f;
    v.vector[2] = -1.0f;
    odd.type = 9;
    f.constants = {i, t, fl, v, odd};
    f.labels = {5, -1};
    ScriptRecord p = Program("p", kTriggerClick, {0x00});
    p.local_count = 4;
    p.synchronized = 1;
    p.reserved_short = 0xBEEF;
    ScriptRecord stray;
    stray.type = 7;
    std::vector<uint8_t> bytes = ReadAll(WriteRecords({stray, f, p}));
    std::vector<uint8_t> expected = {
        7,  // stray record type
        0,    'a',  'b',  0,    2,    9,    3,    0x34, 0x12, 5,    2,    2,    0,    0, 0,
        0,    0xFE, 0xFF, 0xFF, 0xFF,  // int -2
        1,    'x',  0,                 // text
        2,    0x00, 0x00, 0x80, 0x3F,  // float 1.0
        3,    0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x80, 0xBF,
        9,                                               // unknown type: no payload
        5,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF,  // labels
        0x3C, 0x16,                                      // code
        1,    'p',  0,    4,    0xEF, 0xBE, 1,    2,    0,    0,    1,    0,    0,    0, 0x00};
    EXPECT_EQ(bytes, expected);
}

TEST_F(ScriptTest, WriterRejectsTextsTheFormatCannotCarry) {
    ScriptRecord f = Function(std::string(255, 'n'), {});
    std::string error;
    EXPECT_FALSE(WriteScriptFile(TempFile("long").c_str(), {f}, &error));
    EXPECT_NE(error.find("too long"), std::string::npos);
    f.name = std::string(254, 'n');
    EXPECT_TRUE(WriteScriptFile(TempFile("ok").c_str(), {f}, &error)) << error;
}

TEST_F(ScriptTest, EmptyFileGivesAMachineWithNothingInIt) {
    ScriptSystem& s = LoadFile(WriteBytes({}));
    ASSERT_NE(s.VM(), nullptr);
    EXPECT_EQ(s.Templates(), nullptr);
    EXPECT_EQ(s.Running(), nullptr);
    EXPECT_EQ(s.CodeUsed(), 0u);
    EXPECT_EQ(LogLines(), std::vector<std::string>{"Valid script file, now parsing.:"});
}

TEST_F(ScriptTest, MissingFileIsSilentAndLeavesNoMachine) {
    ScriptSystem& s = LoadFile(TempFile("does_not_exist"));
    EXPECT_EQ(s.VM(), nullptr);
    EXPECT_TRUE(LogLines().empty());
    s.RunScheduler();  // nothing to run, no crash
    s.StartByName("anything");
    EXPECT_EQ(s.Running(), nullptr);
}

TEST_F(ScriptTest, UnknownRecordTypesAreSkippedOneByteAtATime) {
    ScriptRecord a, b;
    a.type = 7;
    b.type = 200;
    ScriptSystem& s = LoadFile(WriteRecords({a, b, Function("f", {0x00}), a}));
    ASSERT_NE(s.FindFunction("f"), nullptr);
    EXPECT_TRUE(Logged("Loaded function f"));
    EXPECT_NE(s.VM(), nullptr);
}

TEST_F(ScriptTest, CodeIsCopiedBackToBackAndLabelsBecomeAbsolute) {
    ScriptRecord first = Function("first", std::vector<uint8_t>(1000, 0x00));
    ScriptRecord second = Function("second", {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00});
    second.labels = {5, 0};
    ScriptSystem& s = LoadFile(WriteRecords({first, second}));
    ScriptFunction* f = s.FindFunction("second");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->code_start, 1000u);
    EXPECT_EQ(f->code_end, 1008u);
    EXPECT_EQ(f->label_count, 2);
    EXPECT_EQ(f->labels[0], 1005u);
    EXPECT_EQ(f->labels[1], 1000u);
    EXPECT_EQ(s.CodeUsed(), 1008u);
    EXPECT_EQ(s.CodeSegment()[1006], 0x09);
}

TEST_F(ScriptTest, ConstantsLoadIntoTypedSlots) {
    ScriptSystem& s = Load(
        "function f params=1 frame=2 reserved=7 reserved16=513\n"
        "  const int -5\n  const text \"hello\"\n  const float 2.5\n  const vector 1 -2 3.5\n  const type "
        "9\nend\n");
    ScriptFunction* f = s.FindFunction("f");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->param_count, 1);
    EXPECT_EQ(f->reserved_byte, 7);
    EXPECT_EQ(f->frame_size, 2);
    EXPECT_EQ(f->reserved_short, 513);
    ASSERT_EQ(f->constant_count, 5);
    EXPECT_EQ(static_cast<int32_t>(f->constants[0].w[0]), -5);
    EXPECT_STREQ(s.Texts().Get(f->constants[1].w[0]), "hello");
    EXPECT_EQ(WordToFloat(f->constants[2].w[0]), 2.5f);
    EXPECT_EQ(WordToFloat(f->constants[3].w[0]), 1.0f);
    EXPECT_EQ(WordToFloat(f->constants[3].w[1]), -2.0f);
    EXPECT_EQ(WordToFloat(f->constants[3].w[2]), 3.5f);
    EXPECT_EQ(f->constants[4].w[0], 0u);  // unknown type: slot unset
    EXPECT_EQ(f->constant_types[4], 9);
}

TEST_F(ScriptTest, TemplatesArePushedAtTheFrontAndInitProgramsStart) {
    ScriptSystem& s = Load(
        "program one locals=3 trigger=init\n  wait\nend\n"
        "program two locals=1 trigger=click sync reserved16=7\n  const text \"door*\"\nend\n"
        "program three locals=0 trigger=init\n  wait\nend\n");
    ScriptTemplate* t = s.Templates();
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->name.c_str(), "three");
    ASSERT_NE(t->next, nullptr);
    ScriptTemplate* two = t->next;
    EXPECT_STREQ(two->name.c_str(), "two");
    EXPECT_EQ(two->local_count, 1);
    EXPECT_EQ(two->synchronized, 1);
    EXPECT_EQ(two->trigger, kTriggerClick);
    EXPECT_EQ(two->reserved_short, 7);
    EXPECT_EQ(two->running, 0);
    ASSERT_NE(two->next, nullptr);
    EXPECT_STREQ(two->next->name.c_str(), "one");
    EXPECT_EQ(two->next->next, nullptr);
    EXPECT_TRUE(Logged("Loading program two"));
    EXPECT_TRUE(Logged("and it's synchronized"));
    EXPECT_EQ(CountLogged("and it's synchronized"), 1);

    // Init instances: started from the template front, each put at the
    // running front, so "one" ends up first.
    ScriptInstance* in = s.Running();
    ASSERT_NE(in, nullptr);
    EXPECT_STREQ(in->program->name.c_str(), "one");
    EXPECT_EQ(in->top, 3);
    EXPECT_EQ(in->base, 0);
    EXPECT_EQ(in->start_argument, 0u);
    EXPECT_EQ(in->pc, in->program->code_start);
    EXPECT_EQ(in->program->running, 1);
    ASSERT_NE(in->next, nullptr);
    EXPECT_STREQ(in->next->program->name.c_str(), "three");
    EXPECT_EQ(in->next->next, nullptr);
    EXPECT_EQ(s.RunningCount(), 2);
}

TEST_F(ScriptTest, AFunctionAsLargeAsTheSegmentDoesNotFit) {
    ScriptRecord small = Function("small", {0x00});
    ScriptRecord huge = Function("huge", std::vector<uint8_t>(1048576, 0x00));
    ScriptSystem& s = LoadFile(WriteRecords({small, huge, Function("after", {0x00})}));
    EXPECT_TRUE(Logged("ERROR - Code segment too small!!"));
    EXPECT_TRUE(Logged("max code : 1048576, current code 1, function size 1048576"));
    EXPECT_EQ(s.VM(), nullptr);
    EXPECT_NE(s.FindFunction("small"), nullptr);  // read so far stays registered
    EXPECT_EQ(s.FindFunction("huge"), nullptr);
    EXPECT_EQ(s.FindFunction("after"), nullptr);
    // Not even into an empty segment.
    ScriptSystem& t = LoadFile(WriteRecords({huge}));
    EXPECT_TRUE(Logged("max code : 1048576, current code 0, function size 1048576"));
    EXPECT_EQ(t.VM(), nullptr);
    EXPECT_EQ(t.FindFunction("huge"), nullptr);
}

TEST_F(ScriptTest, ExactlyFullSegmentIsRefusedByOneByte) {
    // 1048574 + 1 stays below the segment size: both fit.
    ScriptRecord a = Function("a", std::vector<uint8_t>(1048574, 0x00));
    ScriptSystem& s = LoadFile(WriteRecords({a, Program("p", kTriggerInit, {0x00})}));
    EXPECT_NE(s.FindFunction("a"), nullptr);
    EXPECT_NE(s.Templates(), nullptr);
    EXPECT_EQ(CountLogged("ERROR - Code segment too small!!"), 0);
    // 1048575 + 1 reaches it: the program is refused.
    ScriptRecord b = Function("b", std::vector<uint8_t>(1048575, 0x00));
    ScriptSystem& t = LoadFile(WriteRecords({b, Program("p", kTriggerInit, {0x00})}));
    // A program overflowing the segment logs only the first line.
    EXPECT_EQ(CountLogged("ERROR - Code segment too small!!"), 1);
    EXPECT_EQ(CountLogged("max code"), 0);
    EXPECT_EQ(t.VM(), nullptr);
    EXPECT_EQ(t.Templates(), nullptr);
}

TEST_F(ScriptTest, AHugeCodeSizeInAHeaderCannotWrapPastTheCapacityTest) {
    // Code size 0xFFFFFFFF: as a signed sum it would pass the test.
    std::vector<uint8_t> bytes = {0, 'f', 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x3C};
    ScriptSystem& s = LoadFile(WriteBytes(bytes));
    EXPECT_TRUE(Logged("ERROR - Code segment too small!!"));
    EXPECT_EQ(s.VM(), nullptr);
}

TEST_F(ScriptTest, TruncatedRecordIsRegisteredAsRead) {
    // A program that promises 10 code bytes but the file ends after 3.
    std::vector<uint8_t> bytes = {1, 'p', 0, 0, 0, 0, 0, kTriggerInit, 0, 0, 10, 0, 0, 0, 0x3C, 0x3D, 0x07};
    ScriptSystem& s = LoadFile(WriteBytes(bytes));
    ASSERT_NE(s.VM(), nullptr);
    ScriptTemplate* t = s.Templates();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->code_end - t->code_start, 10u);
    EXPECT_EQ(s.CodeSegment()[t->code_start + 3], 0);  // the missing bytes read as 0
    Pass();
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].top, 5);
}

TEST_F(ScriptTest, DuplicateFunctionNamesFindTheOneLoadedLast) {
    ScriptSystem& s = LoadFile(WriteRecords({Function("f", {0x3B}), Function("f", {0x3C, 0x3D})}));
    ScriptFunction* f = s.FindFunction("f");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->code_start, 1u);
    EXPECT_EQ(CountLogged("Loaded function f"), 2);
}

TEST_F(ScriptTest, LongTextInTheFileIsCutAtTheReadersLimit) {
    // 300 name bytes: the reader stops at 255 and the rest is read as the
    // next fields, here a code size of 0x78787878, which the capacity test
    // refuses.
    std::vector<uint8_t> bytes = {0};
    bytes.insert(bytes.end(), 300, 'x');
    bytes.push_back(0);
    bytes.insert(bytes.end(), 12, 0);
    ScriptSystem& s = LoadFile(WriteBytes(bytes));
    EXPECT_TRUE(Logged("max code : 1048576, current code 0, function size 2021161080"));
    EXPECT_EQ(s.VM(), nullptr);
}

TEST_F(ScriptTest, ReadScriptFileRefusesTruncatedRecords) {
    std::vector<uint8_t> bytes = {1, 'p', 0, 0, 0, 0, 0, kTriggerInit, 0, 0, 10, 0, 0, 0, 0x3C};
    std::vector<ScriptRecord> records;
    std::string error;
    EXPECT_FALSE(ReadScriptFile(WriteBytes(bytes).c_str(), &records, &error));
    EXPECT_NE(error.find("truncated"), std::string::npos);
    EXPECT_FALSE(ReadScriptFile(TempFile("missing").c_str(), &records, &error));
}
