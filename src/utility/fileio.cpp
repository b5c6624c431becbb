#include "utility/fileio.h"

#include <cstring>
#include <vector>

#if !defined(_WIN32)
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#endif

namespace {

std::string MapSeparators(const char* path) {
    std::string p(path ? path : "");
#if !defined(_WIN32)
    for (char& c : p)
        if (c == '\\') c = '/';
#endif
    return p;
}

#if !defined(_WIN32)
bool Exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

bool AsciiEqualNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
        if (!x) return true;
    }
}

// Finds the entry of `folder` whose name matches `name` ignoring ASCII case.
// Several matches: the smallest name in byte order, so the choice is stable.
bool FindNoCase(const std::string& folder, const std::string& name, std::string* found) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return false;
    bool any = false;
    while (dirent* d = ::readdir(dir)) {
        if (AsciiEqualNoCase(d->d_name, name.c_str())) {
            if (!any || std::strcmp(d->d_name, found->c_str()) < 0) *found = d->d_name;
            any = true;
        }
    }
    ::closedir(dir);
    return any;
}

std::string Resolve(const std::string& mapped) {
    if (mapped.empty() || Exists(mapped)) return mapped;
    std::string result;
    size_t pos = 0;
    if (mapped[0] == '/') {
        result = "/";
        pos = 1;
    }
    bool matching = true;
    while (pos <= mapped.size()) {
        size_t slash = mapped.find('/', pos);
        std::string part = mapped.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        bool last = slash == std::string::npos;
        if (matching && !part.empty() && part != "." && part != "..") {
            std::string candidate = result + part;
            if (!Exists(candidate)) {
                std::string found;
                if (FindNoCase(result, part, &found))
                    part = found;
                else
                    matching = false;  // the rest cannot exist; keep it as given
            }
        }
        result += part;
        if (last) break;
        result += '/';
        pos = slash + 1;
    }
    return result;
}
#endif

}  // namespace

std::string ResolvePath(const char* path) {
#if defined(_WIN32)
    return MapSeparators(path);
#else
    return Resolve(MapSeparators(path));
#endif
}

FILE* OpenFile(const char* path, const char* mode) {
    if (!path || !mode) return nullptr;
    std::string mapped = MapSeparators(path);
#if defined(_WIN32)
    return std::fopen(mapped.c_str(), mode);
#else
    bool reading = mode[0] == 'r';
    if (reading) {
        if (FILE* f = std::fopen(mapped.c_str(), mode)) return f;
        std::string resolved = Resolve(mapped);
        if (resolved == mapped) return nullptr;
        return std::fopen(resolved.c_str(), mode);
    }
    // Writing: an existing file of another case is the one meant; a new name is kept as given.
    return std::fopen(Resolve(mapped).c_str(), mode);
#endif
}

bool FileExists(const char* path) {
    if (!path) return false;
#if defined(_WIN32)
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
#else
    struct stat st;
    std::string p = Resolve(MapSeparators(path));
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
#endif
}

namespace {
template <typename Bytes>
bool ReadInto(const char* path, Bytes* out, size_t limit) {
    out->clear();
    FILE* f = OpenFile(path, "rb");
    if (!f) return false;
    char block[65536];
    size_t n;
    bool ok = true;
    while (ok && (n = std::fread(block, 1, sizeof block, f)) > 0) {
        out->insert(out->end(), block, block + n);
        ok = out->size() <= limit;
    }
    ok = ok && !std::ferror(f);
    std::fclose(f);
    return ok;
}
}  // namespace

bool ReadWholeFile(const char* path, std::string* out, size_t limit) { return ReadInto(path, out, limit); }

bool ReadWholeFile(const char* path, std::vector<unsigned char>* out, size_t limit) {
    return ReadInto(path, out, limit);
}
