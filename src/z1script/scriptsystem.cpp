#include "z1script/scriptsystem.h"

#include <cstring>

#include "utility/clock.h"
#include "utility/datafile.h"
#include "utility/log.h"
#include "utility/stringhashtable.h"
#include "utility/zstring.h"

ScriptSystem* g_scripts = nullptr;

ScriptSystem::ScriptSystem() : functions_(new StringHashTable) {}

ScriptSystem::~ScriptSystem() {
    while (running_) {
        ScriptInstance* next = running_->next;
        delete running_;
        running_ = next;
    }
    while (templates_) {
        ScriptTemplate* next = templates_->next;
        delete templates_;
        templates_ = next;
    }
    for (int i = 0; i < functions_loaded_.size; ++i) delete functions_loaded_[i];
    delete vm_;
    delete functions_;
    delete[] code_;
}

ScriptFunction* ScriptSystem::FindFunction(const char* name) const {
    return static_cast<ScriptFunction*>(functions_->Find(name));
}

namespace {

// Copies what the file record says into the in-memory record: constants into
// 12-byte slots (texts as handles), labels made absolute.
void FillCode(ScriptCode& c, const ScriptRecord& r, uint32_t offset, ScriptTexts& texts) {
    c.name = r.name.c_str();
    c.constant_count = r.constant_count;
    c.label_count = r.label_count;
    c.code_size = r.code_size;
    for (int i = 0; i < r.constant_count; ++i) {
        const ScriptConstantEntry& e = r.constants[i];
        ScriptValue& v = c.constants[i];
        c.constant_types[i] = e.type;
        switch (e.type) {
        case kScriptConstInt: v.w[0] = static_cast<uint32_t>(e.integer); break;
        case kScriptConstText: v.w[0] = texts.Add(e.text.data(), e.text.size()); break;
        case kScriptConstFloat: v.w[0] = FloatToWord(e.number); break;
        case kScriptConstVector:
            for (int k = 0; k < 3; ++k) v.w[k] = FloatToWord(e.vector[k]);
            break;
        default: break;
        }
    }
    for (int i = 0; i < r.label_count; ++i) c.labels[i] = static_cast<uint32_t>(r.labels[i]) + offset;
    c.code_start = offset;
    c.code_end = offset + r.code_size;
}

}  // namespace

void ScriptSystem::Load(const char* path) {
    DataFile file;
    file.Open(path);
    if (!code_) code_ = new uint8_t[kScriptCodeSegmentSize]();
    if (!file.IsOpen()) return;
    const uint32_t base = code_used_;
    LogLine("Valid script file, now parsing.:");
    for (;;) {
        uint8_t type = file.ReadByte();
        if (file.AtEnd()) break;
        if (type != kScriptFunctionRecord && type != kScriptProgramRecord) continue;
        ScriptRecord r;
        r.type = type;
        ReadScriptRecordHeader(file, r);
        // 64-bit sum: a code size near 4 GiB must not wrap past the test.
        bool fits = static_cast<uint64_t>(code_used_) + r.code_size < kScriptCodeSegmentSize;
        if (!fits) {
            LogLine("ERROR - Code segment too small!!");
            if (type == kScriptFunctionRecord)
                LogLine("max code : %i, current code %i, function size %i",
                        static_cast<int>(kScriptCodeSegmentSize), static_cast<int>(code_used_),
                        static_cast<int>(r.code_size));
            return;
        }
        if (type == kScriptProgramRecord) {
            LogLine("Loading program %s", r.name.c_str());
            if (r.synchronized) LogLine("and it's synchronized");
        }
        ReadScriptRecordBody(file, r);
        if (r.code_size) std::memcpy(code_ + code_used_, r.code.data(), r.code_size);
        if (type == kScriptFunctionRecord) {
            ScriptFunction* f = new ScriptFunction;
            FillCode(*f, r, code_used_, texts_);
            f->param_count = r.param_count;
            f->reserved_byte = r.reserved_byte;
            f->frame_size = r.frame_size;
            f->reserved_short = r.reserved_short;
            functions_loaded_.Add(f);
            functions_->Insert(f->name.c_str(), f);
            LogLine("Loaded function %s", f->name.c_str());
        } else {
            ScriptTemplate* t = new ScriptTemplate;
            FillCode(*t, r, code_used_, texts_);
            t->local_count = r.local_count;
            t->reserved_short = r.reserved_short;
            t->synchronized = r.synchronized;
            t->trigger = r.trigger;
            t->next = templates_;
            templates_ = t;
        }
        code_used_ += r.code_size;
    }
    delete vm_;  // a second load replaces the machine, never leaks it
    vm_ = new ScriptVM(code_, functions_, &texts_);
    // A compiled file may have its line map beside it, so that a fault can
    // name the source line.
    if (lines_.LoadFor(path, base)) vm_->SetLineMap(&lines_);
    StartInitPrograms();
    file.Close();
}

void ScriptSystem::Start(ScriptTemplate* t, const char* name) {
    uint32_t argument = 0;
    if (name) {
        // The instance keeps its own copy: callers pass temporary texts.
        argument = texts_.Add(name);
    }
    ScriptInstance* in = new ScriptInstance(t, argument);
    ++t->running;
    in->next = running_;
    if (running_) running_->prev = in;
    running_ = in;
    ++running_count_;
}

void ScriptSystem::StartInitPrograms() {
    for (ScriptTemplate* t = templates_; t; t = t->next)
        if (t->trigger == kTriggerInit) Start(t, nullptr);
}

bool ScriptNameMatches(const char* name, const char* pattern) {
    if (!name || !pattern) return false;
    size_t n = std::strlen(pattern);
    if (n == 0 || pattern[n - 1] != '*') return std::strcmp(name, pattern) == 0;
    return std::strncmp(name, pattern, n - 1) == 0;
}

void ScriptSystem::StartOrWake(const char* name, int trigger) {
    if (!name) return;
    bool woken = false;
    for (ScriptInstance* in = running_; in; in = in->next) {
        if (!in->waiting || in->wake_time != 0 || !in->start_argument) continue;
        if (trigger >= 0 && in->program->trigger != trigger) continue;
        const char* argument = texts_.Get(in->start_argument);
        if (argument && std::strcmp(argument, name) == 0) {
            in->waiting = 0;
            woken = true;
        }
    }
    if (woken) return;
    for (ScriptTemplate* t = templates_; t; t = t->next) {
        bool match;
        if (trigger < 0) {
            LogLine("checking if program name '%s' is match for '%s'", t->name.c_str(), name);
            match = ScriptNameMatches(name, t->name.c_str());
            if (match) LogLine("match..");
        } else {
            if (t->trigger != trigger) continue;
            // Constant 0, when it is a text, is the trigger pattern.
            const char* pattern = t->constant_count > 0 && t->constant_types[0] == kScriptConstText
                                      ? texts_.Get(t->constants[0].w[0])
                                      : nullptr;
            match = ScriptNameMatches(name, pattern);
        }
        if (!match) continue;
        if (t->synchronized && t->running != 0) {
            LogLine("cannot start new program because template is locked");
            continue;
        }
        // Scripts that start scripts (through entities and conversations)
        // must not multiply without end.
        if (RunningCount() >= kScriptMaxInstances) {
            LogLine("ERROR - cannot start program %s: %i programs are running", t->name.c_str(),
                    kScriptMaxInstances);
            continue;
        }
        Start(t, name);
    }
}

void ScriptSystem::StartByName(const char* name) { StartOrWake(name, -1); }

void ScriptSystem::FireTrigger(const char* name, int trigger) { StartOrWake(name, trigger); }

void ScriptSystem::RunScheduler() {
    if (!vm_) return;
    uint32_t now = ClockMilliseconds();
    const uint64_t pass_start = vm_->InstructionCount();
    for (ScriptInstance* in = running_; in;) {
        // Wrap-safe: a wake time just past the 32-bit roll-over is still ahead.
        if (in->waiting && in->wake_time != 0 && static_cast<int32_t>(now - in->wake_time) >= 0)
            in->waiting = 0;
        if (vm_->InstructionCount() - pass_start >= kScriptPassBudget) break;
        if (!in->waiting) vm_->Run(in);
        ScriptInstance* next = in->next;
        if (in->finished) {
            LogLine("killing program %s", in->program->name.c_str());
            if (finished_observer_) finished_observer_(in, finished_context_);
            if (in->prev)
                in->prev->next = in->next;
            else
                running_ = in->next;
            if (in->next) in->next->prev = in->prev;
            --*in->running;
            --running_count_;
            delete in;
        }
        in = next;
    }
}

void LoadScriptFile(const String& path) {
    if (!g_scripts) g_scripts = new ScriptSystem;
    g_scripts->Load(path.c_str());
}

void StartScriptByName(const char* name) {
    if (g_scripts) g_scripts->StartByName(name);
}

void FireScriptClick(const char* name) {
    if (g_scripts) g_scripts->FireClick(name);
}

void FireScriptCollision(const char* name) {
    if (g_scripts) g_scripts->FireCollision(name);
}

void FireScriptPickup(const char* name) {
    if (g_scripts) g_scripts->FirePickup(name);
}

void RunScriptScheduler() {
    if (g_scripts) g_scripts->RunScheduler();
}
