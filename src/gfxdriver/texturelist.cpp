#include "gfxdriver/texturelist.h"

#include <cstdlib>
#include <cstring>

#include "utility/datafile.h"

namespace {

bool AllDigits(const char* word) {
    if (!*word) return false;
    for (const char* p = word; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    return true;
}

std::string FrameName(const std::string& listName, const char* word) {
    if (std::strchr(word, '\\') || std::strchr(word, '/')) return word;
    size_t cut = listName.find_last_of("\\/");
    return cut == std::string::npos ? std::string(word) : listName.substr(0, cut + 1) + word;
}

}  // namespace

bool IsTextureListName(const char* name) {
    if (!name) return false;
    size_t n = std::strlen(name);
    return n >= 3 && std::strcmp(name + n - 3, "ifl") == 0;
}

bool ReadTextureList(const std::string& name, TextureList* list) {
    DataFile file;
    if (!file.Open(name.c_str())) return false;
    while (char* word = file.ReadToken()) {
        if (AllDigits(word))
            list->interval = static_cast<uint32_t>(std::strtoul(word, nullptr, 10));
        else
            list->frames.push_back(FrameName(name, word));
        delete[] word;
    }
    return true;
}

int NextTextureListFrame(int current, int count, uint32_t interval, uint32_t now, uint32_t* lastChange) {
    if (count <= 1 || now - *lastChange < interval) return current;
    *lastChange = now;
    return (current + 1) % count;
}
