#include "command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace z1tool {
namespace {

std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

void PrintHelp(FILE* out) {
    std::fprintf(out, "usage: z1tool COMMAND [ARGS...]\n\ncommands:\n");
    std::vector<Command> sorted = Registry();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const Command& c : sorted) std::fprintf(out, "  %s %s\n      %s\n", c.name, c.usage, c.help);
}

}  // namespace

bool RegisterCommand(const Command& c) {
    Registry().push_back(c);
    return true;
}

int Usage(const char* name) {
    for (const Command& c : Registry())
        if (std::strcmp(c.name, name) == 0) {
            std::fprintf(stderr, "usage: z1tool %s %s\n", c.name, c.usage);
            return kUsage;
        }
    std::fprintf(stderr, "usage: z1tool %s\n", name);
    return kUsage;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "z1tool: %s\n", message.c_str());
    return kFailed;
}

}  // namespace z1tool

int main(int argc, char** argv) {
    using namespace z1tool;
    if (argc < 2) {
        PrintHelp(stderr);
        return kUsage;
    }
    if (!std::strcmp(argv[1], "help") || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        PrintHelp(stdout);
        return kOk;
    }
    // Two-word commands ("jf pack") take precedence over one-word ones ("ini").
    const Command* found = nullptr;
    int used = 0;
    for (const Command& c : Registry()) {
        if (argc >= 3 && std::string(c.name) == std::string(argv[1]) + " " + argv[2]) {
            found = &c;
            used = 2;
            break;
        }
    }
    if (!found)
        for (const Command& c : Registry())
            if (std::string(c.name) == argv[1]) {
                found = &c;
                used = 1;
                break;
            }
    if (!found) {
        // A known group with an unknown or missing verb is still a usage error.
        std::fprintf(stderr, "z1tool: unknown command '%s'\n", argv[1]);
        PrintHelp(stderr);
        return kUsage;
    }
    std::vector<std::string> args(argv + 1 + used, argv + argc);
    return found->run(args);
}
