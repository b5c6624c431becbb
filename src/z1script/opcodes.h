// The script machine's instruction set, written once. The interpreter
// (scriptvm.cpp) builds its dispatch from this list and names each handler
// after the mnemonic; the assembler and the disassembler (scriptasm.cpp,
// scriptdisasm.cpp) take their mnemonics and operand layouts from it.
//
// A new opcode is one row here plus its handler in ScriptVM::Run; the
// interpreter's dispatch table names a handler for every row, so a row
// without one does not build.
#ifndef ZENDAR_Z1SCRIPT_OPCODES_H
#define ZENDAR_Z1SCRIPT_OPCODES_H

#include <cstdint>
#include <string>

// Operands of an opcode, in order; every operand is one byte.
enum ScriptOperands : uint8_t {
    kOperandsNone,
    kOperandsLabel,         // L: label index
    kOperandsConstant,      // k: constant index
    kOperandsLocal,         // k: local index
    kOperandsLocalAndByte,  // k, n
};

constexpr int ScriptOperandBytes(ScriptOperands operands) {
    return operands == kOperandsNone ? 0 : operands == kOperandsLocalAndByte ? 2 : 1;
}

// X(byte, mnemonic, operands). In the mnemonic an underscore stands for the
// dot of the text form: retv_6d is written "retv.6d". Opcodes that repeat
// another's meaning carry its mnemonic with their byte as a suffix, so that
// every byte has exactly one mnemonic. Bytes missing from the list do
// nothing, take no operand and are written "nop.XX".
#define Z1_SCRIPT_OPCODES(X)    \
    X(0x00, nop, None)          \
    X(0x01, mod255, None)       \
    X(0x02, mul, None)          \
    X(0x03, neg, None)          \
    X(0x04, mod, None)          \
    X(0x05, sub, None)          \
    X(0x06, div, None)          \
    X(0x07, add, None)          \
    X(0x08, addl, LocalAndByte) \
    X(0x09, jmp, Label)         \
    X(0x0A, jz, Label)          \
    X(0x0B, jnz, Label)         \
    X(0x0C, jteq, Label)        \
    X(0x0D, jtne, Label)        \
    X(0x0E, jz_0e, Label)       \
    X(0x0F, jnz_0f, Label)      \
    X(0x10, jeq, Label)         \
    X(0x11, jgt, Label)         \
    X(0x12, jlt, Label)         \
    X(0x13, jle, Label)         \
    X(0x14, jge, Label)         \
    X(0x15, jne, Label)         \
    X(0x16, retv, None)         \
    X(0x17, retv_17, None)      \
    X(0x18, ret, None)          \
    X(0x19, pushl, Local)       \
    X(0x1E, storel, Local)      \
    X(0x23, pushl_23, Local)    \
    X(0x28, storel_28, Local)   \
    X(0x2D, pushl_2d, Local)    \
    X(0x32, storel_32, Local)   \
    X(0x37, dup, None)          \
    X(0x38, pop, None)          \
    X(0x39, swap, None)         \
    X(0x3A, push0, None)        \
    X(0x3B, push1, None)        \
    X(0x3C, push2, None)        \
    X(0x3D, push3, None)        \
    X(0x3E, push4, None)        \
    X(0x3F, push5, None)        \
    X(0x40, pushc, Constant)    \
    X(0x41, pushc_41, Constant) \
    X(0x42, pushc_42, Constant) \
    X(0x43, pushnull, None)     \
    X(0x44, call, Constant)     \
    X(0x45, ecall_45, None)     \
    X(0x46, world, None)        \
    X(0x47, ecall_47, None)     \
    X(0x48, game, None)         \
    X(0x49, ecall_49, None)     \
    X(0x4A, ecall_4a, None)     \
    X(0x4B, ecall_4b, None)     \
    X(0x4C, worldvec, None)     \
    X(0x4D, ecall_4d, None)     \
    X(0x4E, gamevec, None)      \
    X(0x4F, ecall_4f, None)     \
    X(0x50, ecall_50, None)     \
    X(0x51, sleep, None)        \
    X(0x52, wait, None)         \
    X(0x53, ecall_53, None)     \
    X(0x54, ecall_54, None)     \
    X(0x55, ecall_55, None)     \
    X(0x56, rand, None)         \
    X(0x57, randrange, None)    \
    X(0x58, fadd, None)         \
    X(0x59, concat, None)       \
    X(0x5A, itof, None)         \
    X(0x5B, itos, None)         \
    X(0x5C, ftoi, None)         \
    X(0x5D, ftos, None)         \
    X(0x5E, stoi, None)         \
    X(0x5F, stof, None)         \
    X(0x60, pushcv, Constant)   \
    X(0x61, storelv, Local)     \
    X(0x62, pushlv, Local)      \
    X(0x63, storel_63, Local)   \
    X(0x64, storely, Local)     \
    X(0x65, storelz, Local)     \
    X(0x66, pushlx, Local)      \
    X(0x67, pushly, Local)      \
    X(0x68, pushlz, Local)      \
    X(0x69, vec, None)          \
    X(0x6A, fmul, None)         \
    X(0x6B, fsub, None)         \
    X(0x6C, fdiv, None)         \
    X(0x6D, retv_6d, None)      \
    X(0x6E, pusharg, None)      \
    X(0x6F, fneg, None)

// The opcode bytes by mnemonic: ScriptOp::jz is 0x0A.
namespace ScriptOp {
enum Byte : uint8_t {
#define Z1_SCRIPT_OPCODE_BYTE(byte, name, operands) name = byte,
    Z1_SCRIPT_OPCODES(Z1_SCRIPT_OPCODE_BYTE)
#undef Z1_SCRIPT_OPCODE_BYTE
};
}  // namespace ScriptOp

// Each byte once, in rising order, so that no row hides another.
constexpr bool ScriptOpcodesAscend() {
    const int bytes[] = {
#define Z1_SCRIPT_OPCODE_VALUE(byte, name, operands) byte,
        Z1_SCRIPT_OPCODES(Z1_SCRIPT_OPCODE_VALUE)
#undef Z1_SCRIPT_OPCODE_VALUE
    };
    for (unsigned i = 1; i < sizeof bytes / sizeof bytes[0]; ++i)
        if (bytes[i] <= bytes[i - 1]) return false;
    return true;
}
static_assert(ScriptOpcodesAscend(), "every opcode byte is listed once, in rising order");

// Operand layout of every byte (unlisted bytes take none).
struct ScriptOperandTable {
    ScriptOperands of[256] = {};
    constexpr ScriptOperandTable() {
#define Z1_SCRIPT_OPCODE_OPERANDS(byte, name, operands) of[byte] = kOperands##operands;
        Z1_SCRIPT_OPCODES(Z1_SCRIPT_OPCODE_OPERANDS)
#undef Z1_SCRIPT_OPCODE_OPERANDS
    }
};
constexpr ScriptOperandTable kScriptOperands;

struct ScriptOpcodeInfo {
    const char* name;  // the mnemonic of the text form
    ScriptOperands operands;
};

const ScriptOpcodeInfo& ScriptOpcode(uint8_t opcode);
// Bytes taken by the opcode and its operands.
int ScriptOpcodeLength(uint8_t opcode);
// The byte a mnemonic stands for, or -1.
int ScriptOpcodeByMnemonic(const std::string& mnemonic);

#endif
