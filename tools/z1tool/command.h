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

// Prints "z1tool: <message>" to stderr and returns kFailed. Control
// characters (a damaged file's bytes quoted in a message) are shown as '?',
// so a failure is always one line.
int Fail(const std::string& message);

// The same for a problem with one file: "z1tool: <path>: <problem>".
int FailFile(const std::string& path, const std::string& problem);

// Every command that reads a file checks it first. True when path names a
// regular file that opens for reading, as given or under the base path (as
// the engine's readers try it); otherwise prints why - "no such file", "is
// a directory, not a file" or the system's reason - as FailFile does.
bool CheckInput(const std::string& path);

// CheckInput, then the whole file into bytes; false after its line.
bool ReadInput(const std::string& path, std::string* bytes);

// For text formats: false (after "<path>: is empty" or "<path>: is not a
// text file" when it holds a NUL byte) unless the bytes could be a text.
bool CheckText(const std::string& path, const std::string& bytes);

}  // namespace z1tool

#define Z1TOOL_CAT2(a, b) a##b
#define Z1TOOL_CAT(a, b)  Z1TOOL_CAT2(a, b)
#define Z1TOOL_COMMAND(name, usage, help, fn) \
    static const bool Z1TOOL_CAT(z1tool_reg_, __LINE__) = ::z1tool::RegisterCommand({name, usage, help, fn})

#endif
