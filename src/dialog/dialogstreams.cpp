#include "dialog/dialogstreams.h"

#include <cstdarg>
#include <cstring>

namespace {
FILE* g_errorStream = nullptr;
FILE* g_traceStream = nullptr;
}  // namespace

void SetDialogErrorStream(FILE* stream) { g_errorStream = stream; }
void SetDialogTraceStream(FILE* stream) { g_traceStream = stream; }
FILE* DialogErrorStream() { return g_errorStream ? g_errorStream : stderr; }
FILE* DialogTraceStream() { return g_traceStream; }
bool DialogTracing() { return g_traceStream != nullptr; }

void DialogError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    DialogErrorV(format, args);
    va_end(args);
}

void DialogErrorV(const char* format, va_list args) {
    FILE* out = DialogErrorStream();
    std::vfprintf(out, format, args);
    std::fputc('\n', out);
    std::fflush(out);
}

void DialogTrace(const char* format, ...) {
    if (!g_traceStream) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(g_traceStream, format, args);
    va_end(args);
    if (std::strchr(format, '\n')) std::fflush(g_traceStream);
}
