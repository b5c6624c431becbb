// The engine's plain-text log. One Log per process (the shell creates it on
// "demo2.txt"); everything else writes through LogLine(), which writes only
// while the gate is open. The gate is the settings record's "*write_log" flag:
// the settings install it (settings/settings.h), so the log itself knows
// nothing of them and lines written before the record exists are dropped.
#ifndef ZENDAR_UTILITY_LOG_H
#define ZENDAR_UTILITY_LOG_H

#include <cstdarg>
#include <cstdio>

class Log {
public:
    // A null name means "log.txt". An existing file is truncated. If the file
    // cannot be created the log stays closed and every call is ignored.
    explicit Log(const char* fileName = nullptr);
    ~Log();

    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    bool IsOpen() const { return open_ != 0; }

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

    const char* FileName() const { return fileName_; }

private:
    // The formatted text and then end (a newline or nothing).
    void Emit(const char* end, const char* format, va_list args);

    FILE* stream_ = nullptr;
    char* fileName_ = nullptr;
    unsigned char open_ = 0;
};

// The process-wide log; null until the shell creates it.
extern Log* g_log;

// Answers whether LogLine may write now.
typedef bool (*LogGate)();
// Installs the gate; null (the start) closes it.
void SetLogGate(LogGate gate);

// printf-like, one line per call, at most 255 characters (longer text is cut).
// Writes only while g_log exists and the gate is open. The formatted text is
// written literally: '%' in it is not interpreted again.
void LogLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
