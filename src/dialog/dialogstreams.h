// The dialog module's two diagnostic streams. Errors go to standard error
// until the dialog manager is initialised, then to "Dialog.log"; the trace
// (load and execution detail) is discarded unless a stream is given.
#ifndef ZENDAR_DIALOG_DIALOGSTREAMS_H
#define ZENDAR_DIALOG_DIALOGSTREAMS_H

#include <cstdarg>
#include <cstdio>

#if defined(__GNUC__)
#define DIALOG_PRINTF(a, b) __attribute__((format(printf, a, b)))
#else
#define DIALOG_PRINTF(a, b)
#endif

// A null stream restores the default (standard error / discarded).
void SetDialogErrorStream(FILE* stream);
void SetDialogTraceStream(FILE* stream);
FILE* DialogErrorStream();
FILE* DialogTraceStream();  // null while the trace is discarded

// One line on the error stream (newline added, stream flushed).
void DialogError(const char* format, ...) DIALOG_PRINTF(1, 2);
void DialogErrorV(const char* format, va_list args);
// Text on the trace stream, exactly as given (callers add newlines).
void DialogTrace(const char* format, ...) DIALOG_PRINTF(1, 2);
bool DialogTracing();

#endif
