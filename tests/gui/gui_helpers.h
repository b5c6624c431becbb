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

#include "common/recording_driver.h"
#include "gui/font.h"
#include "settings/settings.h"
#include "utility/log.h"

namespace guitest {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string TempPath(const std::string& leaf) {
    static int serial = 0;
    std::string base = ::testing::TempDir();
    if (!base.empty() && base.back() != '/') base += '/';
    return base + "zgui_" + std::to_string(static_cast<long>(getpid())) + "_" + std::to_string(++serial) + "_" + leaf;
}

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
class LogCapture {
public:
    LogCapture() : file_(TempPath("log.txt")) {
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
        std::remove(file_.c_str());
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
    Settings settings_;
    Log* log_;
    Log* saved_log_;
    Settings* saved_settings_;
};

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
