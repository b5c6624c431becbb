// Temp folders, a captured log and a byte builder for the model tests.
#ifndef ZENDAR_TESTS_MODELS_MODEL_HELPERS_H
#define ZENDAR_TESTS_MODELS_MODEL_HELPERS_H

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

#include "common/log_capture.h"
#include "common/test_files.h"
#include "models/z1model/z1file.h"
#include "settings/settings.h"
#include "utility/basepath.h"
#include "utility/log.h"

namespace model_test {

// A fresh folder that is also the base path, with z1/ and anims/ inside.
class TempDir : public test_common::TempDir {
public:
    TempDir() : test_common::TempDir("zmodel_", true) {
        ::mkdir((path() + "/z1").c_str(), 0755);
        ::mkdir((path() + "/anims").c_str(), 0755);
    }
};

using test_common::ReadFile;
using test_common::WriteFile;

// Installs a log on a file and a settings record with the gate open.
using test_common::LogCapture;

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

#endif
