#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "command.h"
#include "utility/basepath.h"
#include "utility/fileio.h"

namespace z1tool {
namespace {

std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

std::vector<Command> Sorted(const std::string& group) {
    std::vector<Command> sorted;
    for (const Command& c : Registry())
        if (group.empty() || std::string(c.name).compare(0, group.size() + 1, group + " ") == 0)
            sorted.push_back(c);
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    return sorted;
}

void PrintCommands(FILE* out, const std::vector<Command>& commands) {
    for (const Command& c : commands) std::fprintf(out, "  %s %s\n      %s\n", c.name, c.usage, c.help);
}

void PrintHelp(FILE* out) {
    std::fprintf(out, "usage: z1tool COMMAND [ARGS...]\n\ncommands:\n");
    PrintCommands(out, Sorted(""));
}

std::string OneLine(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return line;
}

// What is wrong with reading path as a file, or "" when nothing is.
std::string InputProblem(const std::string& path) {
    if (path.empty()) return "no such file";
    std::string found;
    struct stat st;
    for (const std::string& candidate : {path, std::string(GetBasePath()) + path}) {
        std::string resolved = ResolvePath(candidate.c_str());
        if (::stat(resolved.c_str(), &st) == 0) {
            found = resolved;
            break;
        }
    }
    if (found.empty()) return "no such file";
    if (S_ISDIR(st.st_mode)) return "is a directory, not a file";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    FILE* f = std::fopen(found.c_str(), "rb");
    if (!f) return std::string("cannot be read: ") + std::strerror(errno);
    std::fclose(f);
    return "";
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
    std::fprintf(stderr, "z1tool: %s\n", OneLine(message).c_str());
    return kFailed;
}

int FailFile(const std::string& path, const std::string& problem) { return Fail(path + ": " + problem); }

bool CheckInput(const std::string& path) {
    std::string problem = InputProblem(path);
    if (problem.empty()) return true;
    FailFile(path, problem);
    return false;
}

bool ReadInput(const std::string& path, std::string* bytes) {
    if (!CheckInput(path)) return false;
    FILE* f = OpenFile(path.c_str(), "rb");
    if (!f) f = OpenFile((std::string(GetBasePath()) + path).c_str(), "rb");
    if (!f) {
        FailFile(path, "cannot be read");
        return false;
    }
    bytes->clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) FailFile(path, "cannot be read");
    return ok;
}

bool CheckText(const std::string& path, const std::string& bytes) {
    if (bytes.empty()) {
        FailFile(path, "is empty");
        return false;
    }
    if (bytes.find('\0') != std::string::npos) {
        FailFile(path, "is not a text file");
        return false;
    }
    return true;
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
        std::vector<Command> group = Sorted(argv[1]);
        if (group.empty()) {
            std::fprintf(stderr, "z1tool: unknown command '%s'\n", OneLine(argv[1]).c_str());
            PrintHelp(stderr);
            return kUsage;
        }
        // A known group with an unknown or missing verb: say which, and what
        // the group has.
        std::string verbs;
        for (const Command& c : group)
            verbs += (verbs.empty() ? "" : ", ") + std::string(c.name).substr(std::strlen(argv[1]) + 1);
        if (argc < 3)
            std::fprintf(stderr, "z1tool: '%s' needs a subcommand: %s\n", argv[1], verbs.c_str());
        else
            std::fprintf(stderr, "z1tool: '%s' has no subcommand '%s': %s\n", argv[1],
                         OneLine(argv[2]).c_str(), verbs.c_str());
        PrintCommands(stderr, group);
        return kUsage;
    }
    std::vector<std::string> args(argv + 1 + used, argv + argc);
    // A command that throws (memory exhausted by a damaged file's counts)
    // still ends with its one line.
    try {
        return found->run(args);
    } catch (const std::exception& e) {
        return Fail(std::string(found->name) + ": " + e.what());
    }
}
