// The script machine's value slot and its table of texts.
//
// Slots are untagged: every instruction decides whether word 0 is an
// integer, a float or a text. A text is a 32-bit handle into ScriptTexts
// rather than a pointer, so slots stay 12 bytes on 64-bit builds too.
#ifndef ZENDAR_Z1SCRIPT_SCRIPTVALUE_H
#define ZENDAR_Z1SCRIPT_SCRIPTVALUE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

struct ScriptValue {
    uint32_t w[3];
};

inline float WordToFloat(uint32_t w) {
    float f;
    std::memcpy(&f, &w, 4);
    return f;
}

inline uint32_t FloatToWord(float f) {
    uint32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

// Every text a script can see: the text constants of the loaded file and the
// texts made at run time by concatenation and number printing. Handle 0 is the
// null text. Equal texts share one handle, so a script that builds the same
// message every frame does not grow the table; the table is bounded so that a
// runaway script fails its own instruction instead of eating the heap.
class ScriptTexts {
public:
    static const size_t kMaxTextLength = 65535;
    static const size_t kMaxTotalBytes = 64u << 20;

    ScriptTexts();
    ~ScriptTexts();
    ScriptTexts(const ScriptTexts&) = delete;
    ScriptTexts& operator=(const ScriptTexts&) = delete;

    // Returns the handle of a copy of the text, or 0 when the text is too
    // long or the table is full.
    uint32_t Add(const char* text, size_t length);
    uint32_t Add(const char* text) { return Add(text, std::strlen(text)); }

    // Handle 0 and unknown handles give null; Valid tells them apart.
    const char* Get(uint32_t handle) const {
        return handle != 0 && handle < texts_.size() ? texts_[handle].text : nullptr;
    }
    // The length of a valid handle's text (0 for the null text).
    size_t Length(uint32_t handle) const { return handle < texts_.size() ? texts_[handle].length : 0; }
    bool Valid(uint32_t handle) const { return handle < texts_.size(); }
    size_t Count() const { return texts_.size() - 1; }

private:
    struct Text {
        char* text;
        uint32_t length;
        uint32_t hash;
    };
    // Open addressing over handles (0: free), a power of two in size and
    // never more than half full: texts are only ever added.
    void Grow();

    std::vector<Text> texts_;  // [0] is the null text
    std::vector<uint32_t> slots_;
    size_t bytes_ = 0;
};

#endif
