// Files and folders for tests: whole-file reads and writes, and a fresh
// folder under the test temp dir that goes away with everything in it.
#ifndef ZENDAR_TESTS_COMMON_TEST_FILES_H
#define ZENDAR_TESTS_COMMON_TEST_FILES_H

#include <string>

namespace test_common {

// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// A text file as the program wrote it through the C library, with the
// line ends read back as '\n' (the Windows C library writes "\r\n").
std::string ReadText(const std::string& path);

// Replaces the file with bytes; false when they could not all be written.
bool WriteFile(const std::string& path, const std::string& bytes);

// Whether anything (file or folder) is at path.
bool FileExists(const std::string& path);

// A path under the test temp dir that no other test process uses:
// <temp>/<prefix><pid>_<serial>_<leaf>.
std::string UniqueTempPath(const std::string& prefix, const std::string& leaf);

// A folder made from <temp>/<prefix>XXXXXX. With asBasePath it is also the
// engine's base path (with the separator) until the object goes, and the
// base path in force before comes back.
class TempDir {
public:
    explicit TempDir(const std::string& prefix, bool asBasePath = false);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    bool base_path_;
    std::string saved_base_;
};

}  // namespace test_common

#endif
