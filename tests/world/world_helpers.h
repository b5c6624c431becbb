// Shared pieces of the world tests: a temporary game folder as base path, a
// captured log, little-endian area bytes.
#pragma once

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

#include "dialog/dialogstreams.h"
#include "settings/settings.h"
#include "utility/basepath.h"
#include "utility/log.h"

namespace world_test {

inline int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A game folder with "area" below it, installed as the base path.
class GameDir {
public:
    GameDir() {
        std::string pattern = ::testing::TempDir() + "zworld_XXXXXX";
        path_ = ::mkdtemp(&pattern[0]) ? pattern : std::string();
        EXPECT_FALSE(path_.empty());
        ::mkdir((path_ + "/area").c_str(), 0755);
        saved_base_ = GetBasePath() ? GetBasePath() : "";
        SetBasePath((path_ + "/").c_str());
    }
    ~GameDir() {
        SetBasePath(saved_base_.c_str());
        if (!path_.empty()) ::nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::string saved_base_;
};

// A log on a file with the gate open, and a settings record of defaults.
class LogCapture {
public:
    explicit LogCapture(const std::string& file) : file_(file) {
        saved_log_ = g_log;
        saved_settings_ = g_settings;
        log_ = new Log(file_.c_str());
        g_log = log_;
        g_settings = &settings_;
        settings_.write_log = 1;
        // The conversation system's errors (NPCs binding missing dialogs).
        saved_dialog_errors_ = DialogErrorStream();
        dialog_errors_ = std::fopen((file_ + ".dialog").c_str(), "w");
        if (dialog_errors_) SetDialogErrorStream(dialog_errors_);
    }
    ~LogCapture() {
        if (dialog_errors_) {
            SetDialogErrorStream(saved_dialog_errors_);
            std::fclose(dialog_errors_);
        }
        g_log = saved_log_;
        g_settings = saved_settings_;
        delete log_;
    }
    Settings& settings() { return settings_; }
    std::string Text() const { return ReadFile(file_); }
    bool Has(const std::string& line) const { return Text().find(line) != std::string::npos; }
    int Count(const std::string& line) const {
        std::string t = Text();
        int n = 0;
        for (size_t p = t.find(line); p != std::string::npos; p = t.find(line, p + 1)) n++;
        return n;
    }

private:
    std::string file_;
    Log* log_;
    Log* saved_log_;
    Settings* saved_settings_;
    Settings settings_;
    FILE* saved_dialog_errors_ = nullptr;
    FILE* dialog_errors_ = nullptr;
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
    Bytes& Header(int version, int models, int entities) { return S("Z1A").I16(static_cast<int16_t>(version)).I32(models).I32(entities); }
};

}  // namespace world_test
