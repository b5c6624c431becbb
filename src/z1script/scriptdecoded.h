// The form the interpreter runs: each function or program decoded once, the
// first time it is entered, into one slot per code byte.
//
// Decoding checks what does not change while the code runs: operands that
// run past the end, constant indices, label indices and jump targets. A bad
// one is not refused at load; its slot faults with the same message when,
// and only when, it is reached, as the bytes would have. Common sequences of
// instructions get one fused handler in their first slot; the slots after it
// keep their own handlers, so a jump into the middle still runs the rest.
#ifndef ZENDAR_Z1SCRIPT_SCRIPTDECODED_H
#define ZENDAR_Z1SCRIPT_SCRIPTDECODED_H

#include <cstdint>
#include <deque>
#include <vector>

#include "z1script/opcodes.h"

struct ScriptCode;
struct ScriptFunction;

// Binary operations and compare-and-jumps that fuse with the pushes before
// them.
#define Z1_SCRIPT_FUSED_BINARY(X)  X(add) X(sub) X(mul) X(fadd) X(fsub) X(fmul)
#define Z1_SCRIPT_FUSED_COMPARE(X) X(jeq) X(jgt) X(jlt) X(jle) X(jge) X(jne)
// Binary operations that fuse with the pushes before them and a call after
// them (an argument worked out from a local: f(n - 1)).
#define Z1_SCRIPT_FUSED_CALL(X) X(add) X(sub)

// Handler numbers: one per opcode row, then the decoder's own, then the
// fused ones. In the fused names L is a local pushed, C a number pushed (C1
// by a one-byte push, C2 by pushc), S a store into a local, _call a call
// after them and _ret a local push and a return where a compare-and-jump
// does not jump (a guard: if (n < 2) { return n; }).
enum ScriptHandler : uint8_t {
#define Z1_SCRIPT_HANDLER_NUMBER(byte, name, operands) H_##name,
    Z1_SCRIPT_OPCODES(Z1_SCRIPT_HANDLER_NUMBER)
#undef Z1_SCRIPT_HANDLER_NUMBER
    H_undecoded,    // never entered yet: decoded on the way in
    H_ran_off,      // the end of the code
    H_bad_operand,  // an operand past the end of the code
    H_bad_constant,
    H_bad_jump,  // where a jump with a bad label or target goes
#define Z1_SCRIPT_FUSED_BINARY_NUMBER(name) \
    H_LL_##name, H_LC1_##name, H_LC2_##name, H_LLS_##name, H_LC1S_##name, H_LC2S_##name,
    Z1_SCRIPT_FUSED_BINARY(Z1_SCRIPT_FUSED_BINARY_NUMBER)
#undef Z1_SCRIPT_FUSED_BINARY_NUMBER
#define Z1_SCRIPT_FUSED_COMPARE_NUMBER(name) H_LL_##name, H_LC1_##name, H_LC2_##name,
    Z1_SCRIPT_FUSED_COMPARE(Z1_SCRIPT_FUSED_COMPARE_NUMBER)
#undef Z1_SCRIPT_FUSED_COMPARE_NUMBER
        H_L_retv,
    H_add_retv,
    H_L_call,
#define Z1_SCRIPT_FUSED_CALL_NUMBER(name) H_LL_##name##_call, H_LC1_##name##_call, H_LC2_##name##_call,
    Z1_SCRIPT_FUSED_CALL(Z1_SCRIPT_FUSED_CALL_NUMBER)
#undef Z1_SCRIPT_FUSED_CALL_NUMBER
#define Z1_SCRIPT_FUSED_GUARD_NUMBER(name) H_LL_##name##_ret, H_LC1_##name##_ret, H_LC2_##name##_ret,
    Z1_SCRIPT_FUSED_COMPARE(Z1_SCRIPT_FUSED_GUARD_NUMBER)
#undef Z1_SCRIPT_FUSED_GUARD_NUMBER
        kScriptHandlerCount
};

// Aligned to its size, so that no slot straddles two cache lines.
struct alignas(32) ScriptSlot {
    uint8_t h = H_undecoded;      // handler: fused where a sequence starts here
    uint8_t plain = H_undecoded;  // handler of this instruction alone
    uint8_t op = 0;               // opcode byte
    uint8_t len = 1;              // bytes of this instruction
    uint32_t at = 0;              // offset in the code segment
    // The instruction's operand, decoded: a local index (pushes and stores of
    // locals, addl), the value a pushN or pushc pushes, a fault message
    // number (H_bad_jump).
    int32_t x = 0;
    uint8_t y = 0;        // word of the local; addl's amount; pushc's constant index
    uint8_t bw = 0;       // fused: word of the second local pushed
    uint8_t cl = 0;       // fused: local stored into; call: parameters of fn
    uint8_t cw = 0;       // fused: word stored into; call: frame size of fn
    int32_t b = 0;        // fused: second local pushed, or the constant pushed; call: code size of fn
    uint32_t serial = 0;  // call: the machine that found fn
    union {
        ScriptSlot* target;  // jumps: the slot jumped to
        ScriptFunction* fn;  // call: the function last found
    };
    ScriptSlot() : target(nullptr) {}
};
static_assert(sizeof(ScriptSlot) == 32, "a slot fills its alignment");

const char* const kScriptBadJumpMessages[2] = {"label index out of range", "jump outside the code"};

struct ScriptDecoded {
    std::vector<ScriptSlot> slots;  // code_size + 1: the last is the end
    std::deque<ScriptSlot> faults;  // targets of bad jumps, one per jump
};

// Decodes the unit from the code segment, or returns what was decoded before.
ScriptDecoded* ScriptDecode(const ScriptCode* unit, const uint8_t* code);
// Decodes the run of instructions from a code offset that no label names
// (a resumed instance is always at one that was decoded; this is the
// fallback for one that was not).
void ScriptDecodeFrom(ScriptDecoded* d, const ScriptCode* unit, const uint8_t* code, uint32_t offset);

#endif
