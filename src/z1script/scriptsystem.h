// Programs, triggers and the scheduler: the script runtime the game talks to.
//
// One ScriptSystem per process (g_scripts), made by LoadScriptFile from the
// intro screen. Tests and tools make their own.
#ifndef ZENDAR_Z1SCRIPT_SCRIPTSYSTEM_H
#define ZENDAR_Z1SCRIPT_SCRIPTSYSTEM_H

#include <cstdint>

#include "utility/list.h"
#include "z1script/scriptfile.h"
#include "z1script/scriptlines.h"
#include "z1script/scriptvalue.h"
#include "z1script/scriptvm.h"

class String;
class StringHashTable;

class ScriptSystem {
public:
    ScriptSystem();
    ~ScriptSystem();
    ScriptSystem(const ScriptSystem&) = delete;
    ScriptSystem& operator=(const ScriptSystem&) = delete;

    // Reads the compiled script file, builds the code segment, the function
    // table and the templates, creates the machine and starts the init
    // programs. A missing file is silent; a full code segment stops loading
    // without a machine. Call once.
    void Load(const char* path);

    void StartInitPrograms();
    // Wakes the waiting instances started for name, or else starts every
    // template whose name matches.
    void StartByName(const char* name);
    // As StartByName, but against the trigger patterns of one trigger type.
    void FireTrigger(const char* name, int trigger);
    void FireClick(const char* name) { FireTrigger(name, kTriggerClick); }
    void FireCollision(const char* name) { FireTrigger(name, kTriggerCollision); }
    void FirePickup(const char* name) { FireTrigger(name, kTriggerPickup); }

    // One pass over the running list (once per game frame).
    void RunScheduler();

    // Told about every instance the scheduler removes, before it is freed.
    void SetFinishedObserver(void (*observer)(const ScriptInstance*, void*), void* context) {
        finished_observer_ = observer;
        finished_context_ = context;
    }

    ScriptVM* VM() const { return vm_; }
    ScriptTexts& Texts() { return texts_; }
    const uint8_t* CodeSegment() const { return code_; }
    uint32_t CodeUsed() const { return code_used_; }
    ScriptTemplate* Templates() const { return templates_; }  // front = last loaded
    ScriptInstance* Running() const { return running_; }      // front = newest
    ScriptFunction* FindFunction(const char* name) const;
    int RunningCount() const { return running_count_; }
    // The loaded file's line map (empty when it had none).
    const ScriptLineMap& Lines() const { return lines_; }

private:
    void Start(ScriptTemplate* t, const char* name);
    void StartOrWake(const char* name, int trigger);  // trigger < 0: by name

    ScriptTexts texts_;
    StringHashTable* functions_;
    uint8_t* code_ = nullptr;
    uint32_t code_used_ = 0;
    ScriptVM* vm_ = nullptr;
    ScriptLineMap lines_;
    ScriptTemplate* templates_ = nullptr;
    ScriptInstance* running_ = nullptr;
    int running_count_ = 0;
    List<ScriptFunction*> functions_loaded_;  // every function, for freeing
    void (*finished_observer_)(const ScriptInstance*, void*) = nullptr;
    void* finished_context_ = nullptr;
};

// Prefix match when the pattern ends with '*', else equality; false when
// either is null.
bool ScriptNameMatches(const char* name, const char* pattern);

// The process-wide runtime; null until the intro screen loads the script file.
extern ScriptSystem* g_scripts;

// The intro screen's call (it logs "Loading script '%s'" itself). Creates
// g_scripts on the first call.
void LoadScriptFile(const String& path);
// Null-safe entry points for entities, conversations, the editor and the game
// frame.
void StartScriptByName(const char* name);
void FireScriptClick(const char* name);
void FireScriptCollision(const char* name);
void FireScriptPickup(const char* name);
void RunScriptScheduler();

#endif
