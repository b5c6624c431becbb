// z1tool subcommand registry. Each subsystem's tool file registers its
// commands statically; main() dispatches on the first one or two words.
#ifndef ZENDAR_TOOLS_Z1TOOL_COMMAND_H
#define ZENDAR_TOOLS_Z1TOOL_COMMAND_H

#include <string>
#include <vector>

namespace z1tool {

// Exit codes shared by every subcommand.
enum {
    kOk = 0,
    kFailed = 1,
    kUsage = 2
};

// args holds the words after the command's own name.
using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
    const char* name;   // "ini", "jf pack", "model info", ...
    const char* usage;  // argument synopsis, e.g. "FILE"
    const char* help;   // one line
    CommandFn run;
};

bool RegisterCommand(const Command& c);

// Prints "usage: z1tool <name> <usage>" to stderr and returns kUsage.
int Usage(const char* name);

// Prints "z1tool: <message>" to stderr and returns kFailed.
int Fail(const std::string& message);

}  // namespace z1tool

#define Z1TOOL_CAT2(a, b) a##b
#define Z1TOOL_CAT(a, b)  Z1TOOL_CAT2(a, b)
#define Z1TOOL_COMMAND(name, usage, help, fn) \
    static const bool Z1TOOL_CAT(z1tool_reg_, __LINE__) = ::z1tool::RegisterCommand({name, usage, help, fn})

#endif
