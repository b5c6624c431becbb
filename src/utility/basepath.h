// The base path: the folder of the running executable, ending with the
// separator. Every data path is relative to it. Lives with the file layer so
// that the readers need not link the settings module; the settings record shows
// the same text.
#ifndef ZENDAR_UTILITY_BASEPATH_H
#define ZENDAR_UTILITY_BASEPATH_H

// The text stays at the same address for the whole process and follows every
// SetBasePath, so a record may keep the pointer. Computed on first use (POSIX:
// /proc/self/exe) unless SetBasePath was called.
const char* GetBasePath();
// Overrides the base path (the platform at start-up, the harness's --base
// option, tools). A missing final separator is added; null or "" gives the
// empty base path. Text beyond kBasePathCapacity - 2 characters is cut.
void SetBasePath(const char* path);
constexpr int kBasePathCapacity = 4096;

// The Windows command-line rule: the text from the start (or after an opening
// quote) up to and including the last backslash before the cut position (the
// closing quote, or a colon found from index 3 on, or the end). Returns a new[]'d
// string exactly as long as that prefix.
char* BasePathFromCommandLine(const char* command_line);

#endif
