// Shared pieces of the font, text box, interface image and game object
// tests: a captured log, temporary files and a font description whose
// letters are all one full cell wide.
#ifndef ZENDAR_TESTS_GUI_GUI_HELPERS_H
#define ZENDAR_TESTS_GUI_GUI_HELPERS_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "common/recording_driver.h"
#include "common/test_files.h"
#include "gui/font.h"
#include "settings/settings.h"
#include "utility/log.h"

namespace guitest {

using test_common::ReadFile;

inline std::string TempPath(const std::string& leaf) { return test_common::UniqueTempPath("zgui_", leaf); }

// A file that is removed again when the test ends.
class TempFile {
public:
    TempFile(const std::string& leaf, const std::string& content) : path_(TempPath(leaf)) {
        FILE* f = std::fopen(path_.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            std::fwrite(content.data(), 1, content.size(), f);
            std::fclose(f);
        }
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A log and a settings record (log gate on) for the test's lifetime.
using test_common::LogCapture;

constexpr const char* kWhiteTexture = "textures\\font\\white.bmp";
constexpr const char* kYellowTexture = "textures\\font\\yellow.bmp";

// Skins "white" then "yellow"; a-z and A-Z one full cell wide (cells 0-51),
// then '.' at width 4 (cell 52) and '!' at width 8 (cell 53).
inline std::string LetterFontText() {
    std::string text = "Herald, as used by the tests\n[skins]\nwhite \t\n";
    text += std::string(kWhiteTexture) + "\ntextures\\font\\white_a.bmp\nyellow\n";
    text += std::string(kYellowTexture) + "\r\ntextures\\font\\yellow_a.bmp\r\n[data] \n";
    for (char c = 'a'; c <= 'z'; ++c) text += std::string(1, c) + " 16\n";
    for (char c = 'A'; c <= 'Z'; ++c) text += std::string(1, c) + " 16\n";
    text += ". 4\n! 8\n[end]\n";
    return text;
}

// The TLVERTEX strips drawn, in order.
inline std::vector<const DrawRecord*> Strips(const RecordingDriver& driver) {
    std::vector<const DrawRecord*> out;
    for (const DrawRecord& d : driver.draws)
        if (d.format == VertexFormat::kTLVertex && d.primitive == Primitive::kStrip) out.push_back(&d);
    return out;
}

}  // namespace guitest

#endif
