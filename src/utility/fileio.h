// The one function that opens a data file. Data paths are written with
// backslashes and data made on Windows mixes letter case, so on POSIX the path
// is mapped to '/' and, when the exact path does not exist, each component is
// looked up ignoring ASCII letter case. Every reader opens files through it.
#ifndef ZENDAR_UTILITY_FILEIO_H
#define ZENDAR_UTILITY_FILEIO_H

#include <cstdio>
#include <string>
#include <vector>

// Returns the stream or null. For read modes every component is resolved; for
// write/append modes the existing folders are resolved and the final name is
// kept as given when no entry matches it.
FILE* OpenFile(const char* path, const char* mode);

// The path OpenFile would open: separators mapped, components resolved as far
// as they exist (an unmatched tail is kept as given).
std::string ResolvePath(const char* path);

// True when the path (resolved as above) names an existing regular file.
bool FileExists(const char* path);

// The whole file, opened as OpenFile opens it; false when it cannot be opened
// or read, or holds more than limit bytes (*out then holds what was read).
bool ReadWholeFile(const char* path, std::string* out, size_t limit = static_cast<size_t>(-1));
bool ReadWholeFile(const char* path, std::vector<unsigned char>* out, size_t limit = static_cast<size_t>(-1));

#endif
