// Shared pieces of the world tests: a temporary game folder as base path, a
// captured log, little-endian area bytes.
#ifndef ZENDAR_TESTS_WORLD_WORLD_HELPERS_H
#define ZENDAR_TESTS_WORLD_WORLD_HELPERS_H

#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "common/test_files.h"
#include "dialog/dialogstreams.h"
#include "imports/gameimports.h"
#include "settings/settings.h"
#include "utility/basepath.h"
#include "utility/log.h"

namespace world_test {

using test_common::ReadFile;
using test_common::WriteFile;

// A game folder with "area" below it, installed as the base path.
class GameDir : public test_common::TempDir {
public:
    GameDir() : test_common::TempDir("zworld_", true) { ::mkdir((path() + "/area").c_str(), 0755); }
};

// A log on a file with the gate open, and a settings record of defaults;
// the conversation system's errors (NPCs binding missing dialogs) go to a
// file beside it.
class LogCapture : public test_common::LogCapture {
public:
    explicit LogCapture(const std::string& file) : test_common::LogCapture(file) {
        saved_dialog_errors_ = DialogErrorStream();
        dialog_errors_ = std::fopen((file + ".dialog").c_str(), "w");
        if (dialog_errors_) SetDialogErrorStream(dialog_errors_);
    }
    ~LogCapture() {
        if (dialog_errors_) {
            SetDialogErrorStream(saved_dialog_errors_);
            std::fclose(dialog_errors_);
        }
    }

private:
    FILE* saved_dialog_errors_ = nullptr;
    FILE* dialog_errors_ = nullptr;
};

// The game's side of the imports the world uses: keeps the messages shown
// ("text@seconds") and answers item questions from `items`.
struct GameRecorder : NullImports {
    std::vector<std::string> messages;
    std::vector<std::string> items;
    int pointerModes = 0;
    bool HasItem(const char* item) override {
        for (const std::string& i : items)
            if (i == item) return true;
        return false;
    }
    void ShowMessage(const char* text, float seconds) override {
        messages.push_back(std::string(text) + "@" + std::to_string(static_cast<int>(seconds)));
    }
    void SetPointerMode() override { ++pointerModes; }
};

// Little-endian area bytes.
class Bytes {
public:
    std::string b;
    Bytes& U8(uint8_t v) {
        b += static_cast<char>(v);
        return *this;
    }
    Bytes& I16(int16_t v) {
        b += static_cast<char>(v & 0xFF);
        b += static_cast<char>((v >> 8) & 0xFF);
        return *this;
    }
    Bytes& I32(int32_t v) {
        for (int i = 0; i < 4; ++i) b += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
        return *this;
    }
    Bytes& F(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return I32(static_cast<int32_t>(u));
    }
    Bytes& S(const char* s) {
        b += s;
        b += '\0';
        return *this;
    }
    // The common record: position, a translation transform, name, lock, no parent.
    Bytes& Common(const char* name, float x, float y, float z, int parentType = 0, int parentIndex = 0) {
        F(x).F(y).F(z);
        const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
        for (float v : m) F(v);
        S(name).U8(0).U8(static_cast<uint8_t>(parentType));
        if (parentType) I32(parentIndex);
        return *this;
    }
    Bytes& Header(int version, int models, int entities) {
        return S("Z1A").I16(static_cast<int16_t>(version)).I32(models).I32(entities);
    }
};

}  // namespace world_test

#endif
