// The script virtual machine: loaded functions and program templates, running
// instances and the interpreter that advances them.
//
// Scripts are data that modders write, so the machine trusts nothing in the
// bytecode: slots, locals, constants, labels, jump targets, operands and text
// handles are checked, division by zero and runaway loops are caught, and any
// fault ends only the instance that caused it, with one log line.
#ifndef ZENDAR_Z1SCRIPT_SCRIPTVM_H
#define ZENDAR_Z1SCRIPT_SCRIPTVM_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "utility/zstring.h"
#include "z1script/scriptvalue.h"

class ScriptLineMap;
class StringHashTable;
struct ScriptDecoded;
struct ScriptSlot;

const int kScriptStackSlots = 1024;  // 12,288 bytes per template
const int kScriptMaxCallDepth = 256;
const uint32_t kScriptInstructionBudget = 1000000;  // per run of one instance
// Engine calls and instructions that write a log line weigh this many
// instructions, so that a loop of them cannot flood the log or the game
// within one run.
const uint32_t kScriptHeavyInstruction = 1000;
// Instructions one scheduler pass runs in all; instances not reached keep
// their place and run on the next pass, so many runaway instances stall no
// single frame for long.
const uint64_t kScriptPassBudget = 20000000;
// Live instances at most; further starts are refused with a log line.
const int kScriptMaxInstances = 1000;

// What functions and programs share: constants, absolute labels, code range.
struct ScriptCode {
    String name;
    uint8_t constant_count = 0;
    uint8_t label_count = 0;
    uint32_t code_size = 0;
    ScriptValue constants[256];  // constant_count used; the rest stay zero
    uint8_t constant_types[256];
    uint32_t labels[256];  // label_count used
    uint32_t code_start = 0;
    uint32_t code_end = 0;
    // The form the interpreter runs, made the first time the code is entered.
    mutable ScriptDecoded* decoded = nullptr;
    mutable ScriptSlot* entry = nullptr;  // its first slot, once decoded
    ScriptCode();
    ~ScriptCode();
    ScriptCode(const ScriptCode&) = delete;
    ScriptCode& operator=(const ScriptCode&) = delete;
};

struct ScriptFunction : ScriptCode {
    uint8_t param_count = 0;
    uint8_t reserved_byte = 0;
    uint8_t frame_size = 0;
    uint16_t reserved_short = 0;
};

struct ScriptTemplate : ScriptCode {
    uint8_t local_count = 0;
    uint16_t reserved_short = 0;
    uint8_t synchronized = 0;
    uint8_t trigger = 0;
    int32_t running = 0;             // live instances, shared by all of them
    ScriptValue* stack;              // kScriptStackSlots slots, shared by all instances
    ScriptTemplate* next = nullptr;  // template list, front = last loaded
    ScriptTemplate();
    ~ScriptTemplate();
    ScriptTemplate(const ScriptTemplate&) = delete;
    ScriptTemplate& operator=(const ScriptTemplate&) = delete;
};

// What a return restores of its caller. The frame base of the function
// returning tells where its value goes (one above it) and where the stack
// ends without one (at it), so the frame keeps only the caller's side.
struct ScriptFrame {
    ScriptSlot* ret;         // the slot after the call
    const ScriptCode* code;  // constants, labels and code range of the caller
    int32_t base;
    uint32_t size;  // of the caller's code, for the budget test
};
// Room for the deepest chain of calls, made on the first call so that no call
// grows or moves it; the first depth frames are in use, newest last.
struct ScriptFrames {
    std::unique_ptr<ScriptFrame[]> room;
    int32_t depth = 0;
    bool empty() const { return depth == 0; }
    size_t size() const { return static_cast<size_t>(depth); }
};

struct ScriptInstance {
    ScriptTemplate* program = nullptr;
    int32_t* running = nullptr;    // the template's counter
    ScriptValue* stack = nullptr;  // the template's block
    uint32_t pc = 0;
    uint32_t start = 0;  // code range being run (program or function)
    uint32_t end = 0;
    int32_t base = 0;
    int32_t top = 0;
    const ScriptCode* code = nullptr;  // current constants and labels
    ScriptFrames frames;
    uint8_t waiting = 0;
    uint8_t finished = 0;
    uint32_t wake_time = 0;          // 0: until started again by name or trigger
    uint32_t start_argument = 0;     // text handle; 0 for init programs
    ScriptInstance* prev = nullptr;  // running list, front = newest
    ScriptInstance* next = nullptr;

    // A fresh instance of a template (not yet on any list).
    ScriptInstance(ScriptTemplate* t, uint32_t argument);
};

class ScriptVM {
public:
    // code: the code segment (kScriptCodeSegmentSize bytes); functions: name to
    // ScriptFunction*; texts: the text table. None are owned.
    ScriptVM(const uint8_t* code, StringHashTable* functions, ScriptTexts* texts);

    // Runs the instance until it waits, sleeps, finishes or faults.
    void Run(ScriptInstance* instance);
    ScriptFunction* FindFunction(const char* name) const;

    // Instructions one run may execute before the instance is stopped.
    void SetInstructionBudget(uint32_t budget) { budget_ = budget; }
    // Instructions executed by all runs so far (for the benchmark).
    uint64_t InstructionCount() const { return executed_; }

    ScriptTexts* Texts() const { return texts_; }

    // Where the code came from, when the file had a line map: a fault line
    // then names the source file and line after its own text. Not owned.
    void SetLineMap(const ScriptLineMap* lines) { lines_ = lines; }

private:
    const uint8_t* code_;
    StringHashTable* functions_;
    ScriptTexts* texts_;
    uint32_t budget_ = kScriptInstructionBudget;
    uint64_t executed_ = 0;
    // Tells machines apart for the function a call slot remembers: a later
    // load makes a new machine over a new function table.
    uint32_t serial_;
    const ScriptLineMap* lines_ = nullptr;
    std::string joined_;  // concat's work space, kept to spare an allocation a text
};

#endif
