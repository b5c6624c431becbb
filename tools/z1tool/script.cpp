// z1tool commands for compiled script files: assemble, disassemble, and run
// them on the engine's own loader and scheduler with a virtual clock.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "command.h"
#include "imports/gameimports.h"
#include "settings/settings.h"
#include "utility/clock.h"
#include "utility/log.h"
#include "z1script/scriptasm.h"
#include "z1script/scriptfile.h"
#include "z1script/scriptsystem.h"

namespace {

// A script file without a function or a program gives the game nothing to
// run: the engine loads it silently, the tool says so.
bool HasCode(const std::vector<ScriptRecord>& records) {
    for (const ScriptRecord& r : records)
        if (r.type == kScriptFunctionRecord || r.type == kScriptProgramRecord) return true;
    return false;
}

// The script file as the disassembler reads it, checked for damage and for
// code; false after the command's line.
bool ReadChecked(const std::string& path, std::vector<ScriptRecord>* records) {
    if (!z1tool::CheckInput(path)) return false;
    std::string error;
    if (!ReadScriptFile(path.c_str(), records, &error)) {
        z1tool::FailFile(path, error);
        return false;
    }
    if (!HasCode(*records)) {
        z1tool::FailFile(path, "holds no function or program");
        return false;
    }
    return true;
}

int RunAsm(const std::vector<std::string>& args) {
    if (args.size() != 2) return z1tool::Usage("script asm");
    std::string text;
    if (!z1tool::ReadInput(args[0], &text) || !z1tool::CheckText(args[0], text)) return z1tool::kFailed;
    std::vector<ScriptRecord> records;
    std::string error;
    if (!AssembleScript(text, &records, &error)) return z1tool::Fail(args[0] + ": " + error);
    if (!HasCode(records)) return z1tool::FailFile(args[0], "holds no function or program");
    if (!WriteScriptFile(args[1].c_str(), records, &error)) return z1tool::Fail(error);
    return z1tool::kOk;
}

int RunDisasm(const std::vector<std::string>& args) {
    if (args.size() != 1) return z1tool::Usage("script disasm");
    std::vector<ScriptRecord> records;
    if (!ReadChecked(args[0], &records)) return z1tool::kFailed;
    std::fputs(DisassembleScript(records).c_str(), stdout);
    return z1tool::kOk;
}

// The virtual millisecond clock of a run (seconds follow it).
class StepClock : public ClockSource {
public:
    uint32_t ms = 0;
    float Seconds() override { return static_cast<float>(ms) / 1000.0f; }
    uint32_t Milliseconds() override { return ms; }
};

// The engine writes its log to a file; the run copies each new line to
// standard output as "log: TEXT" before any line of its own, so the two
// stay in the order they happened.
class LogEcho {
public:
    bool Open() {
        char name[] = "/tmp/z1tool-script-XXXXXX";
        int fd = mkstemp(name);
        if (fd < 0) return false;
        close(fd);
        path_ = name;
        g_log = new Log(path_.c_str());
        if (!g_log->IsOpen()) return false;
        reader_ = std::fopen(path_.c_str(), "rb");
        if (!reader_) return false;
        // Skip the log's own opening line.
        Drain(false);
        return true;
    }
    ~LogEcho() {
        delete g_log;
        g_log = nullptr;
        if (reader_) std::fclose(reader_);
        if (!path_.empty()) std::remove(path_.c_str());
    }
    void Drain(bool print = true) {
        if (!reader_) return;
        std::clearerr(reader_);
        // msvcrt's stream keeps its end-of-file buffer after clearerr and so
        // never sees the lines appended since; a seek to where it stands
        // drops that buffer (and changes nothing elsewhere).
        std::fseek(reader_, 0, SEEK_CUR);
        int c;
        while ((c = std::fgetc(reader_)) != EOF) {
            if (c != '\n') {
                pending_ += static_cast<char>(c);
                continue;
            }
            if (print) std::printf("log: %s\n", pending_.c_str());
            pending_.clear();
        }
    }

private:
    std::string path_;
    FILE* reader_ = nullptr;
    std::string pending_;
};

LogEcho* g_echo = nullptr;

// The tool's import table: the scripts' engine calls are printed; every
// other call keeps the null table's log line.
class PrintImports : public NullImports {
public:
    void WorldCall(int code, const char* name, int value) override {
        g_echo->Drain();
        std::printf("world %d %s %d\n", code, name, value);
    }
    void WorldVectorCall(int code, const char* name, const VECTOR& v) override {
        g_echo->Drain();
        std::printf("worldvec %d %s %g %g %g\n", code, name, v.x, v.y, v.z);
    }
    void GameCall(int code, const char* text, int value) override {
        g_echo->Drain();
        std::printf("game %d %s %d\n", code, text, value);
    }
    void GameVectorCall(int code, const char* text, const VECTOR& v) override {
        g_echo->Drain();
        std::printf("gamevec %d %s %g %g %g\n", code, text, v.x, v.y, v.z);
    }
};

void PrintFinished(const ScriptInstance* in, void*) {
    g_echo->Drain();
    if (in->top >= 0 && in->top < kScriptStackSlots)
        std::printf("finished %s top=%d\n", in->program->name.c_str(),
                    static_cast<int32_t>(in->stack[in->top].w[0]));
    else
        std::printf("finished %s top=none\n", in->program->name.c_str());
}

struct Action {
    int trigger;  // -1: start by name
    std::string name;
    long pass;
};

bool ParseCount(const std::string& s, long* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end || v < 0) return false;
    *out = v;
    return true;
}

// NAME[@PASS]
bool ParseTarget(const std::string& s, Action* a) {
    size_t at = s.rfind('@');
    a->pass = 0;
    a->name = s;
    if (at != std::string::npos) {
        if (!ParseCount(s.substr(at + 1), &a->pass)) return false;
        a->name = s.substr(0, at);
    }
    return true;
}

int RunRun(const std::vector<std::string>& args) {
    const char* usage = "script run";
    std::string file;
    std::vector<Action> actions;
    long frames = 100;
    long ms_per_frame = 16;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool has_value = i + 1 < args.size();
        if (a == "--start" && has_value) {
            Action act;
            act.trigger = -1;
            if (!ParseTarget(args[++i], &act)) return z1tool::Usage(usage);
            actions.push_back(act);
        } else if (a == "--fire" && has_value) {
            const std::string& v = args[++i];
            size_t colon = v.find(':');
            if (colon == std::string::npos) return z1tool::Usage(usage);
            std::string type = v.substr(0, colon);
            Action act;
            if (type == "click" || type == "2")
                act.trigger = kTriggerClick;
            else if (type == "collision" || type == "3")
                act.trigger = kTriggerCollision;
            else if (type == "pickup" || type == "4")
                act.trigger = kTriggerPickup;
            else
                return z1tool::Fail("unknown trigger type '" + type + "' (click, collision or pickup)");
            if (!ParseTarget(v.substr(colon + 1), &act)) return z1tool::Usage(usage);
            actions.push_back(act);
        } else if (a == "--frames" && has_value) {
            if (!ParseCount(args[++i], &frames)) return z1tool::Usage(usage);
        } else if (a == "--ms-per-frame" && has_value) {
            if (!ParseCount(args[++i], &ms_per_frame)) return z1tool::Usage(usage);
        } else if (!a.empty() && a[0] != '-' && file.empty()) {
            file = a;
        } else {
            return z1tool::Usage(usage);
        }
    }
    if (file.empty()) return z1tool::Usage(usage);
    // The engine's loader passes over what it does not understand; a file
    // the disassembler refuses would run as whatever the damage left.
    std::vector<ScriptRecord> records;
    if (!ReadChecked(file, &records)) return z1tool::kFailed;

    Settings settings;
    Settings* old_settings = g_settings;
    g_settings = &settings;
    settings.write_log = 1;
    StepClock clock;
    SetClockSource(&clock);
    LogEcho echo;
    g_echo = &echo;
    if (!echo.Open()) {
        SetClockSource(nullptr);
        g_settings = old_settings;
        return z1tool::Fail("cannot create a temporary log file");
    }
    PrintImports imports;
    {
        ScopedGameImports scope(&imports);
        ScriptSystem scripts;
        scripts.SetFinishedObserver(PrintFinished, nullptr);
        scripts.Load(file.c_str());
        echo.Drain();
        for (long pass = 0; pass < frames; ++pass) {
            clock.ms = static_cast<uint32_t>(pass * ms_per_frame);
            for (const Action& act : actions) {
                if (act.pass != pass) continue;
                if (act.trigger < 0)
                    scripts.StartByName(act.name.c_str());
                else
                    scripts.FireTrigger(act.name.c_str(), act.trigger);
                echo.Drain();
            }
            scripts.RunScheduler();
            echo.Drain();
        }
    }
    echo.Drain();
    std::fflush(stdout);
    g_echo = nullptr;
    SetClockSource(nullptr);
    g_settings = old_settings;
    return z1tool::kOk;
}

}  // namespace

Z1TOOL_COMMAND("script asm", "SRC OUT", "assemble script assembly text into a compiled script file", RunAsm);
Z1TOOL_COMMAND("script disasm", "FILE", "print a compiled script file as assembly text", RunDisasm);
Z1TOOL_COMMAND("script run",
               "FILE [--start NAME[@PASS]]... [--fire TYPE:NAME[@PASS]]... [--frames N] [--ms-per-frame N]",
               "load a compiled script file and run scheduler passes on a virtual clock", RunRun);
