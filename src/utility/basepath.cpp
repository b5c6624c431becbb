#include "utility/basepath.h"

#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <stdlib.h>
#else
#include <unistd.h>
#endif

namespace {

bool g_computed = false;
// A fixed buffer rather than a string: its address never changes.
char g_base_path[kBasePathCapacity];

void Store(const std::string& path) {
    size_t n = path.size() < sizeof g_base_path - 1 ? path.size() : sizeof g_base_path - 1;
    std::memcpy(g_base_path, path.data(), n);
    g_base_path[n] = '\0';
    g_computed = true;
}

std::string ExecutableFolder() {
#if defined(_WIN32)
    const char* program = _pgmptr;
    if (!program) return std::string();
    std::string p(program);
#else
    std::string p;
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    p.assign(buffer, static_cast<size_t>(n));
#endif
    size_t cut = p.find_last_of("/\\");
    if (cut == std::string::npos) return std::string();
    return p.substr(0, cut + 1);
}

}  // namespace

const char* GetBasePath() {
    if (!g_computed) Store(ExecutableFolder());
    return g_base_path;
}

void SetBasePath(const char* path) {
    std::string p = path ? path : "";
    if (p.size() > sizeof g_base_path - 2) p.resize(sizeof g_base_path - 2);
    if (!p.empty() && p.back() != '/' && p.back() != '\\') {
#if defined(_WIN32)
        p += '\\';
#else
        p += '/';
#endif
    }
    Store(p);
}

char* BasePathFromCommandLine(const char* command_line) {
    if (!command_line) command_line = "";
    const int length = static_cast<int>(std::strlen(command_line));
    int cut = length;
    int start = 0;
    if (command_line[0] == '"') {
        start = 1;
        const char* close = std::strchr(command_line + 1, '"');
        if (close) cut = static_cast<int>(close - command_line);
    }
    if (length > 3) {
        const char* colon = std::strchr(command_line + 3, ':');
        if (colon) cut = static_cast<int>(colon - command_line);
    }
    if (cut >= length) cut = length - 1;
    while (cut > 0 && command_line[cut] != '\\') --cut;
    // No backslash at all: the program's folder is unknown, the base path is empty.
    int end = (cut >= 0 && cut < length && command_line[cut] == '\\') ? cut + 1 : start;
    if (end < start) end = start;
    char* result = new char[end - start + 1];
    std::memcpy(result, command_line + start, end - start);
    result[end - start] = '\0';
    return result;
}
