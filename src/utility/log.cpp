#include "utility/log.h"

#include <cstdarg>
#include <cstring>

Log* g_log = nullptr;

namespace {

LogGate g_gate = nullptr;

// The global call's formatting buffer (one thread, not re-entrant).
char g_log_buffer[256];

// vsnprintf never writes past the buffer; an over-long message is cut.
void FormatInto(char* buffer, size_t capacity, const char* format, va_list args) {
    int n = std::vsnprintf(buffer, capacity, format, args);
    if (n < 0) buffer[0] = '\0';
}

}  // namespace

Log::Log(const char* name) {
    if (!name) name = "log.txt";
    size_t len = std::strlen(name);
    fileName_ = new char[len + 1];
    std::memcpy(fileName_, name, len + 1);
    stream_ = std::fopen(fileName_, "wt");
    if (!stream_) {
        delete[] fileName_;
        fileName_ = nullptr;
        return;
    }
    std::setvbuf(stream_, nullptr, _IONBF, 0);
    open_ = 1;
    WriteLine("--** Started logging **-------------------------------------");
}

Log::~Log() {
    if (open_) {
        WriteLine("--** Ended Logging **---------------------------------------");
        std::fclose(stream_);
        stream_ = nullptr;
        open_ = 0;
    }
    delete[] fileName_;
    fileName_ = nullptr;
}

void Log::Emit(const char* end, const char* format, va_list args) {
    if (!open_) return;
    char buffer[260];
    FormatInto(buffer, sizeof buffer, format, args);
    std::fprintf(stream_, "%s%s", buffer, end);
}

void Log::WriteLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Emit("\n", format, args);
    va_end(args);
}

void Log::Write(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Emit("", format, args);
    va_end(args);
}

void Log::NewLine() {
    if (!open_) return;
    std::fputc('\n', stream_);
}

void SetLogGate(LogGate gate) { g_gate = gate; }

void LogLine(const char* format, ...) {
    if (!g_log || !g_gate || !g_gate()) return;
    va_list args;
    va_start(args, format);
    FormatInto(g_log_buffer, sizeof g_log_buffer, format, args);
    va_end(args);
    g_log->WriteLine("%s", g_log_buffer);
}
