// Script assembly: the text form of compiled script files, one mnemonic per
// opcode (z1script/opcodes.h). Disassembling a file and assembling the text
// gives back the same bytes. The language is described in
// docs/script-assembly.md.
#ifndef ZENDAR_Z1SCRIPT_SCRIPTASM_H
#define ZENDAR_Z1SCRIPT_SCRIPTASM_H

#include <string>
#include <vector>

#include "z1script/opcodes.h"
#include "z1script/scriptfile.h"

// Turns assembly text into records; on failure *error holds
// "line N: reason" and false is returned.
bool AssembleScript(const std::string& source, std::vector<ScriptRecord>* records, std::string* error);

// The text form of records; AssembleScript of it gives back equal records.
std::string DisassembleScript(const std::vector<ScriptRecord>& records);

// The word a program header gives its trigger type in the text form (never,
// init, click, collision, pickup); null for other values, which are written
// as numbers.
const char* ScriptTriggerWord(int trigger);

#endif
