// Every test program of the Windows build gets a temporary folder of its own
// for the run, removed at its end (a file still open then, such as the
// dialog log, keeps it, under a name no later run uses). The engine's tests name their files and
// folders after the process id, which no other running process has; but Wine
// hands out the same ids run after run, so what an earlier run left behind
// would meet the next run's names ("mkdir: File exists").
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class RunTempDir {
public:
    RunTempDir() {
        char base[MAX_PATH + 1] = {};
        const DWORD n = GetTempPathA(sizeof base, base);
        if (n == 0 || n > MAX_PATH) return;
        LARGE_INTEGER now = {};
        QueryPerformanceCounter(&now);
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            char leaf[64];
            std::snprintf(leaf, sizeof leaf, "zendar_run_%llx",
                          static_cast<unsigned long long>(now.QuadPart) + attempt);
            const std::string dir = std::string(base) + leaf;
            if (CreateDirectoryA(dir.c_str(), nullptr)) path_ = dir;
        }
        if (path_.empty()) return;
        // googletest's TempDir, and GetTempPath for the tests that ask Windows.
        for (const char* name : {"TEST_TMPDIR", "TEMP", "TMP"}) _putenv_s(name, path_.c_str());
    }
    ~RunTempDir() {
        if (path_.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

private:
    std::string path_;
};

// Before any test's own static objects, which may ask for the folder.
RunTempDir g_runTempDir __attribute__((init_priority(101)));

}  // namespace
