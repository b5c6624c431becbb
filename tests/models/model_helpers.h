// Temp folders, a captured log and a byte builder for the model tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include "models/z1model/z1file.h"
#include "settings/settings.h"
#include "utility/basepath.h"
#include "utility/log.h"

namespace model_test {

inline int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

// A fresh folder that is also the base path, with z1/ and anims/ inside.
class TempDir {
public:
    TempDir() {
        std::string pattern = ::testing::TempDir() + "zmodel_XXXXXX";
        path_ = ::mkdtemp(&pattern[0]) ? pattern : std::string();
        EXPECT_FALSE(path_.empty());
        ::mkdir((path_ + "/z1").c_str(), 0755);
        ::mkdir((path_ + "/anims").c_str(), 0755);
        saved_base_ = GetBasePath() ? GetBasePath() : "";
        SetBasePath((path_ + "/").c_str());
    }
    ~TempDir() {
        SetBasePath(saved_base_.c_str());
        if (!path_.empty()) ::nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::string saved_base_;
};

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

// Installs a log on a file and a settings record with the gate open.
class LogCapture {
public:
    explicit LogCapture(const std::string& file) : file_(file) {
        saved_log_ = g_log;
        saved_settings_ = g_settings;
        log_ = new Log(file_.c_str());
        g_log = log_;
        g_settings = &settings_;
        settings_.write_log = 1;
    }
    ~LogCapture() {
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
};

// Little-endian model bytes. With filler on, every tag is preceded by the
// filler tag 255.
class Bytes {
public:
    bool filler = false;
    std::string b;

    Bytes& T(uint8_t t) {
        if (filler) b += static_cast<char>(255);
        b += static_cast<char>(t);
        return *this;
    }
    Bytes& U8(uint8_t v) {
        b += static_cast<char>(v);
        return *this;
    }
    Bytes& S16(int16_t v) {
        Raw(&v, 2);
        return *this;
    }
    Bytes& I32(int32_t v) {
        Raw(&v, 4);
        return *this;
    }
    Bytes& F(float v) {
        Raw(&v, 4);
        return *this;
    }
    Bytes& Str(const char* s) {
        b += s;
        b += '\0';
        return *this;
    }
    Bytes& V(float x, float y, float z) { return F(x).F(y).F(z); }
    Bytes& Open() { return T(1); }
    Bytes& Close() { return T(2); }

private:
    void Raw(const void* p, int n) { b.append(static_cast<const char*>(p), n); }
};

// The writer's bytes for a scene: two scenes that write the same say the same.
inline std::string Canon(const Z1Scene& s, const std::string& tmpFile) {
    EXPECT_TRUE(Z1WriteFile(tmpFile.c_str(), s));
    return ReadFile(tmpFile);
}

}  // namespace model_test
