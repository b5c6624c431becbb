// Helpers of the dialog tests: dialog bytes built field by field, capture of
// the dialog module's error stream, and dialogs written to temporary files.
#ifndef ZENDAR_TESTS_DIALOG_DIALOG_TEST_UTIL_H
#define ZENDAR_TESTS_DIALOG_DIALOG_TEST_UTIL_H

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dialog/dialogfile.h"
#include "dialog/dialoglanguage.h"
#include "dialog/dialogstreams.h"

namespace dlgtest {

struct Bytes {
    std::vector<unsigned char> b;

    Bytes& i16(int v) {
        b.push_back((unsigned char)(v & 0xff));
        b.push_back((unsigned char)((v >> 8) & 0xff));
        return *this;
    }
    Bytes& raw(const std::string& s) {
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& str(const std::string& s) { return i16((int)s.size()).raw(s); }
    Bytes& add(const Bytes& o) {
        b.insert(b.end(), o.b.begin(), o.b.end());
        return *this;
    }
    Bytes& header() { return raw("DLG").i16(0).i16(6); }
};

// A constant string list holding one part.
inline Bytes Text(const std::string& s) { return Bytes().i16(1).str(s).i16(-1); }

// "DLG" 0.6, one npc parameter "A" and one string parameter "S", stateCount
// states: the first made of `commands` (a command list without its
// terminator), the others empty; then numberOfCycles (unless truncated).
inline Bytes OneState(const Bytes& commands, bool terminate = true, int cycles = 0, int stateCount = 1) {
    Bytes d;
    d.header().i16(2).i16(0).str("A").i16(1).str("S").i16(stateCount);
    d.i16(0).i16(0).str("first").i16(0).add(commands);
    if (!terminate) return d;
    d.i16(-1);
    for (int i = 1; i < stateCount; ++i) d.i16(0).i16(1).str("s" + std::to_string(i)).i16(0).i16(-1);
    return d.i16(cycles);
}

// Collects the error stream's lines while alive.
class ErrorCapture {
public:
    ErrorCapture() : file_(std::tmpfile()) { SetDialogErrorStream(file_); }
    ~ErrorCapture() {
        SetDialogErrorStream(nullptr);
        std::fclose(file_);
    }
    FILE* file() const { return file_; }
    std::vector<std::string> Lines() const {
        std::fflush(file_);
        long end = std::ftell(file_);
        std::string all((size_t)end, '\0');
        std::rewind(file_);
        size_t n = std::fread(&all[0], 1, (size_t)end, file_);
        all.resize(n);
        std::fseek(file_, 0, SEEK_END);
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i] == '\n') {
                lines.push_back(all.substr(start, i - start));
                start = i + 1;
            }
        if (start < all.size()) lines.push_back(all.substr(start));
        return lines;
    }
    std::string Text() const {
        std::string s;
        for (const std::string& l : Lines()) s += l + "\n";
        return s;
    }

private:
    FILE* file_;
};

inline std::string TempPath(const std::string& leaf) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string base = ::testing::TempDir();
    if (!base.empty() && base.back() != '/') base += '/';
    return base + "zdlg_" + std::to_string((long)getpid()) + "_" + info->test_suite_name() + "_" +
           info->name() + "_" + leaf;
}

// Writes bytes to TempPath(leaf) + ".dlg"; returns the name without ".dlg".
std::string WriteDialogFile(const std::string& leaf, const std::vector<unsigned char>& bytes);
// Compiles source (failing the test on a mistake) and writes it like WriteDialogFile.
std::string CompileToFile(const std::string& leaf, const std::string& source);
std::vector<unsigned char> Compile(const std::string& source);

}  // namespace dlgtest

#endif
