// Records of the compiled script file, as they stand in the file.
//
// The loader reads each record header, tests it against the code segment and
// only then reads the body, so one reader serves the engine, the
// disassembler and the tests; the writer is its exact inverse.
#ifndef ZENDAR_Z1SCRIPT_SCRIPTFILE_H
#define ZENDAR_Z1SCRIPT_SCRIPTFILE_H

#include <cstdint>
#include <string>
#include <vector>

class DataFile;

enum ScriptRecordType : uint8_t {
    kScriptFunctionRecord = 0,
    kScriptProgramRecord = 1
};

enum ScriptConstantType : uint8_t {
    kScriptConstInt = 0,
    kScriptConstText = 1,
    kScriptConstFloat = 2,
    kScriptConstVector = 3,
};

enum ScriptTrigger : uint8_t {
    kTriggerNever = 0,
    kTriggerInit = 1,
    kTriggerClick = 2,
    kTriggerCollision = 3,
    kTriggerPickup = 4,
};

// "trigger never", "init", "click", "collision", "pickup", "unknown triggertype".
const char* TriggerName(int type);

struct ScriptConstantEntry {
    uint8_t type = 0;
    int32_t integer = 0;
    float number = 0.0f;
    float vector[3] = {0.0f, 0.0f, 0.0f};
    std::string text;
};

struct ScriptRecord {
    uint8_t type = kScriptFunctionRecord;  // any other value: a lone type byte
    std::string name;
    // function header
    uint8_t param_count = 0;
    uint8_t reserved_byte = 0;
    uint8_t frame_size = 0;
    uint16_t reserved_short = 0;  // functions and programs
    // program header
    uint8_t local_count = 0;
    uint8_t synchronized = 0;
    uint8_t trigger = kTriggerNever;
    // both
    uint8_t constant_count = 0;
    uint8_t label_count = 0;
    uint32_t code_size = 0;
    std::vector<ScriptConstantEntry> constants;
    std::vector<int32_t> labels;  // relative to the record's code
    std::vector<uint8_t> code;
};

// Reads the header fields after the type byte (record.type must be set).
void ReadScriptRecordHeader(DataFile& file, ScriptRecord& record);
// Reads one constant entry.
void ReadScriptConstant(DataFile& file, ScriptConstantEntry& constant);
// Reads constants, labels and code_size code bytes into record.code.
void ReadScriptRecordBody(DataFile& file, ScriptRecord& record);

// Writes records back to back; a record of any other type writes its type
// byte only. Counts are taken from the vectors. Returns false when the file
// cannot be written or a name or text does not fit the format (255 bytes with
// its terminator), with the reason in *error.
bool WriteScriptFile(const char* path, const std::vector<ScriptRecord>& records, std::string* error);

// Reads a whole file into records, for the disassembler. Fails on a missing
// file, a truncated record or code that could never fit the code segment.
bool ReadScriptFile(const char* path, std::vector<ScriptRecord>* records, std::string* error);

// Size of the code segment every function and program is copied into.
const uint32_t kScriptCodeSegmentSize = 1048576;
// Longest text the file format carries (the reader stops at 255 bytes with
// the terminator).
const size_t kScriptMaxFileText = 254;

#endif
