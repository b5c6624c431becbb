#include "z1script/scriptvalue.h"

namespace {

// Eight bytes at a time: scripts print numbers and join short texts every
// frame, and each of them is looked up here.
uint32_t HashText(const char* text, size_t length) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ length;
    while (length >= 8) {
        uint64_t w;
        std::memcpy(&w, text, 8);
        h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
        text += 8;
        length -= 8;
    }
    uint64_t w = 0;
    std::memcpy(&w, text, length);
    h = (h ^ w) * 0x94D049BB133111EBull;
    h ^= h >> 29;
    return static_cast<uint32_t>(h ^ (h >> 32));
}

}  // namespace

ScriptTexts::ScriptTexts() : slots_(64, 0u) { texts_.push_back(Text{nullptr, 0, 0}); }

ScriptTexts::~ScriptTexts() {
    for (Text& t : texts_) delete[] t.text;
}

void ScriptTexts::Grow() {
    std::vector<uint32_t> bigger(slots_.size() * 2, 0u);
    const size_t mask = bigger.size() - 1;
    for (uint32_t handle : slots_) {
        if (!handle) continue;
        size_t i = texts_[handle].hash & mask;
        while (bigger[i]) i = (i + 1) & mask;
        bigger[i] = handle;
    }
    slots_.swap(bigger);
}

uint32_t ScriptTexts::Add(const char* text, size_t length) {
    if (length > kMaxTextLength) return 0;
    const uint32_t hash = HashText(text, length);
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    for (uint32_t handle; (handle = slots_[i]) != 0; i = (i + 1) & mask) {
        const Text& t = texts_[handle];
        if (t.hash == hash && t.length == length && std::memcmp(t.text, text, length) == 0) return handle;
    }
    if (bytes_ + length + 1 > kMaxTotalBytes || texts_.size() >= 0xFFFFFFFFu) return 0;
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length);
    copy[length] = 0;
    const uint32_t handle = static_cast<uint32_t>(texts_.size());
    texts_.push_back(Text{copy, static_cast<uint32_t>(length), hash});
    slots_[i] = handle;
    bytes_ += length + 1;
    if (texts_.size() * 2 > slots_.size()) Grow();
    return handle;
}
