// Sums 1 to 10^7 with a counter, a compare and a jump, once on the script
// machine and once in Lua 5.4, in the same run, and prints both rates.
//   bench_vm [N]
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

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    long n = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000000L;
    if (n <= 0 || n > 100000000L) {
        std::fprintf(stderr, "usage: bench_vm [N up to 10^8]\n");
        return 2;
    }
    // 8 instructions a round: addl, pushl, pushl, add, storel, pushl, pushc, jlt.
    std::string source =
        "program sum locals=2 trigger=init\n"
        "  const n int " +
        std::to_string(n) +
        "\n"
        "loop:\n"
        "  addl 0 1\n  pushl 1\n  pushl 0\n  add\n  storel 1\n"
        "  pushl 0\n  pushc n\n  jlt loop\n"
        "  pushl 1\nend\n";
    std::vector<ScriptRecord> records;
    std::string error;
    if (!AssembleScript(source, &records, &error)) {
        std::fprintf(stderr, "bench_vm: %s\n", error.c_str());
        return 1;
    }
    std::string path = "/tmp/bench_vm_" + std::to_string(getpid()) + ".scr";
    if (!WriteScriptFile(path.c_str(), records, &error)) {
        std::fprintf(stderr, "bench_vm: %s\n", error.c_str());
        return 1;
    }

    // Best of three runs each, so that other work on the machine disturbs
    // the ratio less.
    const int kRuns = 3;
    int32_t vm_sum = 0;
    double vm_seconds = 1e30;
    uint64_t instructions = 0;
    for (int run = 0; run < kRuns; ++run) {
        ScriptSystem scripts;
        scripts.SetFinishedObserver([](const ScriptInstance* in,
                                       void* out) { *static_cast<int32_t*>(out) = in->stack[in->top].w[0]; },
                                    &vm_sum);
        scripts.Load(path.c_str());
        if (!scripts.VM()) {
            std::fprintf(stderr, "bench_vm: the program did not load\n");
            return 1;
        }
        scripts.VM()->SetInstructionBudget(0xFFFFFFFFu);
        auto t0 = std::chrono::steady_clock::now();
        scripts.RunScheduler();
        double seconds = Seconds(t0);
        if (seconds < vm_seconds) vm_seconds = seconds;
        instructions = scripts.VM()->InstructionCount();
    }
    std::remove(path.c_str());

    std::string lua = "local n = " + std::to_string(n) +
                      "\n"
                      "local i, s = 0, 0\n"
                      "repeat i = i + 1; s = s + i until not (i < n)\n"
                      "return s\n";
    double lua_seconds = 1e30;
    long long lua_sum = 0;
    for (int run = 0; run < kRuns; ++run) {
        lua_State* L = luaL_newstate();
        luaL_openlibs(L);
        if (luaL_loadstring(L, lua.c_str()) != LUA_OK) {
            std::fprintf(stderr, "bench_vm: %s\n", lua_tostring(L, -1));
            return 1;
        }
        auto t0 = std::chrono::steady_clock::now();
        if (lua_pcall(L, 0, 1, 0) != LUA_OK) {
            std::fprintf(stderr, "bench_vm: %s\n", lua_tostring(L, -1));
            return 1;
        }
        double seconds = Seconds(t0);
        if (seconds < lua_seconds) lua_seconds = seconds;
        lua_sum = lua_tointeger(L, -1);
        lua_close(L);
    }

    bool same = static_cast<int32_t>(static_cast<uint32_t>(lua_sum)) == vm_sum;
    std::printf("rounds: %ld (sum %lld; the machine's 32-bit sum %s)\n", n, lua_sum,
                same ? "agrees modulo 2^32" : "DIFFERS");
    std::printf("script machine: best %.3f s, %" PRIu64
                " instructions, %.1f M instructions/s, %.1f M rounds/s\n",
                vm_seconds, instructions, instructions / vm_seconds / 1e6, n / vm_seconds / 1e6);
    std::printf("lua 5.4:        best %.3f s, %.1f M rounds/s\n", lua_seconds, n / lua_seconds / 1e6);
    std::printf("ratio (lua time / machine time): %.2f\n", lua_seconds / vm_seconds);
    return same ? 0 : 1;
}
