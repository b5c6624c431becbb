// The joined-file archive ("KVJF"): many small files packed into one with a
// directory at its end. The Jf* calls act on the archive only and decline (null
// or -1) when it is not loaded or does not hold the stream/name; the File*
// calls try the archive first and fall back to the plain C library calls, so
// loaders work unchanged with loose files.
#ifndef ZENDAR_UTILITY_JF_H
#define ZENDAR_UTILITY_JF_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Reads the directory of the archive (opened by the name as passed). Logs and
// leaves the archive unloaded on failure. A second call replaces the directory.
void JfInitialize(const char* archive_name);
// Forgets the directory (streams still open stay valid streams).
void JfShutdown();
bool JfLoaded();

FILE* JfOpen(const char* name, const char* mode);
long JfRead(void* buffer, size_t element_size, size_t count, FILE* stream);
long JfTell(FILE* stream);
int JfSeek(FILE* stream, long offset, int origin);
int JfClose(FILE* stream);

FILE* FileOpen(const char* name, const char* mode);
size_t FileRead(void* buffer, size_t element_size, size_t count, FILE* stream);
long FileTell(FILE* stream);
int FileSeek(FILE* stream, long offset, int origin);
int FileClose(FILE* stream);

// Lookup rule: same length, '/' equals '\\', ASCII case ignored.
bool JfNamesMatch(const char* a, const char* b);

struct JfEntryInfo {
    std::string name;
    uint32_t offset;
    uint32_t size;
};
// The loaded directory in file order.
std::vector<JfEntryInfo> JfDirectory();

// Writes an archive: magic, directory offset, the files' bytes back to back,
// then one directory entry per file. names[i] is stored as given (at most 254
// characters). Returns false with a one-line reason in *error.
struct JfPackInput {
    std::string name;
    std::vector<uint8_t> data;
};
bool JfWriteArchive(const char* out_path, const std::vector<JfPackInput>& files, std::string* error);

#endif
