// The engine's plain-text log. One Log per process (the shell creates it on
// "demo2.txt"); everything else writes through LogLine(), which checks the
// "*write_log" gate in the settings record.
#ifndef ZENDAR_UTILITY_LOG_H
#define ZENDAR_UTILITY_LOG_H

#include <cstdio>

class Log {
public:
    // A null name means "log.txt". An existing file is truncated. If the file
    // cannot be created the log stays closed and every call is ignored.
    explicit Log(const char* file_name = nullptr);
    ~Log();

    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    bool IsOpen() const { return open != 0; }

    // printf-like; the result is cut at 259 characters. WriteLine appends '\n'.
    void WriteLine(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void Write(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void NewLine();

    const char* FileName() const { return file_name; }

private:
    FILE* stream = nullptr;
    char* file_name = nullptr;
    unsigned char open = 0;
};

// The process-wide log; null until the shell creates it.
extern Log* g_log;

// printf-like, one line per call, at most 255 characters (longer text is cut).
// Writes only while g_log exists and g_settings->write_log is on. The formatted
// text is written literally: '%' in it is not interpreted again.
void LogLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
