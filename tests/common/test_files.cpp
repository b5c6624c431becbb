#include "common/test_files.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "utility/basepath.h"

namespace test_common {

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

}  // namespace

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string ReadText(const std::string& path) {
    std::string bytes = ReadFile(path);
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text += bytes[i];
    return text;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out.good();
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string UniqueTempPath(const std::string& prefix, const std::string& leaf) {
    static int serial = 0;
    std::string base = ::testing::TempDir();
    if (!base.empty() && base.back() != '/') base += '/';
    return base + prefix + std::to_string(static_cast<long>(getpid())) + "_" + std::to_string(++serial) +
           "_" + leaf;
}

TempDir::TempDir(const std::string& prefix, bool asBasePath) : base_path_(asBasePath) {
    std::string pattern = ::testing::TempDir() + prefix + "XXXXXX";
    path_ = ::mkdtemp(&pattern[0]) ? pattern : std::string();
    EXPECT_FALSE(path_.empty());
    if (base_path_) {
        saved_base_ = GetBasePath() ? GetBasePath() : "";
        SetBasePath((path_ + "/").c_str());
    }
}

TempDir::~TempDir() {
    if (base_path_) SetBasePath(saved_base_.c_str());
    if (!path_.empty()) ::nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace test_common
