#include "utility/jf.h"

#include <cerrno>
#include <cstring>

#include "utility/basepath.h"
#include "utility/fileio.h"
#include "utility/log.h"

namespace {

struct JfEntry {
    char* name;
    char* archive;  // the archive's file name as passed to JfInitialize
    uint32_t offset;
    uint32_t size;
    JfEntry* next;
};

struct JfOpenRecord {
    FILE* stream;
    long start;
    long size;
    JfOpenRecord* next;
};

JfEntry* g_directory = nullptr;
JfEntry* g_directory_tail = nullptr;
bool g_loaded = false;
JfOpenRecord* g_open = nullptr;

char* CopyText(const char* s) {
    size_t n = std::strlen(s);
    char* c = new char[n + 1];
    std::memcpy(c, s, n + 1);
    return c;
}

// Reads a little-endian 32-bit word; a short read keeps the bytes it got.
bool ReadWord(FILE* f, uint32_t* value) {
    unsigned char b[4] = {0, 0, 0, 0};
    size_t n = std::fread(b, 1, 4, f);
    *value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return n == 4;
}

void LogReadError(const char* archive) {
    LogLine("ERROR - Cannot read from JF-file '%s'! - %s", archive, std::strerror(errno));
}

JfOpenRecord* FindRecord(FILE* stream) {
    for (JfOpenRecord* r = g_open; r; r = r->next)
        if (r->stream == stream) return r;
    return nullptr;
}

void Unregister(FILE* stream) {
    JfOpenRecord** link = &g_open;
    while (*link) {
        if ((*link)->stream == stream) {
            JfOpenRecord* gone = *link;
            *link = gone->next;
            delete gone;
            return;
        }
        link = &(*link)->next;
    }
}

const JfEntry* Lookup(const char* name) {
    for (const JfEntry* e = g_directory; e; e = e->next)
        if (JfNamesMatch(e->name, name)) return e;
    return nullptr;
}

char FoldChar(char c) {
    if (c == '/') return '\\';
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

}  // namespace

bool JfNamesMatch(const char* a, const char* b) {
    if (!a || !b) return false;
    size_t la = std::strlen(a), lb = std::strlen(b);
    if (la != lb) return false;
    for (size_t i = 0; i < la; ++i)
        if (FoldChar(a[i]) != FoldChar(b[i])) return false;
    return true;
}

void JfShutdown() {
    while (g_directory) {
        JfEntry* next = g_directory->next;
        delete[] g_directory->name;
        delete[] g_directory->archive;
        delete g_directory;
        g_directory = next;
    }
    g_directory_tail = nullptr;
    while (g_open) {
        JfOpenRecord* next = g_open->next;
        delete g_open;
        g_open = next;
    }
    g_loaded = false;
}

bool JfLoaded() { return g_loaded; }

void JfInitialize(const char* archive_name) {
    JfShutdown();
    if (!archive_name) archive_name = "";
    FILE* f = OpenFile(archive_name, "rb");
    if (!f) {
        LogLine("ERROR - Cannot open JF-file '%s'!\n", archive_name);
        return;
    }
    char magic[4] = {0, 0, 0, 0};
    errno = 0;
    if (std::fread(magic, 1, 4, f) != 4) LogReadError(archive_name);
    if (std::memcmp(magic, "KVJF", 4) != 0)
        LogLine("ERROR - The JF-file '%s' is an invalid file-type!\n", archive_name);

    uint32_t directory = 0;
    errno = 0;
    if (!ReadWord(f, &directory)) LogReadError(archive_name);
    errno = 0;
    if (std::fseek(f, static_cast<long>(directory), SEEK_SET) != 0) {
        // Without the directory's place every entry read would be invented.
        LogLine("ERROR - Cannot locate the JF-file '%s' directory! - %s", archive_name, std::strerror(errno));
        std::fclose(f);
        LogLine("JF initialized");
        return;
    }

    for (;;) {
        char name[256];
        int length = 0;
        bool terminated = false;
        while (length < 255) {
            int c = std::fgetc(f);
            if (c == EOF) break;
            name[length] = static_cast<char>(c);
            if (c == 0) {
                terminated = true;
                break;
            }
            ++length;
        }
        if (!terminated) break;
        JfEntry* e = new JfEntry{CopyText(name), CopyText(archive_name), 0, 0, nullptr};
        if (g_directory_tail)
            g_directory_tail->next = e;
        else
            g_directory = e;
        g_directory_tail = e;
        errno = 0;
        if (!ReadWord(f, &e->offset)) LogReadError(archive_name);
        errno = 0;
        if (!ReadWord(f, &e->size)) LogReadError(archive_name);
    }
    std::fclose(f);
    g_loaded = g_directory != nullptr;
    LogLine("JF initialized");
}

FILE* JfOpen(const char* name, const char* mode) {
    if (!g_loaded) return nullptr;
    if (!mode || (std::strcmp(mode, "r") && std::strcmp(mode, "rb") && std::strcmp(mode, "rt"))) {
        LogLine("Error in JfOpen - Bad open mode");
        return nullptr;
    }
    const JfEntry* e = name ? Lookup(name) : nullptr;
    if (!e) {
        LogLine("Error in JfOpen - cannot find file '%s'", name ? name : "");
        return nullptr;
    }
    std::string path = std::string(GetBasePath()) + e->archive;
    FILE* f = OpenFile(path.c_str(), mode);
    if (!f) {
        LogLine("Error in JfOpen - cannot open JF file %s", path.c_str());
        return nullptr;
    }
    if (std::fseek(f, static_cast<long>(e->offset), SEEK_SET) != 0) {
        LogLine("Error in JfOpen - cannot seek to position");
        std::fclose(f);
        return nullptr;
    }
    JfOpenRecord* r = new JfOpenRecord{f, static_cast<long>(e->offset), static_cast<long>(e->size), nullptr};
    JfOpenRecord** tail = &g_open;
    while (*tail) tail = &(*tail)->next;
    *tail = r;
    return f;
}

long JfRead(void* buffer, size_t element_size, size_t count, FILE* stream) {
    if (!g_loaded || !stream) return -1;
    JfOpenRecord* r = FindRecord(stream);
    if (!r) return -1;
    if (element_size == 0 || count == 0) return 0;
    long position = std::ftell(stream);
    long remaining = r->size - (position - r->start);
    // A plain seek may have left the stream outside the packed file.
    if (position < r->start || remaining <= 0) return 0;
    size_t fit = static_cast<size_t>(remaining) / element_size;
    if (count > fit) count = fit;
    if (count == 0) return 0;
    return static_cast<long>(std::fread(buffer, element_size, count, stream));
}

long JfTell(FILE* stream) {
    if (!g_loaded || !stream) return -1;
    JfOpenRecord* r = FindRecord(stream);
    if (!r) return -1;
    return std::ftell(stream) - r->start;
}

int JfSeek(FILE* stream, long offset, int origin) {
    if (!g_loaded || !stream) return -1;
    JfOpenRecord* r = FindRecord(stream);
    if (!r) return -1;
    long base;
    switch (origin) {
    case SEEK_SET: base = offset; break;
    case SEEK_CUR: base = (std::ftell(stream) - r->start) + offset; break;
    case SEEK_END: base = r->size + offset; break;
    default: return -1;
    }
    if (base < 0 || base > r->size) return -1;
    return std::fseek(stream, r->start + base, SEEK_SET);
}

int JfClose(FILE* stream) {
    if (!g_loaded) return -1;
    if (!stream) return EOF;
    Unregister(stream);
    return std::fclose(stream);
}

FILE* FileOpen(const char* name, const char* mode) {
    FILE* f = JfOpen(name, mode);
    if (!f && name && mode) f = OpenFile(name, mode);
    return f;
}

size_t FileRead(void* buffer, size_t element_size, size_t count, FILE* stream) {
    if (!stream) return 0;
    long n = JfRead(buffer, element_size, count, stream);
    if (n < 0) return std::fread(buffer, element_size, count, stream);
    return static_cast<size_t>(n);
}

long FileTell(FILE* stream) {
    if (!stream) return -1;
    long n = JfTell(stream);
    return n < 0 ? std::ftell(stream) : n;
}

int FileSeek(FILE* stream, long offset, int origin) {
    if (!stream) return -1;
    int r = JfSeek(stream, offset, origin);
    if (r != 0) r = std::fseek(stream, offset, origin);
    return r;
}

int FileClose(FILE* stream) {
    if (!stream) return EOF;
    if (g_loaded) return JfClose(stream);
    return std::fclose(stream);
}

std::vector<JfEntryInfo> JfDirectory() {
    std::vector<JfEntryInfo> out;
    for (const JfEntry* e = g_directory; e; e = e->next) out.push_back({e->name, e->offset, e->size});
    return out;
}

bool JfWriteArchive(const char* out_path, const std::vector<JfPackInput>& files, std::string* error) {
    std::string why;
    uint64_t total = 8;
    for (const JfPackInput& in : files) {
        if (in.name.size() > 254 || in.name.find('\0') != std::string::npos) {
            why = "entry name '" + in.name.substr(0, 60) +
                  "' is longer than 254 characters or holds a zero byte";
            break;
        }
        total += in.data.size();
    }
    if (why.empty() && total > 0xffffffffull) why = "archive would exceed 4 GiB";
    FILE* f = nullptr;
    if (why.empty()) {
        f = OpenFile(out_path, "wb");
        if (!f) why = std::string("cannot create '") + (out_path ? out_path : "") + "'";
    }
    if (!why.empty()) {
        if (error) *error = why;
        return false;
    }
    bool ok = true;
    auto put = [&](const void* p, size_t n) {
        if (n && std::fwrite(p, 1, n, f) != n) ok = false;
    };
    auto put_word = [&](uint32_t v) {
        unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        put(b, 4);
    };
    put("KVJF", 4);
    put_word(static_cast<uint32_t>(total));
    for (const JfPackInput& in : files) put(in.data.data(), in.data.size());
    uint32_t offset = 8;
    for (const JfPackInput& in : files) {
        put(in.name.c_str(), in.name.size() + 1);
        put_word(offset);
        put_word(static_cast<uint32_t>(in.data.size()));
        offset += static_cast<uint32_t>(in.data.size());
    }
    if (std::fclose(f) != 0) ok = false;
    if (!ok && error) *error = std::string("write to '") + out_path + "' failed";
    return ok;
}
