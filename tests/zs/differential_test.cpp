// Random integer and float expressions, compiled and run, against a small
// evaluator here that follows the machine: 32-bit wrapping integers that
// divide toward zero (by zero: a fault), single-precision floats, float to
// integer saturating, float comparisons by the sign of a - b, && and || that
// stop early. Each expression is one program returning its value; a fault
// must be reported on the expression's line.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <regex>

#include "zstest.h"

namespace {

struct Value {
    bool isFloat = false;
    int32_t i = 0;
    float f = 0.0f;
    const char* fault = nullptr;  // the first fault on the way, in evaluation order
    bool nan = false;             // a NaN came up: its sign is the processor's, not the language's
};

struct Expr {
    std::string text;
    Value v;
};

float Single(float f) {
    volatile float v = f;
    return v;
}

int32_t Bits(float f) {
    int32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

int32_t Saturate(float f) {
    if (std::isnan(f)) return 0;
    if (f >= 2147483648.0f) return INT32_MAX;
    if (f <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(f);
}

std::string FloatLiteral(float f) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
    std::string s = buf;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return std::signbit(f) ? "(" + s + ")" : s;
}

std::string IntLiteral(int32_t i) {
    std::string s = std::to_string(i);
    return i < 0 ? "(" + s + ")" : s;
}

class Generator {
public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    // The locals every program starts with, and their values.
    std::string Locals() {
        std::string s;
        for (int k = 0; k < 4; ++k) {
            ints_[k] = PickInt();
            floats_[k] = PickFloat();
            s += "    var i" + std::to_string(k) + " = " + IntLiteral(ints_[k]) + ";\n";
            s += "    var f" + std::to_string(k) + " = " + FloatLiteral(floats_[k]) + ";\n";
        }
        return s;
    }

    Expr Make(bool isFloat, int depth) { return isFloat ? FloatExpr(depth) : IntExpr(depth); }

private:
    int Roll(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

    int32_t PickInt() {
        static const int32_t kPool[] = {
            0, 1, -1, 2, 3, 7, -13, 100, 255, 256, 65536, 2147483647, -2147483647 - 1};
        if (Roll(3) == 0) return static_cast<int32_t>(rng_());
        return kPool[Roll(sizeof kPool / sizeof kPool[0])];
    }
    float PickFloat() {
        static const float kPool[] = {0.0f,  -0.0f,  1.0f,        1.5f,  -2.25f, 0.1f,
                                      1e10f, -3e-5f, 123456.789f, 3e38f, 1e-40f};
        if (Roll(3) == 0) return static_cast<float>(static_cast<int32_t>(rng_())) / 1024.0f;
        return kPool[Roll(sizeof kPool / sizeof kPool[0])];
    }

    static Value Int(int32_t i) {
        Value v;
        v.i = i;
        return v;
    }
    static Value Float(float f) {
        Value v;
        v.isFloat = true;
        v.f = f;
        v.nan = std::isnan(f);
        return v;
    }
    // The first fault of the operands, in order, and any NaN.
    static Value After(const Value& a, const Value& b, Value result) {
        result.fault = a.fault ? a.fault : b.fault;
        result.nan = result.nan || a.nan || b.nan;
        return result;
    }

    Expr IntExpr(int depth) {
        int pick = depth <= 0 ? Roll(2) : Roll(12);
        switch (pick) {
        case 0: {
            int k = Roll(4);
            return {"i" + std::to_string(k), Int(ints_[k])};
        }
        case 1: {
            int32_t i = PickInt();
            return {IntLiteral(i), Int(i)};
        }
        case 2:
        case 3:
        case 4:
        case 5: {
            static const char* const kOps[] = {"+", "-", "*", "/", "%"};
            const char* op = kOps[Roll(5)];
            Expr a = IntExpr(depth - 1), b = IntExpr(depth - 1);
            int32_t x = a.v.i, y = b.v.i, r = 0;
            const char* fault = nullptr;
            switch (*op) {
            case '+': r = Wrap(int64_t{x} + y); break;
            case '-': r = Wrap(int64_t{x} - y); break;
            case '*': r = Wrap(int64_t{x} * y); break;
            case '/':
                if (y == 0)
                    fault = "division by zero";
                else
                    r = Wrap(int64_t{x} / y);
                break;
            default:
                if (y == 0)
                    fault = "remainder by zero";
                else
                    r = static_cast<int32_t>(int64_t{x} % y);
                break;
            }
            Value v = After(a.v, b.v, Int(r));
            if (!v.fault) v.fault = fault;
            return {"(" + a.text + " " + op + " " + b.text + ")", v};
        }
        case 6: {
            Expr a = IntExpr(depth - 1);
            Value v = Int(Wrap(-int64_t{a.v.i}));
            return {"(-" + a.text + ")", After(a.v, Value(), v)};
        }
        case 7:
        case 8: {
            static const char* const kOps[] = {"==", "!=", "<", ">", "<=", ">="};
            const char* op = kOps[Roll(6)];
            bool floats = Roll(2) == 0;
            Expr a = Make(floats, depth - 1), b = Make(floats, depth - 1);
            int32_t x = a.v.i, y = b.v.i;
            if (floats) {
                x = Bits(Single(Single(a.v.f - b.v.f) + 0.0f));
                y = 0;
            }
            bool r = !std::strcmp(op, "==")   ? x == y
                     : !std::strcmp(op, "!=") ? x != y
                     : !std::strcmp(op, "<")  ? x < y
                     : !std::strcmp(op, ">")  ? x > y
                     : !std::strcmp(op, "<=") ? x <= y
                                              : x >= y;
            Value v = After(a.v, b.v, Int(r));
            if (floats && std::isnan(a.v.f - b.v.f)) v.nan = true;
            return {"(" + a.text + " " + op + " " + b.text + ")", v};
        }
        case 9: {
            bool both = Roll(2) == 0;
            Expr a = IntExpr(depth - 1), b = IntExpr(depth - 1);
            Value v;
            // The right side runs only when the left leaves the result open.
            if (a.v.fault) {
                v = a.v;
            } else if ((a.v.i != 0) != both) {
                v = Int(!both);
                v.nan = a.v.nan;
            } else {
                v = b.v;
                v.i = b.v.i != 0;
                v.nan = a.v.nan || b.v.nan;
            }
            v.isFloat = false;
            return {"(" + a.text + (both ? " && " : " || ") + b.text + ")", v};
        }
        case 10: {
            Expr a = IntExpr(depth - 1);
            return {"(!" + a.text + ")", After(a.v, Value(), Int(a.v.i == 0))};
        }
        default: {
            Expr a = FloatExpr(depth - 1);
            return {"int(" + a.text + ")", After(a.v, Value(), Int(Saturate(a.v.f)))};
        }
        }
    }

    Expr FloatExpr(int depth) {
        int pick = depth <= 0 ? Roll(2) : Roll(9);
        switch (pick) {
        case 0: {
            int k = Roll(4);
            return {"f" + std::to_string(k), Float(floats_[k])};
        }
        case 1: {
            float f = PickFloat();
            return {FloatLiteral(f), Float(f)};
        }
        case 2:
        case 3:
        case 4:
        case 5: {
            static const char* const kOps[] = {"+", "-", "*", "/"};
            const char* op = kOps[Roll(4)];
            Expr a = FloatExpr(depth - 1), b = FloatExpr(depth - 1);
            float x = a.v.f, y = b.v.f;
            float r = *op == '+'   ? Single(x + y)
                      : *op == '-' ? Single(x - y)
                      : *op == '*' ? Single(x * y)
                                   : Single(x / y);
            return {"(" + a.text + " " + op + " " + b.text + ")", After(a.v, b.v, Float(r))};
        }
        case 6: {
            Expr a = FloatExpr(depth - 1);
            return {"(-" + a.text + ")", After(a.v, Value(), Float(-a.v.f))};
        }
        default: {
            Expr a = IntExpr(depth - 1);
            return {"float(" + a.text + ")", After(a.v, Value(), Float(Single(static_cast<float>(a.v.i))))};
        }
        }
    }

    std::mt19937 rng_;
    int32_t ints_[4] = {};
    float floats_[4] = {};
};

struct Program {
    std::string expression;
    Value expected;
    int line;
};

}  // namespace

TEST_F(ZsToolTest, RandomExpressionsAgreeWithTheReferenceEvaluator) {
    const int kPrograms = 240;
    Generator gen(20240611);
    std::string source;
    std::vector<Program> programs;
    int line = 1;
    int faults = 0;
    while (static_cast<int>(programs.size()) < kPrograms) {
        std::string locals = gen.Locals();
        Expr e = gen.Make(programs.size() % 2 == 1, 1 + static_cast<int>(programs.size() % 4));
        if (e.v.nan) continue;  // see Value::nan
        size_t n = programs.size();
        std::string text =
            "program p" + std::to_string(n) + " on init {\n" + locals + "    return " + e.text + ";\n}\n";
        programs.push_back({e.text, e.v, line + 9});
        line += 11;
        source += text;
        if (e.v.fault) ++faults;
    }
    // Enough of each outcome to mean something.
    EXPECT_GT(faults, 5);
    EXPECT_LT(faults, kPrograms / 2);

    test_common::WriteFile(dir / "diff.zs", source);
    test_common::ProgramRun compiled = test_common::RunZ1tool("script compile diff.zs diff.scr", dir.path());
    ASSERT_EQ(compiled.status, 0) << compiled.err;
    test_common::ProgramRun run = test_common::RunZ1tool("script run diff.scr --frames 1", dir.path());
    ASSERT_EQ(run.status, 0);

    std::map<int, int32_t> tops;
    std::map<int, std::pair<std::string, int>> stops;
    std::regex finished("finished p([0-9]+) top=(-?[0-9]+)");
    std::regex stopped(
        "log: ERROR - program p([0-9]+) stopped at code offset [0-9]+: (.*) \\(diff\\.zs:([0-9]+)\\)");
    std::istringstream out(run.out);
    std::string l;
    std::smatch m;
    while (std::getline(out, l)) {
        if (std::regex_match(l, m, finished)) tops[std::stoi(m[1])] = static_cast<int32_t>(std::stoll(m[2]));
        if (std::regex_match(l, m, stopped)) stops[std::stoi(m[1])] = {m[2], std::stoi(m[3])};
    }
    for (int n = 0; n < kPrograms; ++n) {
        const Program& p = programs[n];
        SCOPED_TRACE("p" + std::to_string(n) + ": " + p.expression);
        ASSERT_TRUE(tops.count(n));
        if (p.expected.fault) {
            ASSERT_TRUE(stops.count(n));
            EXPECT_EQ(stops[n].first, p.expected.fault);
            EXPECT_EQ(stops[n].second, p.line);
        } else {
            EXPECT_FALSE(stops.count(n));
            EXPECT_EQ(tops[n], p.expected.isFloat ? Bits(p.expected.f) : p.expected.i);
        }
    }
}
