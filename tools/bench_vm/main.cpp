// Runs a small suite once on the script machine and once in Lua 5.4, in the
// same run, and prints each program's times and their ratio:
//   loop    sums 1 to N with a counter, a compare and a jump
//   fib     recursive Fibonacci
//   text    builds a text from a number every round
//   vector  moves a point by a velocity, component by component
//   bench_vm [N]   (N: rounds of the loop, 10^7 by default; the others scale)
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
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

namespace {

// Best of several runs each, so that other work on the machine disturbs the
// ratio less.
const int kRuns = 5;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Result {
    double seconds = 1e30;
    int64_t value = 0;
    uint64_t instructions = 0;
    bool ok = false;
};

Result RunMachine(const std::string& source) {
    Result r;
    std::vector<ScriptRecord> records;
    std::string error;
    if (!AssembleScript(source, &records, &error)) {
        std::fprintf(stderr, "bench_vm: %s\n", error.c_str());
        return r;
    }
    std::string path = "/tmp/bench_vm_" + std::to_string(getpid()) + ".scr";
    if (!WriteScriptFile(path.c_str(), records, &error)) {
        std::fprintf(stderr, "bench_vm: %s\n", error.c_str());
        return r;
    }
    int32_t top = 0;
    for (int run = 0; run < kRuns; ++run) {
        ScriptSystem scripts;
        scripts.SetFinishedObserver([](const ScriptInstance* in,
                                       void* out) { *static_cast<int32_t*>(out) = in->stack[in->top].w[0]; },
                                    &top);
        scripts.Load(path.c_str());
        if (!scripts.VM()) {
            std::fprintf(stderr, "bench_vm: the program did not load\n");
            break;
        }
        scripts.VM()->SetInstructionBudget(0xFFFFFFFFu);
        auto t0 = std::chrono::steady_clock::now();
        scripts.RunScheduler();
        double seconds = Seconds(t0);
        if (seconds < r.seconds) r.seconds = seconds;
        r.instructions = scripts.VM()->InstructionCount();
        r.ok = scripts.RunningCount() == 0;
    }
    std::remove(path.c_str());
    r.value = top;
    return r;
}

Result RunLua(const std::string& source) {
    Result r;
    for (int run = 0; run < kRuns; ++run) {
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
        double seconds = Seconds(t0);
        if (seconds < r.seconds) r.seconds = seconds;
        r.value = lua_tointeger(L, -1);
        r.ok = true;
        lua_close(L);
    }
    return r;
}

struct Program {
    const char* name;
    std::string machine;
    std::string lua;
};

}  // namespace

int main(int argc, char** argv) {
    long n = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000000L;
    if (n <= 0 || n > 100000000L) {
        std::fprintf(stderr, "usage: bench_vm [N up to 10^8]\n");
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
         "local n = " + N + "\nlocal i, s = 0, 0\nrepeat i = i + 1; s = s + i until not (i < n)\nreturn s\n"},
        {"fib",
         "function fib params=1 frame=1\n  pushl 1\n  push2\n  jlt small\n"
         "  pushl 1\n  push1\n  sub\n  call \"fib\"\n  pushl 1\n  push2\n  sub\n  call \"fib\"\n  add\n  "
         "retv\n"
         "small:\n  pushl 1\n  retv\nend\n"
         "program main locals=0 trigger=init\n  const n int " +
             F + "\n  pushc n\n  call \"fib\"\nend\n",
         "local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end\nreturn fib(" +
             F + ")\n"},
        {"text",
         "program text locals=2 trigger=init\n  const n int " + T +
             "\n  const pre text \"row \"\n  const h int 100\n"
             "loop:\n  addl 0 1\n  pushc pre\n  pushl 0\n  pushc h\n  mod\n  itos\n  concat\n  storel 1\n"
             "  pushl 0\n  pushc n\n  jlt loop\n  pushl 0\nend\n",
         "local n = " + T +
             "\nlocal i, s = 0, nil\nrepeat i = i + 1; s = \"row \" .. (i % 100) until not (i < n)\nreturn "
             "i\n"},
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
             "until not (i < n)\nreturn math.floor(p.z)\n"},
    };

    bool all_same = true;
    for (const Program& p : programs) {
        Result m = RunMachine(p.machine);
        Result l = RunLua(p.lua);
        // The loop's sum runs past 32 bits in Lua; the machine's wraps.
        bool same = m.ok && l.ok && static_cast<int32_t>(static_cast<uint32_t>(l.value)) == m.value;
        all_same = all_same && same;
        std::printf("%-7s machine %.3f s (%" PRIu64
                    " instructions), lua %.3f s, result %s; "
                    "ratio (lua time / machine time): %.2f\n",
                    p.name, m.seconds, m.instructions, l.seconds, same ? "agrees" : "DIFFERS",
                    l.seconds / m.seconds);
    }
    return all_same ? 0 : 1;
}
