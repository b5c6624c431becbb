// Runs a small suite once on the script machine and once in Lua 5.4, in the
// same run, and prints each program's times and their ratio:
//   loop    sums 1 to N with a counter, a compare and a jump
//   fib     recursive Fibonacci
//   text    builds a text from a number every round
//   vector  moves a point by a velocity, component by component
// Each machine program is written twice, in script assembly and in the script
// language; a second line per program compares the compiled code with the
// hand-written assembly.
//   bench_vm [N [PROGRAM...]]   (N: rounds of the loop, 10^7 by default; the
//                               others scale. Only the programs named run.)
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "z1script/scriptasm.h"
#include "z1script/scriptfile.h"
#include "z1script/scriptsystem.h"
#include "zs.h"

namespace {

// The two sides of each comparison (the machine and Lua, the compiled code
// and the assembly) are run in turn, this many times each, and the best of
// each is taken, so that a busy moment of the machine slows both alike.
const int kPairs = 9;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Result {
    double seconds = 1e30;
    int64_t value = 0;
    uint64_t instructions = 0;
    bool ok = false;
};

bool Assemble(const std::string& source, std::vector<ScriptRecord>* records) {
    std::string error;
    if (AssembleScript(source, records, &error)) return true;
    std::fprintf(stderr, "bench_vm: %s\n", error.c_str());
    return false;
}

bool Compile(const std::string& source, std::vector<ScriptRecord>* records) {
    ZsOutput out = CompileZs(source);
    for (const ZsDiagnostic& d : out.diagnostics)
        std::fprintf(stderr, "bench_vm: %s\n", FormatZsDiagnostic("program", d).c_str());
    *records = out.records;
    return out.ok;
}

// One run of the records.
Result RunRecords(const std::vector<ScriptRecord>& records) {
    Result r;
    std::string error;
    // A folder of its own: loading looks for the file's line map, and a
    // missing one is searched for, whatever its case, among the folder's
    // entries (thousands in /tmp).
    static std::string folder;
    if (folder.empty()) {
        char name[] = "/tmp/bench_vm_XXXXXX";
        if (!mkdtemp(name)) {
            std::perror("bench_vm: mkdtemp");
            return r;
        }
        folder = name;
        std::atexit([] { rmdir(folder.c_str()); });
    }
    std::string path = folder + "/program.scr";
    if (!WriteScriptFile(path.c_str(), records, &error)) {
        std::fprintf(stderr, "bench_vm: %s\n", error.c_str());
        return r;
    }
    int32_t top = 0;
    ScriptSystem scripts;
    scripts.SetFinishedObserver(
        [](const ScriptInstance* in, void* out) { *static_cast<int32_t*>(out) = in->stack[in->top].w[0]; },
        &top);
    scripts.Load(path.c_str());
    if (scripts.VM()) {
        scripts.VM()->SetInstructionBudget(0xFFFFFFFFu);
        auto t0 = std::chrono::steady_clock::now();
        scripts.RunScheduler();
        r.seconds = Seconds(t0);
        r.instructions = scripts.VM()->InstructionCount();
        r.ok = scripts.RunningCount() == 0;
    } else {
        std::fprintf(stderr, "bench_vm: the program did not load\n");
    }
    std::remove(path.c_str());
    r.value = top;
    return r;
}

// One run of the Lua program.
Result RunLua(const std::string& source) {
    Result r;
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    if (luaL_loadstring(L, source.c_str()) != LUA_OK) {
        std::fprintf(stderr, "bench_vm: %s\n", lua_tostring(L, -1));
        lua_close(L);
        return r;
    }
    auto t0 = std::chrono::steady_clock::now();
    if (lua_pcall(L, 0, 1, 0) != LUA_OK) {
        std::fprintf(stderr, "bench_vm: %s\n", lua_tostring(L, -1));
        lua_close(L);
        return r;
    }
    r.seconds = Seconds(t0);
    r.value = lua_tointeger(L, -1);
    r.ok = true;
    lua_close(L);
    return r;
}

// The two sides of a comparison run in turn, kPairs times each; the best
// run of each side.
template <class RunA, class RunB>
void BestInTurn(RunA runA, RunB runB, Result* a, Result* b) {
    for (int k = 0; k < kPairs; ++k) {
        const Result ak = runA(), bk = runB();
        if (k == 0 || ak.seconds < a->seconds) *a = ak;
        if (k == 0 || bk.seconds < b->seconds) *b = bk;
    }
}

struct Program {
    const char* name;
    std::string machine;
    std::string lua;
    std::string language;
};

}  // namespace

int main(int argc, char** argv) {
    long n = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000000L;
    if (n <= 0 || n > 100000000L) {
        std::fprintf(stderr, "usage: bench_vm [N up to 10^8 [PROGRAM...]]\n");
        return 2;
    }
    const std::string N = std::to_string(n);
    const std::string T = std::to_string(n / 10 > 0 ? n / 10 : 1);  // text and vector rounds
    const int fib = n >= 10000000L ? 27 : n >= 100000L ? 20 : 10;
    const std::string F = std::to_string(fib);
    std::vector<Program> programs = {
        // 8 instructions a round: addl, pushl, pushl, add, storel, pushl, pushc, jlt.
        {"loop",
         "program sum locals=2 trigger=init\n  const n int " + N +
             "\nloop:\n  addl 0 1\n  pushl 1\n  pushl 0\n  add\n  storel 1\n"
             "  pushl 0\n  pushc n\n  jlt loop\n  pushl 1\nend\n",
         "local n = " + N + "\nlocal i, s = 0, 0\nrepeat i = i + 1; s = s + i until not (i < n)\nreturn s\n",
         "program sum on init {\n    var i = 0;\n    var s = 0;\n    while (i < " + N +
             ") {\n        i += 1;\n        s = s + i;\n    }\n    return s;\n}\n"},
        {"fib",
         "function fib params=1 frame=1\n  pushl 1\n  push2\n  jlt small\n"
         "  pushl 1\n  push1\n  sub\n  call \"fib\"\n  pushl 1\n  push2\n  sub\n  call \"fib\"\n  add\n  "
         "retv\n"
         "small:\n  pushl 1\n  retv\nend\n"
         "program main locals=0 trigger=init\n  const n int " +
             F + "\n  pushc n\n  call \"fib\"\nend\n",
         "local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end\nreturn fib(" +
             F + ")\n",
         "function fib(n: int): int {\n    if (n < 2) { return n; }\n    return fib(n - 1) + fib(n - 2);\n}\n"
         "program main on init { return fib(" +
             F + "); }\n"},
        {"text",
         "program text locals=2 trigger=init\n  const n int " + T +
             "\n  const pre text \"row \"\n  const h int 100\n"
             "loop:\n  addl 0 1\n  pushc pre\n  pushl 0\n  pushc h\n  mod\n  itos\n  concat\n  storel 1\n"
             "  pushl 0\n  pushc n\n  jlt loop\n  pushl 0\nend\n",
         "local n = " + T +
             "\nlocal i, s = 0, nil\nrepeat i = i + 1; s = \"row \" .. (i % 100) until not (i < n)\nreturn "
             "i\n",
         "program build_text on init {\n    var i = 0;\n    var _row = \"\";\n    while (i < " + T +
             ") {\n        i += 1;\n        _row = \"row \" + i % 100;\n    }\n    return i;\n}\n"},
        {"vector",
         "program vec locals=3 trigger=init\n  const n int " + T +
             "\n  const v vector 1 2 3\n  const dt float 0.5\n  pushcv v\n  storelv 2\n"
             "loop:\n  addl 0 1\n"
             "  pushlx 1\n  pushlx 2\n  pushc dt\n  fmul\n  fadd\n  storel 1\n"
             "  pushly 1\n  pushly 2\n  pushc dt\n  fmul\n  fadd\n  storely 1\n"
             "  pushlz 1\n  pushlz 2\n  pushc dt\n  fmul\n  fadd\n  storelz 1\n"
             "  pushl 0\n  pushc n\n  jlt loop\n  pushlz 1\n  ftoi\nend\n",
         "local n = " + T +
             "\nlocal p, v, dt = {x = 0, y = 0, z = 0}, {x = 1, y = 2, z = 3}, 0.5\nlocal i = 0\n"
             "repeat i = i + 1\n  p.x = p.x + v.x * dt\n  p.y = p.y + v.y * dt\n  p.z = p.z + v.z * dt\n"
             "until not (i < n)\nreturn math.floor(p.z)\n",
         "program vec on init {\n    var i = 0;\n    var p: vector;\n    var v = vec(1, 2, 3);\n    while (i "
         "< " +
             T + ") {\n        i += 1;\n        p += v * 0.5;\n    }\n    return int(p.z);\n}\n"},
    };

    bool all_same = true;
    for (const Program& p : programs) {
        bool wanted = argc <= 2;
        for (int i = 2; i < argc; ++i) wanted = wanted || std::strcmp(argv[i], p.name) == 0;
        if (!wanted) continue;
        std::vector<ScriptRecord> assembled, compiled;
        if (!Assemble(p.machine, &assembled) || !Compile(p.language, &compiled)) return 1;
        Result m, l;
        BestInTurn([&] { return RunRecords(assembled); }, [&] { return RunLua(p.lua); }, &m, &l);
        // The loop's sum runs past 32 bits in Lua; the machine's wraps.
        bool same = m.ok && l.ok && static_cast<int32_t>(static_cast<uint32_t>(l.value)) == m.value;
        all_same = all_same && same;
        std::printf("%-7s machine %.4f s (%" PRIu64
                    " instructions), lua %.4f s, result %s; "
                    "ratio (lua time / machine time): %.2f\n",
                    p.name, m.seconds, m.instructions, l.seconds, same ? "agrees" : "DIFFERS",
                    l.seconds / m.seconds);
        Result a, c;
        BestInTurn([&] { return RunRecords(assembled); }, [&] { return RunRecords(compiled); }, &a, &c);
        bool agrees = c.ok && c.value == m.value;
        all_same = all_same && agrees;
        std::printf("language %-7s compiled %.4f s (%" PRIu64
                    " instructions), assembly %.4f s, result %s; "
                    "ratio (assembly time / compiled time): %.2f\n",
                    p.name, c.seconds, c.instructions, a.seconds, agrees ? "agrees" : "DIFFERS",
                    a.seconds / c.seconds);
    }
    return all_same ? 0 : 1;
}
