// Script assembly: the text form of compiled script files, one mnemonic per
// opcode. Disassembling a file and assembling the text gives back the same
// bytes. The language is described in docs/script-assembly.md.
#ifndef ZENDAR_Z1SCRIPT_SCRIPTASM_H
#define ZENDAR_Z1SCRIPT_SCRIPTASM_H

#include <cstdint>
#include <string>
#include <vector>

#include "z1script/scriptfile.h"

// Operands of an opcode, in order.
enum ScriptOperands : uint8_t {
    kOperandsNone,
    kOperandsLabel,         // L: label index
    kOperandsConstant,      // k: constant index
    kOperandsLocal,         // k: local index
    kOperandsLocalAndByte,  // k, n
};

struct ScriptOpcodeInfo {
    const char* name;
    ScriptOperands operands;
};

const ScriptOpcodeInfo& ScriptOpcode(uint8_t opcode);
// Bytes taken by the opcode and its operands.
int ScriptOpcodeLength(uint8_t opcode);

// Turns assembly text into records; on failure *error holds
// "line N: reason" and false is returned.
bool AssembleScript(const std::string& source, std::vector<ScriptRecord>* records, std::string* error);

// The text form of records; AssembleScript of it gives back equal records.
std::string DisassembleScript(const std::vector<ScriptRecord>& records);

#endif
