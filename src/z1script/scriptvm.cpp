// The script machine's objects and its interpreter.
//
// Index of this file:
// [SECTION] Code units, templates, instances and the machine
// [SECTION] Value helpers
// [SECTION] Interpreter: checks, fetch and dispatch, handlers, exits
#include "z1script/scriptvm.h"

// Keep one dispatch jump per handler: without these GCC merges the handlers'
// computed gotos into a few shared jumps, which the branch predictor cannot
// tell apart.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-crossjumping", "no-gcse")
#endif

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imports/enginecalls.h"
#include "imports/gameimports.h"
#include "utility/clock.h"
#include "utility/log.h"
#include "utility/random.h"
#include "utility/stringhashtable.h"
#include "z1script/opcodes.h"
#include "z1script/scriptdecoded.h"
#include "z1script/scriptlines.h"

// ---------------------------------------------------------------------------
// [SECTION] Code units, templates, instances and the machine
ScriptCode::ScriptCode() {
    std::memset(constants, 0, sizeof constants);
    std::memset(constant_types, 0, sizeof constant_types);
    std::memset(labels, 0, sizeof labels);
}

ScriptCode::~ScriptCode() { delete decoded; }

ScriptTemplate::ScriptTemplate() : stack(new ScriptValue[kScriptStackSlots]) {
    std::memset(stack, 0, sizeof(ScriptValue) * kScriptStackSlots);
}

ScriptTemplate::~ScriptTemplate() { delete[] stack; }

ScriptInstance::ScriptInstance(ScriptTemplate* t, uint32_t argument)
    : program(t),
      running(&t->running),
      stack(t->stack),
      pc(t->code_start),
      start(t->code_start),
      end(t->code_end),
      base(0),
      top(t->local_count),
      code(t),
      start_argument(argument) {}

ScriptVM::ScriptVM(const uint8_t* code, StringHashTable* functions, ScriptTexts* texts)
    : code_(code), functions_(functions), texts_(texts) {
    static uint32_t machines = 0;
    serial_ = ++machines;
}

ScriptFunction* ScriptVM::FindFunction(const char* name) const {
    return functions_ ? static_cast<ScriptFunction*>(functions_->Find(name)) : nullptr;
}

// ---------------------------------------------------------------------------
// [SECTION] Value helpers
namespace {

// Integer arithmetic wraps as the 32-bit machine it was written for did,
// instead of being undefined on overflow.
inline int32_t Wrap(uint32_t v) { return static_cast<int32_t>(v); }
inline uint32_t U(int32_t v) { return static_cast<uint32_t>(v); }
inline bool OutsideStack(intptr_t i) { return static_cast<uintptr_t>(i) >= kScriptStackSlots; }

// Float to integer truncating toward zero; out-of-range values saturate and
// NaN gives 0 rather than an undefined conversion.
int32_t FloatToInt(float f) {
    if (std::isnan(f)) return 0;
    if (f >= 2147483648.0f) return INT32_MAX;
    if (f <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(f);
}

// The text "%i" gives, into out (12 bytes at least); returns its length.
// Numbers become texts every frame in many scripts, and printf is slow.
int IntToText(int32_t v, char* out) {
    char digits[12];
    int n = 0;
    uint32_t u = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    do {
        digits[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    int length = 0;
    if (v < 0) out[length++] = '-';
    while (n) out[length++] = digits[--n];
    out[length] = 0;
    return length;
}

// Leading white space, an optional sign, decimal digits; saturates.
int32_t TextToInt(const char* s) {
    if (!s) return 0;
    while (std::isspace(static_cast<unsigned char>(*s))) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    int64_t v = 0;
    while (*s >= '0' && *s <= '9') {
        v = v * 10 + (*s++ - '0');
        if (v > 2147483648LL) v = 2147483648LL;
    }
    if (negative) v = -v;
    if (v > INT32_MAX) v = INT32_MAX;
    return static_cast<int32_t>(v);
}

// Whether the receiver of an engine call reads its name or text; every
// other call ignores it.
bool EngineCallReadsText(uint8_t op, int32_t call) {
    switch (op) {
    case ScriptOp::world: return call == kWorldCallTrigger || call == kWorldCallUnlock;
    case ScriptOp::worldvec: return call == kWorldVectorCallRotate || call == kWorldVectorCallMove;
    case ScriptOp::game:
        return call == kGameCallShowMessage || call == kGameCallLoadScene || call == kGameCallAddItem ||
               call == kGameCallSetQuestFlag;
    default: return false;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Interpreter: checks, fetch and dispatch, handlers, exits
//
// The budget is counted exactly, instruction by instruction, but tested only
// where control can go back or into other code: on entry, at taken jumps,
// calls, returns and heavy instructions. There, when the instructions that
// could still run before the next such point (at most one per byte of the
// function or program) might pass the budget, the machine switches to a table
// that tests before every instruction and runs them unfused, so the fault
// comes at the same instruction and the same count as testing every one.
void ScriptVM::Run(ScriptInstance* in) {
    // Only sleep, wait and the returns can stop an instance, and they leave
    // the loop themselves, so the flags are not re-read every instruction.
    if (in->waiting || in->finished) return;

    ScriptValue* const S = in->stack;
    const uint32_t start = in->start;
    const uint32_t end = in->end;
    // Stack indices are pointer-wide, so that they index without widening.
    intptr_t base = in->base;
    intptr_t top = in->top;
    const ScriptCode* unit = in->code;
    int64_t count = 0;
    const int64_t budget = budget_;
    const char* fault = nullptr;
    uint32_t op_at = 0;
    uint32_t resume = 0;  // the offset the instance continues at
    char buffer[256];

    ScriptSlot* ip = ScriptDecode(unit, code_)->slots.data() +
                     (in->pc >= start && in->pc <= end ? in->pc - start : end - start);
    // Past this count the rest of the budget might not cover what runs before
    // the next test. It changes with the unit, at calls and returns.
    int64_t limit = budget - (end - start);
    // The frames: fp is the next free one. Before the first call there is no
    // room, and the full test sends that call to make it.
    static ScriptFrame none[1];
    ScriptFrame* frames = in->frames.room ? in->frames.room.get() : none;
    ScriptFrame* fp = frames + in->frames.depth;
    ScriptFrame* full = in->frames.room ? frames + kScriptMaxCallDepth : none;

    // Every handler ends in a jump of its own (threaded code), which the
    // branch predictor learns per handler; the file is built so that the
    // compiler does not merge them back into one.
    static const void* const kTargets[] = {
#define HANDLER_TARGET(byte, name, operands) &&op_##name,
        Z1_SCRIPT_OPCODES(HANDLER_TARGET)
#undef HANDLER_TARGET
            && op_undecoded,
        &&op_ran_off,
        &&op_bad_operand,
        &&op_bad_constant,
        &&op_bad_jump,
#define FUSED_BINARY_TARGET(name) \
    &&op_LL_##name, &&op_LC1_##name, &&op_LC2_##name, &&op_LLS_##name, &&op_LC1S_##name, &&op_LC2S_##name,
        Z1_SCRIPT_FUSED_BINARY(FUSED_BINARY_TARGET)
#undef FUSED_BINARY_TARGET
#define FUSED_COMPARE_TARGET(name) &&op_LL_##name, &&op_LC1_##name, &&op_LC2_##name,
                Z1_SCRIPT_FUSED_COMPARE(FUSED_COMPARE_TARGET)
#undef FUSED_COMPARE_TARGET
            && op_L_retv,
        &&op_add_retv,
        &&op_L_call,
#define FUSED_CALL_TARGET(name) &&op_LL_##name##_call, &&op_LC1_##name##_call, &&op_LC2_##name##_call,
        Z1_SCRIPT_FUSED_CALL(FUSED_CALL_TARGET)
#undef FUSED_CALL_TARGET
#define FUSED_GUARD_TARGET(name) &&op_LL_##name##_ret, &&op_LC1_##name##_ret, &&op_LC2_##name##_ret,
            Z1_SCRIPT_FUSED_COMPARE(FUSED_GUARD_TARGET)
#undef FUSED_GUARD_TARGET
    };
    static_assert(sizeof kTargets / sizeof kTargets[0] == kScriptHandlerCount, "one handler per number");
    // Near the end of the budget: test before every instruction, run none fused.
    static const void* const kChecked[] = {
#define HANDLER_CHECKED(byte, name, operands) &&checked,
        Z1_SCRIPT_OPCODES(HANDLER_CHECKED)
#undef HANDLER_CHECKED
            && op_undecoded,
        &&op_ran_off,
        &&checked,
        &&checked,
        &&op_bad_jump,
#define FUSED_BINARY_CHECKED(name) &&checked, &&checked, &&checked, &&checked, &&checked, &&checked,
        Z1_SCRIPT_FUSED_BINARY(FUSED_BINARY_CHECKED)
#undef FUSED_BINARY_CHECKED
#define FUSED_COMPARE_CHECKED(name) &&checked, &&checked, &&checked,
                Z1_SCRIPT_FUSED_COMPARE(FUSED_COMPARE_CHECKED)
#undef FUSED_COMPARE_CHECKED
            && checked,
        &&checked,
        &&checked,
#define FUSED_THREE_CHECKED(name) &&checked, &&checked, &&checked,
        Z1_SCRIPT_FUSED_CALL(FUSED_THREE_CHECKED) Z1_SCRIPT_FUSED_COMPARE(FUSED_THREE_CHECKED)
#undef FUSED_THREE_CHECKED
    };
    static_assert(sizeof kChecked / sizeof kChecked[0] == kScriptHandlerCount, "one entry per number");
    const void* const* table = kTargets;

// Every check sends the instance to the fault exit with its reason.
#define FAULT(why)       \
    do {                 \
        fault = (why);   \
        op_at = ip->at;  \
        resume = ip->at; \
        goto stop;       \
    } while (0)
// n values are needed on the stack (S[top - n + 1] .. S[top]).
#define NEED(n) \
    if (top < (n)-1) FAULT("stack underflow")
#define ROOM() \
    if (top >= kScriptStackSlots - 1) FAULT("stack overflow")
#define LOCAL(k, idx)          \
    intptr_t idx = base + (k); \
    if (OutsideStack(idx)) FAULT("local outside the stack")
#define TEXT(handle, var)                            \
    if (!texts_->Valid(handle)) FAULT("not a text"); \
    const char* var = texts_->Get(handle);
// The name or text of an engine call is handed over unread; only the calls
// that use it need it to be a text, the others take any word there.
#define ENGINE_TEXT(handle, call, var)                                                      \
    if (!texts_->Valid(handle) && EngineCallReadsText(ip->op, (call))) FAULT("not a text"); \
    const char* var = texts_->Get(handle);
#define DISPATCH() goto* table[ip->h]
// The length of every instruction is known in its handler.
#define NEXT_BY(n)  \
    do {            \
        ip += (n);  \
        DISPATCH(); \
    } while (0)
// Where control lands somewhere the budget has not been tested for.
#define CHECKPOINT() \
    if (count > limit) table = kChecked
#define JUMP(to)      \
    do {              \
        ip = (to);    \
        CHECKPOINT(); \
        DISPATCH();   \
    } while (0)
// The caller's state back from its frame. Each return has its own copy, so
// that each has its own dispatch jump.
#define RETURN_TO_CALLER()         \
    do {                           \
        --fp;                      \
        ip = fp->ret;              \
        base = fp->base;           \
        unit = fp->code;           \
        limit = budget - fp->size; \
        CHECKPOINT();              \
        DISPATCH();                \
    } while (0)
#define INT_OP(expr)                 \
    do {                             \
        ++count;                     \
        NEED(2);                     \
        int32_t a = S[top - 1].w[0]; \
        int32_t b = S[top].w[0];     \
        S[top - 1].w[0] = U(expr);   \
        --top;                       \
        NEXT_BY(1);                  \
    } while (0)
#define FLOAT_OP(expr)                          \
    do {                                        \
        ++count;                                \
        NEED(2);                                \
        float a = WordToFloat(S[top - 1].w[0]); \
        float b = WordToFloat(S[top].w[0]);     \
        S[top - 1].w[0] = FloatToWord(expr);    \
        --top;                                  \
        NEXT_BY(1);                             \
    } while (0)
#define COMPARE_JUMP(cond)           \
    do {                             \
        ++count;                     \
        NEED(2);                     \
        int32_t a = S[top - 1].w[0]; \
        int32_t b = S[top].w[0];     \
        top -= 2;                    \
        if (cond) JUMP(ip->target);  \
        NEXT_BY(2);                  \
    } while (0)
#define CASE(name) op_##name

    CHECKPOINT();
    DISPATCH();

checked:
    if (count >= budget) {
        ++count;
        op_at = resume = ip->at;
        fault = "instruction budget exhausted without waiting";
        goto stop;
    }
    goto* kTargets[ip->plain];

    {
        CASE(undecoded) : {
            // An instance resumed where no decoded run leads (never so far).
            ScriptDecodeFrom(unit->decoded, unit, code_,
                             unit->code_start + static_cast<uint32_t>(ip - unit->decoded->slots.data()));
            DISPATCH();
        }
        CASE(ran_off) : {
            // Running off the end of a program or function ends the instance.
            in->finished = 1;
            resume = ip->at;
            goto stop;
        }
        CASE(bad_operand) : {
            ++count;
            FAULT("operand past the end of the code");
        }
        CASE(bad_constant) : {
            ++count;
            FAULT("constant index out of range");
        }
        CASE(bad_jump) : FAULT(kScriptBadJumpMessages[ip->x]);

        CASE(mod255) : {
            ++count;
            NEED(1);
            S[top].w[0] = U(static_cast<int32_t>(S[top].w[0]) % 255);
            NEXT_BY(1);
        }
        CASE(mul) : INT_OP(Wrap(U(a) * U(b)));
        CASE(neg) : {
            ++count;
            NEED(1);
            S[top].w[0] = 0u - S[top].w[0];
            NEXT_BY(1);
        }
        CASE(mod) : {
            ++count;
            NEED(2);
            int32_t a = S[top - 1].w[0];
            int32_t b = S[top].w[0];
            if (b == 0) FAULT("remainder by zero");
            S[top - 1].w[0] = U(b == -1 ? 0 : a % b);
            --top;
            NEXT_BY(1);
        }
        CASE(sub) : INT_OP(Wrap(U(a) - U(b)));
        CASE(div) : {
            ++count;
            NEED(2);
            int32_t a = S[top - 1].w[0];
            int32_t b = S[top].w[0];
            if (b == 0) FAULT("division by zero");
            S[top - 1].w[0] = b == -1 ? 0u - U(a) : U(a / b);
            --top;
            NEXT_BY(1);
        }
        CASE(add) : INT_OP(Wrap(U(a) + U(b)));
        CASE(addl) : {
            ++count;
            LOCAL(ip->x, i);
            S[i].w[0] += ip->y;
            NEXT_BY(3);
        }
        CASE(jmp) : {
            ++count;
            JUMP(ip->target);
        }
        CASE(jz) : CASE(jnz) : CASE(jz_0e) : CASE(jnz_0f) : {
            ++count;
            NEED(1);
            bool zero = S[top].w[0] == 0;
            --top;
            if (zero == (ip->op == ScriptOp::jz || ip->op == ScriptOp::jz_0e)) JUMP(ip->target);
            NEXT_BY(2);
        }
        CASE(jteq) : CASE(jtne) : {
            ++count;
            NEED(2);
            TEXT(S[top - 1].w[0], ta);
            TEXT(S[top].w[0], tb);
            top -= 2;
            // The null text compares as the empty one.
            bool equal = std::strcmp(ta ? ta : "", tb ? tb : "") == 0;
            if (equal == (ip->op == ScriptOp::jteq)) JUMP(ip->target);
            NEXT_BY(2);
        }
        CASE(jeq) : COMPARE_JUMP(a == b);
        CASE(jgt) : COMPARE_JUMP(a > b);
        CASE(jlt) : COMPARE_JUMP(a < b);
        CASE(jle) : COMPARE_JUMP(a <= b);
        CASE(jge) : COMPARE_JUMP(a >= b);
        CASE(jne) : COMPARE_JUMP(a != b);
        CASE(retv) : CASE(retv_17) : CASE(retv_6d) : CASE(ret) : {
            ++count;
            if (fp == frames) {
                LogLine("Return without any prog callstack");
                in->finished = 1;
                resume = ip->at + ip->len;
                goto stop;
            }
            // The arguments began one above the frame base: a return leaves
            // the stack ending at the base, or its value just above it.
            if (ip->op == ScriptOp::ret) {
                if (base < -1 || base >= kScriptStackSlots) FAULT("return outside the stack");
                top = base;
            } else {
                NEED(1);
                intptr_t d = base + 1;
                if (OutsideStack(d)) FAULT("return outside the stack");
                S[d].w[0] = S[top].w[0];
                top = d;
            }
            RETURN_TO_CALLER();
        }
        CASE(pushl) : CASE(pushl_23) : CASE(pushl_2d) : CASE(pushlx) : CASE(pushly) : CASE(pushlz) : {
            ++count;
            LOCAL(ip->x, i);
            ROOM();
            uint32_t v = S[i].w[ip->y];
            S[++top].w[0] = v;
            NEXT_BY(2);
        }
        CASE(storel) : CASE(storel_28) : CASE(storel_32) : CASE(storel_63) : CASE(storely) : CASE(storelz) : {
            ++count;
            LOCAL(ip->x, i);
            NEED(1);
            S[i].w[ip->y] = S[top].w[0];
            --top;
            NEXT_BY(2);
        }
        CASE(dup) : {
            ++count;
            NEED(1);
            ROOM();
            S[top + 1] = S[top];
            ++top;
            NEXT_BY(1);
        }
        CASE(pop) : {
            ++count;
            NEED(1);
            --top;
            NEXT_BY(1);
        }
        CASE(swap) : {
            ++count;
            NEED(2);
            ScriptValue t = S[top];
            S[top] = S[top - 1];
            S[top - 1] = t;
            NEXT_BY(1);
        }
        // The pushes of a number: push0 .. push5, pushnull and the constants
        // (their value was read from the table when the code was decoded).
        CASE(push0) : CASE(push1) : CASE(push2) : CASE(push3) : CASE(push4) : CASE(push5) : CASE(pushnull) : {
            ++count;
            ROOM();
            S[++top].w[0] = U(ip->x);
            NEXT_BY(1);
        }
        CASE(pushc) : CASE(pushc_41) : CASE(pushc_42) : {
            ++count;
            ROOM();
            S[++top].w[0] = U(ip->x);
            NEXT_BY(2);
        }
        CASE(pushcv) : {
            ++count;
            ROOM();
            S[++top] = unit->constants[ip->y];
            NEXT_BY(2);
        }
        CASE(call) : {
            ++count;
            if (ip->serial != serial_) {
                TEXT(unit->constants[ip->y].w[0], name);
                ScriptFunction* found = name ? FindFunction(name) : nullptr;
                if (!found) {
                    count += kScriptHeavyInstruction - 1;
                    LogLine("ERROR - function %s was not found in VM", name ? name : "(null)");
                    ip += ip->len;
                    CHECKPOINT();
                    DISPATCH();
                }
                // Functions are only added by a load, which makes a new machine.
                // What the call needs of the function is kept in its slot.
                ScriptDecode(found, code_);
                ip->fn = found;
                ip->serial = serial_;
                ip->cl = found->param_count;
                ip->cw = found->frame_size;
                ip->b = static_cast<int32_t>(found->code_end - found->code_start);
            }
            const ScriptFunction* f = ip->fn;
            if (fp == full) {
                if (in->frames.room) FAULT("call depth exceeded");
                in->frames.room.reset(new ScriptFrame[kScriptMaxCallDepth]);
                fp = frames = in->frames.room.get();
                full = frames + kScriptMaxCallDepth;
            }
            intptr_t new_base = top - ip->cl;
            intptr_t new_top = new_base + ip->cw;
            if (new_top < -1 || new_top >= kScriptStackSlots) FAULT("call frame outside the stack");
            fp->ret = ip + 2;
            fp->code = unit;
            fp->base = static_cast<int32_t>(base);
            fp->size = unit->code_end - unit->code_start;
            ++fp;
            limit = budget - ip->b;
            base = new_base;
            top = new_top;
            unit = f;
            JUMP(f->entry);
        }
        // clang-format off
        CASE(ecall_45) : CASE(ecall_47) : CASE(ecall_49) : CASE(ecall_4a) : CASE(ecall_4b) : CASE(ecall_4d) :
        CASE(ecall_4f) : CASE(ecall_50) : CASE(ecall_53) : CASE(ecall_54) : CASE(ecall_55) : {
            // clang-format on
            ++count;
            NEED(3);
            top -= 3;
            NEXT_BY(1);
        }
        CASE(world) : CASE(game) : {
            ++count;
            NEED(3);
            int32_t call = S[top - 1].w[0];
            ENGINE_TEXT(S[top - 2].w[0], call, text);
            int32_t value = S[top].w[0];
            top -= 3;
            count += kScriptHeavyInstruction - 1;
            // Sync the registers: the call may start or wake other instances.
            in->pc = ip->at + ip->len;
            in->top = static_cast<int32_t>(top);
            if (ip->op == ScriptOp::world)
                g_imports->WorldCall(call, text ? text : "", value);
            else
                g_imports->GameCall(call, text ? text : "", value);
            ip += ip->len;
            CHECKPOINT();
            DISPATCH();
        }
        CASE(worldvec) : CASE(gamevec) : {
            ++count;
            NEED(3);
            int32_t call = S[top - 1].w[0];
            ENGINE_TEXT(S[top - 2].w[0], call, text);
            VECTOR v{WordToFloat(S[top].w[0]), WordToFloat(S[top].w[1]), WordToFloat(S[top].w[2])};
            top -= 3;
            count += kScriptHeavyInstruction - 1;
            in->pc = ip->at + ip->len;
            in->top = static_cast<int32_t>(top);
            if (ip->op == ScriptOp::worldvec) {
                LogLine("calling setVector on z1 object..");
                g_imports->WorldVectorCall(call, text ? text : "", v);
            } else {
                g_imports->GameVectorCall(call, text ? text : "", v);
            }
            ip += ip->len;
            CHECKPOINT();
            DISPATCH();
        }
        CASE(sleep) : {
            ++count;
            NEED(1);
            uint32_t n = S[top].w[0];
            --top;
            in->waiting = 1;
            in->wake_time = ClockMilliseconds() + n;
            // 0 means "until started by name"; a sleep must never become that.
            if (in->wake_time == 0) in->wake_time = 1;
            resume = ip->at + ip->len;
            goto stop;
        }
        CASE(wait) : {
            ++count;
            in->waiting = 1;
            in->wake_time = 0;
            resume = ip->at + ip->len;
            goto stop;
        }
        CASE(rand) : {
            ++count;
            NEED(1);
            int32_t bound = S[top].w[0];
            if (bound == 0) FAULT("random bound of zero");
            S[top].w[0] = U(Z1Rand() % bound);
            NEXT_BY(1);
        }
        CASE(randrange) : {
            ++count;
            NEED(2);
            int32_t a = S[top - 1].w[0];
            int32_t span = Wrap(U(static_cast<int32_t>(S[top].w[0])) - U(a));
            if (span == 0) FAULT("random range of zero");
            S[top - 1].w[0] = U(a) + U(Z1Rand() % span);
            --top;
            NEXT_BY(1);
        }
        CASE(fadd) : FLOAT_OP(a + b);
        CASE(concat) : {
            ++count;
            NEED(2);
            TEXT(S[top - 1].w[0], ta);
            TEXT(S[top].w[0], tb);
            uint32_t result = 0;
            if (ta || tb) {
                size_t la = texts_->Length(S[top - 1].w[0]);
                size_t lb = texts_->Length(S[top].w[0]);
                if (la + lb > ScriptTexts::kMaxTextLength) FAULT("text too long");
                joined_.assign(ta ? ta : "", la).append(tb ? tb : "", lb);
                result = texts_->Add(joined_.data(), joined_.size());
                if (!result) FAULT("out of text space");
            }
            S[top - 1].w[0] = result;
            --top;
            NEXT_BY(1);
        }
        CASE(itof) : {
            ++count;
            NEED(1);
            S[top].w[0] = FloatToWord(static_cast<float>(static_cast<int32_t>(S[top].w[0])));
            NEXT_BY(1);
        }
        CASE(itos) : CASE(ftos) : {
            ++count;
            NEED(1);
            int n = ip->op == ScriptOp::itos ? IntToText(static_cast<int32_t>(S[top].w[0]), buffer)
                                             : std::snprintf(buffer, sizeof buffer, "%f",
                                                             static_cast<double>(WordToFloat(S[top].w[0])));
            if (n < 0) n = 0;
            if (n > 254) n = 254;
            uint32_t h = texts_->Add(buffer, static_cast<size_t>(n));
            if (!h) FAULT("out of text space");
            S[top].w[0] = h;
            NEXT_BY(1);
        }
        CASE(ftoi) : {
            ++count;
            NEED(1);
            S[top].w[0] = U(FloatToInt(WordToFloat(S[top].w[0])));
            NEXT_BY(1);
        }
        CASE(stoi) : {
            ++count;
            NEED(1);
            TEXT(S[top].w[0], t);
            S[top].w[0] = U(TextToInt(t));
            NEXT_BY(1);
        }
        CASE(stof) : {
            ++count;
            NEED(1);
            TEXT(S[top].w[0], t);
            S[top].w[0] = FloatToWord(t ? std::strtof(t, nullptr) : 0.0f);
            NEXT_BY(1);
        }
        CASE(storelv) : {
            ++count;
            LOCAL(ip->x, i);
            NEED(1);
            S[i] = S[top];
            --top;
            NEXT_BY(2);
        }
        CASE(pushlv) : {
            ++count;
            LOCAL(ip->x, i);
            ROOM();
            ScriptValue v = S[i];
            S[++top] = v;
            NEXT_BY(2);
        }
        CASE(vec) : {
            ++count;
            NEED(3);
            ScriptValue v = {{S[top - 2].w[0], S[top - 1].w[0], S[top].w[0]}};
            top -= 2;
            S[top] = v;
            NEXT_BY(1);
        }
        CASE(fmul) : FLOAT_OP(a * b);
        CASE(fsub) : FLOAT_OP(a - b);
        CASE(fdiv) : FLOAT_OP(a / b);
        CASE(pusharg) : {
            ++count;
            ROOM();
            S[++top].w[0] = in->start_argument;
            NEXT_BY(1);
        }
        CASE(fneg) : {
            ++count;
            NEED(1);
            S[top].w[0] ^= 0x80000000u;
            NEXT_BY(1);
        }
        // The bytes the list leaves out come here too.
        CASE(nop) : {
            ++count;
            NEXT_BY(1);
        }

// Fused sequences. Each tests up front every guard its instructions would
// meet; when one would fail it runs its first instruction alone instead,
// which then meets the fault at the same place with the same count. The
// pushes write the slots they would have written, since frames read stale
// slots above the top as their uninitialised locals.
#define FUSED_LOCALS_LL                                                                                  \
    intptr_t ia = base + ip->x, ib = base + ip->b;                                                       \
    if (OutsideStack(ia) || OutsideStack(ib) || top >= kScriptStackSlots - 2) goto* kTargets[ip->plain]; \
    uint32_t va = S[ia].w[ip->y];                                                                        \
    S[top + 1].w[0] = va;                                                                                \
    uint32_t vb = S[ib].w[ip->bw];                                                                       \
    S[top + 2].w[0] = vb;
#define FUSED_LOCALS_LC                                                              \
    intptr_t ia = base + ip->x;                                                      \
    if (OutsideStack(ia) || top >= kScriptStackSlots - 2) goto* kTargets[ip->plain]; \
    uint32_t va = S[ia].w[ip->y];                                                    \
    S[top + 1].w[0] = va;                                                            \
    uint32_t vb = U(ip->b);                                                          \
    S[top + 2].w[0] = vb;
#define FUSED_STORE_CHECK        \
    intptr_t ic = base + ip->cl; \
    if (OutsideStack(ic)) goto* kTargets[ip->plain];
#define INT_VALUE(expr)   U(expr)
#define FLOAT_VALUE(expr) FloatToWord(expr)
#define FUSED_BINARY_CASE(label, locals, skip, value, expr, T, conv) \
    CASE(label) : {                                                  \
        locals;                                                      \
        T a = conv(va), b = conv(vb);                                \
        S[++top].w[0] = value(expr);                                 \
        count += 3;                                                  \
        NEXT_BY(skip);                                               \
    }
#define FUSED_STORE_CASE(label, locals, skip, value, expr, T, conv) \
    CASE(label) : {                                                 \
        FUSED_STORE_CHECK;                                          \
        locals;                                                     \
        T a = conv(va), b = conv(vb);                               \
        uint32_t r = value(expr);                                   \
        S[top + 1].w[0] = r;                                        \
        S[ic].w[ip->cw] = r;                                        \
        count += 4;                                                 \
        NEXT_BY(skip);                                              \
    }
#define FUSED_BINARY_BODY(name, value, expr, T, conv)                       \
    FUSED_BINARY_CASE(LL_##name, FUSED_LOCALS_LL, 5, value, expr, T, conv)  \
    FUSED_BINARY_CASE(LC1_##name, FUSED_LOCALS_LC, 4, value, expr, T, conv) \
    FUSED_BINARY_CASE(LC2_##name, FUSED_LOCALS_LC, 5, value, expr, T, conv) \
    FUSED_STORE_CASE(LLS_##name, FUSED_LOCALS_LL, 7, value, expr, T, conv)  \
    FUSED_STORE_CASE(LC1S_##name, FUSED_LOCALS_LC, 6, value, expr, T, conv) \
    FUSED_STORE_CASE(LC2S_##name, FUSED_LOCALS_LC, 7, value, expr, T, conv)
#define AS_INT(w) static_cast<int32_t>(w)
        FUSED_BINARY_BODY(add, INT_VALUE, Wrap(U(a) + U(b)), int32_t, AS_INT)
        FUSED_BINARY_BODY(sub, INT_VALUE, Wrap(U(a) - U(b)), int32_t, AS_INT)
        FUSED_BINARY_BODY(mul, INT_VALUE, Wrap(U(a) * U(b)), int32_t, AS_INT)
        FUSED_BINARY_BODY(fadd, FLOAT_VALUE, a + b, float, WordToFloat)
        FUSED_BINARY_BODY(fsub, FLOAT_VALUE, a - b, float, WordToFloat)
        FUSED_BINARY_BODY(fmul, FLOAT_VALUE, a * b, float, WordToFloat)
#define FUSED_COMPARE_CASE(label, locals, skip, cond) \
    CASE(label) : {                                   \
        locals;                                       \
        int32_t a = AS_INT(va), b = AS_INT(vb);       \
        count += 3;                                   \
        ip = (cond) ? ip->target : ip + (skip);       \
        CHECKPOINT();                                 \
        DISPATCH();                                   \
    }
#define FUSED_COMPARE_BODY(name, cond)                       \
    FUSED_COMPARE_CASE(LL_##name, FUSED_LOCALS_LL, 6, cond)  \
    FUSED_COMPARE_CASE(LC1_##name, FUSED_LOCALS_LC, 5, cond) \
    FUSED_COMPARE_CASE(LC2_##name, FUSED_LOCALS_LC, 6, cond)
// The conditions of the fused compare-and-jumps, for both of their forms.
#define FUSED_CONDITIONS(X) \
    X(jeq, a == b) X(jgt, a > b) X(jlt, a < b) X(jle, a <= b) X(jge, a >= b) X(jne, a != b)
        FUSED_CONDITIONS(FUSED_COMPARE_BODY)
// The compare, then where it does not jump the fused local return's own
// handler (which meets its guards at its own offset).
#define FUSED_GUARD_CASE(label, locals, skip, cond) \
    CASE(label) : {                                 \
        locals;                                     \
        int32_t a = AS_INT(va), b = AS_INT(vb);     \
        count += 3;                                 \
        if (cond) JUMP(ip->target);                 \
        ip += (skip);                               \
        goto op_L_retv;                             \
    }
#define FUSED_GUARD_BODY(name, cond)                             \
    FUSED_GUARD_CASE(LL_##name##_ret, FUSED_LOCALS_LL, 6, cond)  \
    FUSED_GUARD_CASE(LC1_##name##_ret, FUSED_LOCALS_LC, 5, cond) \
    FUSED_GUARD_CASE(LC2_##name##_ret, FUSED_LOCALS_LC, 6, cond)
        FUSED_CONDITIONS(FUSED_GUARD_BODY)
        CASE(L_retv) : {
            // pushl, then a return with that value.
            intptr_t ia = base + ip->x;
            intptr_t d = base + 1;
            if (OutsideStack(ia) || top >= kScriptStackSlots - 1 || fp == frames || OutsideStack(d))
                goto* kTargets[ip->plain];
            uint32_t v = S[ia].w[ip->y];
            S[top + 1].w[0] = v;
            S[d].w[0] = v;
            top = d;
            count += 2;
            RETURN_TO_CALLER();
        }
        CASE(add_retv) : {
            // add, then a return with the sum.
            intptr_t d = base + 1;
            if (top < 1 || fp == frames || OutsideStack(d)) goto* kTargets[ip->plain];
            uint32_t v = S[top - 1].w[0] + S[top].w[0];
            S[top - 1].w[0] = v;
            S[d].w[0] = v;
            top = d;
            count += 2;
            RETURN_TO_CALLER();
        }
        // The pushes of an argument, then the call's own handler (which meets
        // its guards with the count and the offset of the call).
        CASE(L_call) : {
            intptr_t ia = base + ip->x;
            if (OutsideStack(ia) || top >= kScriptStackSlots - 1) goto* kTargets[ip->plain];
            uint32_t v = S[ia].w[ip->y];
            S[++top].w[0] = v;
            ++count;
            ip += 2;
            goto op_call;
        }
#define FUSED_CALL_CASE(label, locals, skip, expr) \
    CASE(label) : {                                \
        locals;                                    \
        int32_t a = AS_INT(va), b = AS_INT(vb);    \
        S[++top].w[0] = U(expr);                   \
        count += 3;                                \
        ip += (skip);                              \
        goto op_call;                              \
    }
#define FUSED_CALL_BODY(name, expr)                              \
    FUSED_CALL_CASE(LL_##name##_call, FUSED_LOCALS_LL, 5, expr)  \
    FUSED_CALL_CASE(LC1_##name##_call, FUSED_LOCALS_LC, 4, expr) \
    FUSED_CALL_CASE(LC2_##name##_call, FUSED_LOCALS_LC, 5, expr)
        FUSED_CALL_BODY(add, Wrap(U(a) + U(b)))
        FUSED_CALL_BODY(sub, Wrap(U(a) - U(b)))
    }

stop:
    executed_ += count;
    in->pc = resume;
    in->start = unit->code_start;
    in->end = unit->code_end;
    in->frames.depth = static_cast<int32_t>(fp - frames);
    in->base = static_cast<int32_t>(base);
    in->top = static_cast<int32_t>(top);
    in->code = unit;
    if (fault) {
        int line = lines_ ? lines_->LineAt(op_at) : 0;
        if (line > 0)
            LogLine("ERROR - program %s stopped at code offset %u: %s (%s:%d)", in->program->name.c_str(),
                    op_at, fault, lines_->Source().c_str(), line);
        else
            LogLine("ERROR - program %s stopped at code offset %u: %s", in->program->name.c_str(), op_at,
                    fault);
        in->finished = 1;
    }
#undef FAULT
#undef NEED
#undef ROOM
#undef LOCAL
#undef TEXT
#undef ENGINE_TEXT
#undef DISPATCH
#undef NEXT_BY
#undef CHECKPOINT
#undef JUMP
#undef RETURN_TO_CALLER
#undef INT_OP
#undef FLOAT_OP
#undef COMPARE_JUMP
#undef CASE
#undef FUSED_LOCALS_LL
#undef FUSED_LOCALS_LC
#undef FUSED_STORE_CHECK
#undef INT_VALUE
#undef FLOAT_VALUE
#undef FUSED_BINARY_BODY
#undef FUSED_BINARY_CASE
#undef FUSED_STORE_CASE
#undef FUSED_COMPARE_CASE
#undef FUSED_COMPARE_BODY
#undef FUSED_GUARD_CASE
#undef FUSED_GUARD_BODY
#undef FUSED_CONDITIONS
#undef AS_INT
#undef FUSED_CALL_CASE
#undef FUSED_CALL_BODY
}
