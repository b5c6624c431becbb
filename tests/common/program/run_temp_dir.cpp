// Every test program gets a temporary folder of its own for the run, removed
// at its end, so that a suite run leaves nothing in the system's temporary
// folder (hundreds of files a run would otherwise pile up there and slow
// down whatever lists it). Linked into each test program, not the shared
// library, so that the linker keeps it.
//
// On Windows it also keeps runs apart: the tests name their files after the
// process id, and Wine hands out the same ids run after run, so what an
// earlier run left behind would meet the next run's names ("mkdir: File
// exists"). A file still open at the end there, such as the dialog log,
// keeps the folder, under a name no later run uses.
#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class RunTempDir {
public:
    RunTempDir() {
#if defined(_WIN32)
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
#else
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/zendar_run_XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!::mkdtemp(buffer.data())) return;
        path_ = buffer.data();
        owner_ = ::getpid();
        // googletest's TempDir, and the programs and scripts the tests start.
        for (const char* name : {"TEST_TMPDIR", "TMPDIR"}) ::setenv(name, path_.c_str(), 1);
#endif
    }
    ~RunTempDir() {
        if (path_.empty()) return;
#if !defined(_WIN32)
        // A forked child that exits normally runs this too: the folder is
        // its parent's.
        if (::getpid() != owner_) return;
#endif
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

private:
    std::string path_;
#if !defined(_WIN32)
    pid_t owner_ = 0;
#endif
};

// Before any test's own static objects, which may ask for the folder.
RunTempDir g_runTempDir __attribute__((init_priority(101)));

}  // namespace
