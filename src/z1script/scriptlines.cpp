#include "z1script/scriptlines.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "utility/fileio.h"

namespace {

const char kHeader[] = "zendar script line map";
// Far more than any compiled file needs; a bigger file is not a map.
const size_t kMaxMapBytes = size_t{64} << 20;

// A decimal (or 0x hexadecimal) number filling the whole word, up to 2^32 - 1.
bool ParseWord(const std::string& s, uint32_t* out) {
    if (s.empty() || s[0] == '-' || s[0] == '+' || s[0] == ' ') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(s.c_str(), &end, 0);
    if (*end || errno || v > 0xFFFFFFFFull) return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

// "KEY VALUE" with VALUE the rest of the line.
bool Field(const std::string& line, const char* key, std::string* value) {
    size_t n = std::strlen(key);
    if (line.compare(0, n, key) != 0 || line.size() <= n || line[n] != ' ') return false;
    *value = line.substr(n + 1);
    return true;
}

}  // namespace

uint32_t ScriptBytesHash(const uint8_t* bytes, size_t size) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 16777619u;
    return h;
}

std::string ScriptLineMapPath(const char* scriptPath) { return std::string(scriptPath) + ".map"; }

bool ParseScriptLineMap(const std::string& text, uint32_t* scriptSize, uint32_t* scriptHash,
                        std::string* source, uint32_t* codeSize, std::vector<ScriptLineEntry>* entries) {
    entries->clear();
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        lines.push_back(text.substr(pos, eol - pos));
        pos = eol + 1;
    }
    if (lines.size() < 4 || lines[0] != kHeader) return false;
    std::string value;
    if (!Field(lines[1], "script", &value)) return false;
    size_t space = value.find(' ');
    if (space == std::string::npos || !ParseWord(value.substr(0, space), scriptSize) ||
        !ParseWord(value.substr(space + 1), scriptHash))
        return false;
    if (!Field(lines[2], "source", source) || source->empty()) return false;
    if (!Field(lines[3], "code", &value) || !ParseWord(value, codeSize)) return false;
    for (size_t i = 4; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        space = l.find(' ');
        uint32_t offset, line;
        if (space == std::string::npos || !ParseWord(l.substr(0, space), &offset) ||
            !ParseWord(l.substr(space + 1), &line) || line == 0 || line > 0x7FFFFFFFu)
            return false;
        if (offset >= *codeSize || (!entries->empty() && offset <= entries->back().offset)) return false;
        entries->push_back({offset, static_cast<int32_t>(line)});
    }
    return true;
}

void ScriptLineMap::Clear() {
    source_.clear();
    entries_.clear();
    end_ = 0;
}

bool ScriptLineMap::LoadFor(const char* scriptPath, uint32_t base) {
    Clear();
    std::string text, script;
    if (!ReadWholeFile(ScriptLineMapPath(scriptPath).c_str(), &text, kMaxMapBytes)) return false;
    uint32_t size = 0, hash = 0, code = 0;
    std::string source;
    std::vector<ScriptLineEntry> entries;
    if (!ParseScriptLineMap(text, &size, &hash, &source, &code, &entries)) return false;
    if (!ReadWholeFile(scriptPath, &script, size)) return false;
    if (script.size() != size ||
        ScriptBytesHash(reinterpret_cast<const uint8_t*>(script.data()), script.size()) != hash)
        return false;
    if (static_cast<uint64_t>(base) + code > 0xFFFFFFFFull) return false;
    for (ScriptLineEntry& e : entries) e.offset += base;
    source_ = source;
    entries_.swap(entries);
    end_ = base + code;
    return !entries_.empty();
}

int ScriptLineMap::LineAt(uint32_t offset) const {
    if (entries_.empty() || offset < entries_.front().offset || offset >= end_) return 0;
    size_t lo = 0, hi = entries_.size();
    // The last entry at or before the offset.
    while (hi - lo > 1) {
        size_t mid = (lo + hi) / 2;
        if (entries_[mid].offset <= offset)
            lo = mid;
        else
            hi = mid;
    }
    return entries_[lo].line;
}

bool ScriptLineMap::Write(const char* scriptPath, const std::string& source,
                          const std::vector<ScriptLineEntry>& entries, uint32_t codeSize,
                          std::string* error) {
    std::string script;
    if (!ReadWholeFile(scriptPath, &script)) {
        *error = std::string(scriptPath) + ": cannot be read back";
        return false;
    }
    std::string name = source;
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    std::string text =
        std::string(kHeader) + "\nscript " + std::to_string(script.size()) + " " +
        std::to_string(ScriptBytesHash(reinterpret_cast<const uint8_t*>(script.data()), script.size())) +
        "\nsource " + name + "\ncode " + std::to_string(codeSize) + "\n";
    for (const ScriptLineEntry& e : entries)
        text += std::to_string(e.offset) + " " + std::to_string(e.line) + "\n";
    std::string path = ScriptLineMapPath(scriptPath);
    FILE* f = OpenFile(path.c_str(), "wb");
    bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) *error = path + ": cannot be written";
    return ok;
}
