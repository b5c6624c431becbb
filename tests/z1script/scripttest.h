// Shared set-up for the script runtime tests: a settings record with the log
// gate on, a log file that can be read back, a clock the test moves by hand,
// and helpers that assemble a source into a compiled file and load it.
#ifndef ZENDAR_TESTS_Z1SCRIPT_SCRIPTTEST_H
#define ZENDAR_TESTS_Z1SCRIPT_SCRIPTTEST_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "utility/clock.h"
#include "utility/log.h"
#include "z1script/scriptasm.h"
#include "z1script/scriptfile.h"
#include "z1script/scriptsystem.h"

class HandClock : public ClockSource {
public:
    uint32_t ms = 0;
    float Seconds() override { return static_cast<float>(ms) / 1000.0f; }
    uint32_t Milliseconds() override { return ms; }
};

struct Finished {
    std::string name;
    int32_t top;
};

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = ::testing::TempDir() + "z1script_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        log_path_ = dir_ + ".log";
        saved_settings_ = g_settings;
        g_settings = &settings_;
        settings_.write_log = 1;
        saved_log_ = g_log;
        g_log = new Log(log_path_.c_str());
        SetClockSource(&clock_);
    }
    void TearDown() override {
        delete scripts_;
        scripts_ = nullptr;
        SetClockSource(nullptr);
        delete g_log;
        g_log = saved_log_;
        g_settings = saved_settings_;
        std::remove(log_path_.c_str());
        for (const std::string& f : files_) std::remove(f.c_str());
    }

    // Every log line written so far, without the log's own header.
    std::vector<std::string> LogLines() {
        std::ifstream in(log_path_);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line))
            if (line.compare(0, 4, "--**") != 0) lines.push_back(line);
        return lines;
    }
    std::string AllLog() {
        std::string all;
        for (const std::string& l : LogLines()) all += l + "\n";
        return all;
    }
    bool Logged(const std::string& text) {
        for (const std::string& l : LogLines())
            if (l == text) return true;
        return false;
    }
    int CountLogged(const std::string& prefix) {
        int n = 0;
        for (const std::string& l : LogLines())
            if (l.compare(0, prefix.size(), prefix) == 0) ++n;
        return n;
    }

    std::string TempFile(const std::string& suffix) {
        std::string path = dir_ + "_" + suffix;
        files_.push_back(path);
        return path;
    }
    std::string WriteRecords(const std::vector<ScriptRecord>& records) {
        std::string path = TempFile(std::to_string(files_.size()) + ".z1s");
        std::string error;
        EXPECT_TRUE(WriteScriptFile(path.c_str(), records, &error)) << error;
        return path;
    }
    std::string WriteBytes(const std::vector<uint8_t>& bytes) {
        std::string path = TempFile(std::to_string(files_.size()) + ".bin");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }
    std::vector<ScriptRecord> Assemble(const std::string& source) {
        std::vector<ScriptRecord> records;
        std::string error;
        EXPECT_TRUE(AssembleScript(source, &records, &error)) << error;
        return records;
    }

    // Assembles, writes and loads a source; init programs start.
    ScriptSystem& Load(const std::string& source) { return LoadFile(WriteRecords(Assemble(source))); }
    ScriptSystem& LoadFile(const std::string& path) {
        NewSystem();
        scripts_->Load(path.c_str());
        return *scripts_;
    }
    // A fresh script system whose finished programs are kept in finished_.
    ScriptSystem& NewSystem() {
        delete scripts_;
        scripts_ = new ScriptSystem;
        scripts_->SetFinishedObserver(
            [](const ScriptInstance* in, void* self) {
                static_cast<ScriptTest*>(self)->finished_.push_back(
                    {in->program->name.c_str(), in->top >= 0 && in->top < kScriptStackSlots
                                                    ? static_cast<int32_t>(in->stack[in->top].w[0])
                                                    : INT32_MIN});
            },
            this);
        return *scripts_;
    }
    void Pass(int n = 1) {
        for (int i = 0; i < n; ++i) scripts_->RunScheduler();
    }
    // Runs an init program called "main" for one pass; returns its top value.
    int32_t RunMain(const std::string& body, const std::string& header = "locals=0") {
        finished_.clear();
        Load("program main " + header + " trigger=init\n" + body + "\nend\n");
        Pass();
        EXPECT_EQ(finished_.size(), 1u) << body;
        return finished_.empty() ? INT32_MIN : finished_.back().top;
    }
    // As RunMain for a program that stops waiting; returns the instance.
    ScriptInstance* RunMainWaiting(const std::string& body, const std::string& header = "locals=0") {
        finished_.clear();
        Load("program main " + header + " trigger=init\n" + body + "\nwait\nend\n");
        Pass();
        EXPECT_TRUE(finished_.empty()) << body;
        EXPECT_NE(scripts_->Running(), nullptr);
        return scripts_->Running();
    }
    float RunMainFloat(const std::string& body) {
        int32_t w = RunMain(body);
        return WordToFloat(static_cast<uint32_t>(w));
    }
    std::string RunMainText(const std::string& body) {
        int32_t w = RunMain(body);
        const char* t = scripts_->Texts().Get(static_cast<uint32_t>(w));
        return t ? t : "(null)";
    }

    Settings settings_;
    HandClock clock_;
    ScriptSystem* scripts_ = nullptr;
    std::vector<Finished> finished_;

private:
    std::string dir_;
    std::string log_path_;
    std::vector<std::string> files_;
    Settings* saved_settings_ = nullptr;
    Log* saved_log_ = nullptr;
};

#endif
