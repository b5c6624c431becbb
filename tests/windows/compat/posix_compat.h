// The few POSIX calls the engine's tests make, for the Windows build of the
// tests (force-included by tests/windows/CMakeLists.txt): folders with a
// mode, unique temporary folders, the exit code of system() and pclose(),
// and removing a folder tree.
#ifndef ZENDAR_TESTS_WINDOWS_COMPAT_POSIX_COMPAT_H
#define ZENDAR_TESTS_WINDOWS_COMPAT_POSIX_COMPAT_H

#ifdef _WIN32

#include <direct.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
// Old segment keywords; tests use these words as names.
#undef near
#undef far

#include <cstdio>
#include <cstring>
#include <string>

// Windows folders have no mode bits.
inline int mkdir(const char* path, int) { return _mkdir(path); }

// Replaces the trailing XXXXXX and makes the folder; null when none could be made.
inline char* mkdtemp(char* pattern) {
    size_t n = std::strlen(pattern);
    if (n < 6 || std::strcmp(pattern + n - 6, "XXXXXX") != 0) return nullptr;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        unsigned value = GetCurrentProcessId() * 2654435761u + GetTickCount() + ++counter * 7919u;
        for (int i = 0; i < 6; ++i) {
            pattern[n - 6 + i] = "abcdefghijklmnopqrstuvwxyz0123456789"[value % 36];
            value /= 36;
        }
        if (_mkdir(pattern) == 0) return pattern;
    }
    return nullptr;
}

// There is no /proc/self/exe: the running program's own path.
inline long readlink(const char* path, char* buffer, size_t size) {
    if (std::strcmp(path, "/proc/self/exe") != 0) return -1;
    DWORD n = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
    return n == 0 || n >= size ? -1 : static_cast<long>(n);
}

#endif  // _WIN32

#endif
