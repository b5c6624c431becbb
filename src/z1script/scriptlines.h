// The line map of a compiled script file: which source line each run of code
// came from. The script compiler writes it beside the compiled file (the
// file's name with ".map" added); the loader reads it when it is there, so
// that a program stopped by a fault is reported with its source file and
// line as well as its code offset. Files assembled by hand have no map.
//
// The map is a short text:
//
//   zendar script line map
//   script SIZE HASH        the compiled file it describes (bytes, FNV-1a)
//   source NAME             the source file's name
//   code SIZE               bytes of code the map covers
//   OFFSET LINE             one per run of code from one line, offsets rising
//
// Offsets count from the start of the file's first record, as the loader
// lays the code out. A map whose size and hash do not match the compiled
// file beside it is stale and is ignored, as is any map that does not read.
#ifndef ZENDAR_Z1SCRIPT_SCRIPTLINES_H
#define ZENDAR_Z1SCRIPT_SCRIPTLINES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ScriptLineEntry {
    uint32_t offset;
    int32_t line;
};

class ScriptLineMap {
public:
    // Reads scriptPath's map and checks it against scriptPath; base is the
    // code offset at which the file's first record was loaded. False (and
    // an empty map) when there is no usable map.
    bool LoadFor(const char* scriptPath, uint32_t base);

    // Writes the map of the compiled file at scriptPath (which must be
    // written already) beside it. False with *error set when it cannot.
    static bool Write(const char* scriptPath, const std::string& source,
                      const std::vector<ScriptLineEntry>& entries, uint32_t codeSize, std::string* error);

    // The source line of the instruction at a code offset; 0 when the
    // offset is not in the mapped code.
    int LineAt(uint32_t offset) const;
    const std::string& Source() const { return source_; }
    bool Empty() const { return entries_.empty(); }
    void Clear();

private:
    std::string source_;
    std::vector<ScriptLineEntry> entries_;  // absolute offsets, rising
    uint32_t end_ = 0;                      // one past the mapped code
};

// The map's path for a compiled file: the same name with ".map" added.
std::string ScriptLineMapPath(const char* scriptPath);

// Parses the text of a map; false when it is not one. entries keep the
// file's offsets.
bool ParseScriptLineMap(const std::string& text, uint32_t* scriptSize, uint32_t* scriptHash,
                        std::string* source, uint32_t* codeSize, std::vector<ScriptLineEntry>* entries);

// FNV-1a of the bytes.
uint32_t ScriptBytesHash(const uint8_t* bytes, size_t size);

#endif
