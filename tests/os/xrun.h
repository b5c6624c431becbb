// Running programs under X for the platform tests: a fresh folder per run,
// Xvfb (through xvfb-run) when no display is set, a time limit, the exit code
// and what the program wrote on standard error.
#ifndef ZENDAR_TESTS_PLATFORM_XRUN_H
#define ZENDAR_TESTS_PLATFORM_XRUN_H

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/run_program.h"
#include "common/test_files.h"

namespace xrun {

inline std::string MakeDir(const std::string& name) {
    std::string templ = ::testing::TempDir() + "zendar_" + name + "_XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    char* dir = mkdtemp(buf.data());
    return dir ? std::string(dir) + "/" : std::string();
}

using test_common::FileExists;
using test_common::HaveDisplay;
using test_common::ReadFile;
using test_common::WriteFile;

inline bool Have(const char* tool) { return test_common::HaveProgram(tool); }

inline bool CanRunUnderX() { return HaveDisplay() || Have("xvfb-run"); }

struct Result {
    int exit_code = -1;
    std::string err;
};

// The start of the shell scripts that drive a program's window: `waitfor
// COMMAND...` runs the command every 50 ms until it succeeds; after 30 s it
// ends the programs the script started and the script with them. Scripts
// wait with it for what the next step needs (a log line, a file the program
// writes) rather than for a fixed time.
const char* const kScriptStart =
    "waitfor() {\n"
    "    for i in $(seq 600); do \"$@\" && return 0; sleep 0.05; done\n"
    "    echo \"gave up waiting for: $*\" >&2\n"
    "    kill $(jobs -p) 2>/dev/null; wait; exit 1\n"
    "}\n";

// Runs argv in the folder `work` (stdout dropped, stderr kept); kills the
// whole process group after `timeout` seconds, and whatever of it is left
// once argv has ended.
inline Result Run(const std::string& work, const std::vector<std::string>& command, int timeout) {
    Result result;
    std::vector<std::string> argv;
    // Each test process starts its search for a free X server number at a
    // different place, so that tests run side by side do not race for one.
    // The authority file lives in the run's own folder, so xvfb-run makes no
    // temporary folder of its own: removing that at the end now and then
    // failed and turned a passing run into exit code 5.
    if (!HaveDisplay())
        argv = {"xvfb-run", "-a",
                "-n",       std::to_string(100 + getpid() % 800),
                "-f",       work + "Xauthority",
                "-s",       "-screen 0 1280x1024x24"};
    argv.insert(argv.end(), command.begin(), command.end());
    std::string err_path = work + "stderr.txt";

    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        if (chdir(work.c_str()) != 0) _exit(127);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int null = open("/dev/null", O_WRONLY);
        if (err >= 0) dup2(err, 2);
        if (null >= 0) dup2(null, 1);
        std::vector<char*> cargv;
        for (std::string& a : argv) cargv.push_back(&a[0]);
        cargv.push_back(nullptr);
        execvp(cargv[0], cargv.data());
        _exit(127);
    }
    if (pid < 0) return result;
    auto start = std::chrono::steady_clock::now();
    int status = 0;
    for (;;) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) break;
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(timeout)) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << command[0] << " did not end within " << timeout << " s";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(-pid, SIGKILL);
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    result.err = ReadFile(err_path);
    return result;
}

// The lines of text, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    std::string line;
    while (std::getline(s, line)) lines.push_back(line);
    return lines;
}

// Index of the first line equal to text at or after `from`, or -1.
inline int Find(const std::vector<std::string>& lines, const std::string& text, int from = 0) {
    for (size_t i = static_cast<size_t>(from < 0 ? 0 : from); i < lines.size(); ++i)
        if (lines[i] == text) return static_cast<int>(i);
    return -1;
}

inline int CountOf(const std::vector<std::string>& lines, const std::string& text) {
    int n = 0;
    for (const std::string& l : lines) n += l == text;
    return n;
}

inline std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

// A run of the game and the lines of the log (demo2.txt) it left in its folder.
struct GameResult {
    int exit_code = -1;
    std::string err;
    std::vector<std::string> log;
};

inline GameResult RunGame(const std::string& work, const std::vector<std::string>& command, int timeout) {
    Result r = Run(work, command, timeout);
    GameResult run;
    run.exit_code = r.exit_code;
    run.err = r.err;
    run.log = Lines(ReadFile(work + "demo2.txt"));
    return run;
}

}  // namespace xrun

#endif
