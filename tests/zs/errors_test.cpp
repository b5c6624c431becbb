// Wrong programs and the exact messages they give, several per run; the
// warnings; and the compile command's exit, its output and what it writes.
#include <string>
#include <vector>

#include "zs.h"
#include "zstest.h"

namespace {

std::string Diagnostics(const std::string& source, bool* ok = nullptr) {
    ZsOutput out = CompileZs(source);
    if (ok) *ok = out.ok;
    std::string all;
    for (const ZsDiagnostic& d : out.diagnostics) all += FormatZsDiagnostic("t.zs", d) + "\n";
    return all;
}

struct Case {
    const char* what;
    const char* source;
    const char* expected;
};

}  // namespace

TEST(ZsErrors, EachMistakeIsReportedWhereItIs) {
    const Case cases[] = {
        {"unknown names and functions",
         "program p on init {\n    x = 1;\n    game.spare(y);\n    foo(2);\n}\n",
         "t.zs:2:5: unknown name 'x'\nt.zs:3:16: unknown name 'y'\nt.zs:4:5: unknown function 'foo'\n"},
        {"engine calls check the kinds and number of their arguments",
         "program p on init {\n    game.showMessage(5, \"a\");\n    world.move(\"door\", 3);\n"
         "    game.loadScene();\n    world.open(\"x\");\n}\n",
         "t.zs:2:22: argument 1 of 'game.showMessage' must be text, not int\n"
         "t.zs:2:25: argument 2 of 'game.showMessage' must be int, not text\n"
         "t.zs:3:24: argument 2 of 'world.move' must be vector, not int\n"
         "t.zs:4:5: 'game.loadScene' takes 1 argument, not 0\n"
         "t.zs:5:5: unknown engine call 'world.open'\n"},
        {"syntax: the parser goes on after each mistake",
         "program p on init {\n    var a = 1\n    game.spare(a);\n    if (a > ) { }\n    game.spare(a;\n}\n",
         "t.zs:2:14: expected ';', found 'game'\nt.zs:4:13: expected a value, found ')'\n"
         "t.zs:5:17: expected ')', found ';'\n"},
        {"statements",
         "function f(a: int): int {\n    if (a > 0) { return 1; }\n}\nfunction g() {\n    return 5;\n}\n"
         "program p on init {\n    break;\n    var t = \"x\";\n    if (t) { continue; }\n    t < \"y\";\n"
         "    wait() + 1;\n    t;\n}\n",
         "t.zs:3:1: function 'f' can reach its end without returning a value\n"
         "t.zs:5:12: function 'g' gives no value, so 'return' takes none\n"
         "t.zs:8:5: 'break' outside a loop\n"
         "t.zs:10:9: a condition must be int (a comparison or a number), not text\n"
         "t.zs:10:14: 'continue' outside a loop\n"
         "t.zs:11:7: texts can only be compared with == and !=\n"
         "t.zs:12:5: 'wait' gives no value\n"
         "t.zs:13:5: this does nothing: a statement is a call, an assignment or a declaration\n"},
        {"kinds in expressions and assignments",
         "program p on init {\n    var i = 1;\n    var f = 2.0;\n    var v = vec(1, 2, 3);\n"
         "    var x = i + f;\n    f = i;\n    var m = f % 2.0;\n    var c = v == v;\n    v = v * v;\n"
         "    i = v.w;\n    f = i.x;\n    i++;\n    f++;\n    var s: text = i;\n    PI = 3;\n}\nconst PI = "
         "3.14;\n",
         "t.zs:5:15: '+' cannot take int and float (convert one with float() or int())\n"
         "t.zs:6:9: 'f' is float and cannot hold int\n"
         "t.zs:7:15: '%' needs int operands: floats have no remainder\n"
         "t.zs:8:15: vectors cannot be compared: compare their x, y and z\n"
         "t.zs:9:11: '*' cannot take two vectors (vectors add and subtract)\n"
         "t.zs:10:11: a vector has x, y and z, not 'w'\n"
         "t.zs:11:11: '.x' needs a vector, not int\n"
         "t.zs:13:6: '++' needs an int local, not float\n"
         "t.zs:14:9: warning: unused local 's'\n"
         "t.zs:14:19: 's' is text and cannot hold int\n"
         "t.zs:15:5: 'PI' is a constant and cannot change\n"},
        {"declarations",
         "const A = 1;\nconst A = 2;\nconst B = startName();\nfunction sleep() { }\n"
         "function h(a: int, a: int) { }\nfunction h() { }\nfunction r(): vector { return vec(0, 0, 0); }\n"
         "program q { }\nprogram q { }\nprogram t on click { }\nprogram u on click(A) { }\n"
         "program w on tick { }\nprogram v on init {\n    var A = 2;\n    var z = 1;\n    var z = 2;\n}\n",
         "t.zs:2:7: 'A' is already a constant (line 1)\n"
         "t.zs:3:11: 'B' must be given a constant value\n"
         "t.zs:4:10: 'sleep' is a built-in function: choose another name\n"
         "t.zs:5:20: parameter 'a' is given twice\n"
         "t.zs:6:10: function 'h' is declared twice (first at line 5)\n"
         "t.zs:7:10: a function cannot return a vector (the machine returns one word)\n"
         "t.zs:9:9: program 'q' is declared twice (first at line 8)\n"
         "t.zs:10:20: 'click' needs the pattern of the names it answers, as in click(\"door*\")\n"
         "t.zs:11:20: a trigger pattern must be a constant text, as in click(\"door*\")\n"
         "t.zs:12:14: expected a trigger (init, click, collision, pickup or never), found 'tick'\n"
         "t.zs:14:9: 'A' is already a constant (line 1)\n"
         "t.zs:15:9: warning: unused local 'z'\n"
         "t.zs:16:9: 'z' is already declared (line 15)\n"},
        {"characters, numbers and texts",
         "program p on init {\n    var _t = \"open;\n    var _n = 99999999999;\n    var _q = 1.5e99;\n"
         "    var _r = 12ab;\n    @\n    game.showMessage(\"\\q\", 1);\n}\n",
         "t.zs:2:14: unterminated text\nt.zs:2:20: expected ';', found 'var'\n"
         "t.zs:3:14: number out of range (integers are 32-bit: -2147483648 to 2147483647)\n"
         "t.zs:4:14: float literal out of range\nt.zs:5:14: bad number '12ab'\n"
         "t.zs:6:5: unexpected character '@'\nt.zs:7:23: unknown escape '\\q'\n"},
        {"an empty file", "// nothing here\n",
         "t.zs:1:1: nothing to compile: the file has no program and no function\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool ok = true;
        EXPECT_EQ(Diagnostics(c.source, &ok), c.expected);
        EXPECT_FALSE(ok);
    }
}

TEST(ZsErrors, WarningsDoNotStopTheCompile) {
    bool ok = false;
    EXPECT_EQ(
        Diagnostics("function f(): int {\n    var unused = 1;\n    var _quiet = 2;\n    return 1;\n"
                    "    game.spare(3);\n}\nprogram p on init {\n    var zero = 0;\n"
                    "    game.spare(zero / 0);\n    while (true) { break; game.spare(1); }\n}\n",
                    &ok),
        "t.zs:2:9: warning: unused local 'unused'\nt.zs:5:5: warning: unreachable code\n"
        "t.zs:9:21: warning: division by zero stops the program\nt.zs:10:27: warning: unreachable code\n");
    EXPECT_TRUE(ok);
}

TEST(ZsErrors, LimitsOfTheFileFormatAndOfNesting) {
    std::string deep =
        "program p on init {\n    var x = " + std::string(150, '(') + "1" + std::string(150, ')') + ";\n}\n";
    std::string chain = "program p on init {\n    var x = 1";
    for (int i = 0; i < 300; ++i) chain += " + 1";
    chain += ";\n}\n";
    std::string locals = "program p on init {\n";
    for (int i = 0; i < 300; ++i)
        locals += "    var v" + std::to_string(i) + " = " + std::to_string(i) + ";\n";
    for (int i = 0; i < 300; ++i) locals += "    game.spare(v" + std::to_string(i) + ");\n";
    locals += "}\n";
    std::string texts = "program p on init {\n";
    for (int i = 0; i < 300; ++i) texts += "    game.addItem(\"item" + std::to_string(i) + "\");\n";
    texts += "}\n";
    struct Limit {
        std::string source;
        std::string expected;
    };
    const Limit limits[] = {
        {deep, "nested too deeply"},
        {chain, "expression nested too deeply"},
        {locals, "program 'p' needs 300 local slots, more than the 255 a program has"},
        {texts, "program 'p' needs 300 constants, more than the 255 a record holds; split it into functions"},
    };
    for (const Limit& l : limits) {
        ZsOutput out = CompileZs(l.source);
        EXPECT_FALSE(out.ok);
        ASSERT_EQ(out.diagnostics.size(), 1u) << l.expected;
        EXPECT_EQ(out.diagnostics[0].message, l.expected);
    }
}

TEST_F(ZsToolTest, CompileReportsOnStandardErrorAndWritesNothingOnError) {
    Compiled bad = Compile("program p on init {\n    game.spare(\"a\");\n    nope();\n}\n", "bad");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err,
              "bad.zs:2:16: argument 1 of 'game.spare' must be int, not text\n"
              "bad.zs:3:5: unknown function 'nope'\n"
              "z1tool: bad.zs: 2 errors, nothing written\n");
    EXPECT_FALSE(test_common::FileExists(dir / "bad.scr"));
    EXPECT_FALSE(test_common::FileExists(dir / "bad.scr.map"));

    Compiled good = Compile("program p on init {\n    var n = 1;\n}\n", "good");
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.err, "good.zs:2:9: warning: unused local 'n'\n");
    EXPECT_TRUE(test_common::FileExists(dir / "good.scr"));
    EXPECT_TRUE(test_common::FileExists(dir / "good.scr.map"));

    test_common::ProgramRun usage = test_common::RunZ1tool("script compile only-one.zs", dir.path());
    EXPECT_EQ(usage.status, 2);
    test_common::ProgramRun missing = test_common::RunZ1tool("script compile missing.zs out.scr", dir.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "z1tool: missing.zs: no such file\n");
}
