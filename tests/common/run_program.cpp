#include "common/run_program.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "common/test_files.h"

namespace test_common {

ProgramRun RunProgram(const std::string& command, const std::string& errFile) {
    ProgramRun r;
    std::string line = command;
    if (!errFile.empty()) line += " 2>'" + errFile + "'";
    FILE* p = popen(line.c_str(), "r");
    if (!p) return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
    r.status = ExitCode(pclose(p));
    if (!errFile.empty()) r.err = ReadFile(errFile);
    return r;
}

int ExitCode(int status) { return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

bool HaveProgram(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool HaveDisplay() {
    const char* d = std::getenv("DISPLAY");
    return d && *d;
}

}  // namespace test_common
