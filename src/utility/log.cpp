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
    file_name = new char[len + 1];
    std::memcpy(file_name, name, len + 1);
    stream = std::fopen(file_name, "wt");
    if (!stream) {
        delete[] file_name;
        file_name = nullptr;
        return;
    }
    std::setvbuf(stream, nullptr, _IONBF, 0);
    open = 1;
    WriteLine("--** Started logging **-------------------------------------");
}

Log::~Log() {
    if (open) {
        WriteLine("--** Ended Logging **---------------------------------------");
        std::fclose(stream);
        stream = nullptr;
        open = 0;
    }
    delete[] file_name;
    file_name = nullptr;
}

void Log::WriteLine(const char* format, ...) {
    if (!open) return;
    char buffer[260];
    va_list args;
    va_start(args, format);
    FormatInto(buffer, sizeof buffer, format, args);
    va_end(args);
    std::fprintf(stream, "%s\n", buffer);
}

void Log::Write(const char* format, ...) {
    if (!open) return;
    char buffer[260];
    va_list args;
    va_start(args, format);
    FormatInto(buffer, sizeof buffer, format, args);
    va_end(args);
    std::fprintf(stream, "%s", buffer);
}

void Log::NewLine() {
    if (!open) return;
    std::fputc('\n', stream);
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
