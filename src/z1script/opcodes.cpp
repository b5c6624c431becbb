#include "z1script/opcodes.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

struct MnemonicTable {
    ScriptOpcodeInfo info[256];
    std::string names[256];
    std::map<std::string, int> byName;

    // The list writes the dot of a mnemonic as an underscore.
    void Set(int op, std::string name, ScriptOperands operands) {
        std::replace(name.begin(), name.end(), '_', '.');
        names[op] = name;
        info[op] = {names[op].c_str(), operands};
    }

    MnemonicTable() {
        char buf[16];
        for (int op = 0; op < 256; ++op) {
            std::snprintf(buf, sizeof buf, "nop.%02x", op);
            Set(op, buf, kOperandsNone);
        }
#define MNEMONIC(byte, name, operands) Set(byte, #name, kOperands##operands);
        Z1_SCRIPT_OPCODES(MNEMONIC)
#undef MNEMONIC
        for (int op = 0; op < 256; ++op) byName[names[op]] = op;
    }
};

const MnemonicTable& Table() {
    static const MnemonicTable table;
    return table;
}

}  // namespace

const ScriptOpcodeInfo& ScriptOpcode(uint8_t opcode) { return Table().info[opcode]; }

int ScriptOpcodeLength(uint8_t opcode) { return 1 + ScriptOperandBytes(kScriptOperands.of[opcode]); }

int ScriptOpcodeByMnemonic(const std::string& mnemonic) {
    auto found = Table().byName.find(mnemonic);
    return found == Table().byName.end() ? -1 : found->second;
}
