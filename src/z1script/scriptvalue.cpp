#include "z1script/scriptvalue.h"

ScriptTexts::ScriptTexts() { texts_.push_back(nullptr); }

ScriptTexts::~ScriptTexts() {
    for (char* t : texts_) delete[] t;
}

uint32_t ScriptTexts::Add(const char* text, size_t length) {
    if (length > kMaxTextLength) return 0;
    auto found = index_.find(std::string_view(text, length));
    if (found != index_.end()) return found->second;
    if (bytes_ + length + 1 > kMaxTotalBytes || texts_.size() >= 0xFFFFFFFFu) return 0;
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length);
    copy[length] = 0;
    uint32_t handle = static_cast<uint32_t>(texts_.size());
    texts_.push_back(copy);
    index_.emplace(std::string_view(copy, length), handle);
    bytes_ += length + 1;
    return handle;
}
