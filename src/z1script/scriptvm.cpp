// The script machine's objects and its interpreter.
//
// Index of this file:
// [SECTION] Code units, templates, instances and the machine
// [SECTION] Value helpers
// [SECTION] Dispatch table
// [SECTION] Interpreter: checks, fetch and dispatch, handlers, exits
#include "z1script/scriptvm.h"

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

// ---------------------------------------------------------------------------
// [SECTION] Code units, templates, instances and the machine
ScriptCode::ScriptCode() {
    std::memset(constants, 0, sizeof constants);
    std::memset(constant_types, 0, sizeof constant_types);
    std::memset(labels, 0, sizeof labels);
}

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
    : code_(code), functions_(functions), texts_(texts) {}

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

// Float to integer truncating toward zero; out-of-range values saturate and
// NaN gives 0 rather than an undefined conversion.
int32_t FloatToInt(float f) {
    if (std::isnan(f)) return 0;
    if (f >= 2147483648.0f) return INT32_MAX;
    if (f <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(f);
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

// ---------------------------------------------------------------------------
// [SECTION] Dispatch table
// One dense handler number per listed opcode, so that the dispatch is one
// jump table; unlisted bytes go to nop, number 0. Opcodes that share a body
// stack their labels on it.
enum Handler : uint8_t {
#define HANDLER_NUMBER(byte, name, operands) H_##name,
    Z1_SCRIPT_OPCODES(HANDLER_NUMBER)
#undef HANDLER_NUMBER
};
#define HANDLER_ONE(byte, name, operands) +1
constexpr int kHandlerCount = 0 Z1_SCRIPT_OPCODES(HANDLER_ONE);
#undef HANDLER_ONE
static_assert(H_nop == 0, "unlisted bytes share the handler of 0x00");

struct HandlerTable {
    uint8_t of[256] = {};
    constexpr HandlerTable() {
#define HANDLER_OF(byte, name, operands) of[byte] = H_##name;
        Z1_SCRIPT_OPCODES(HANDLER_OF)
#undef HANDLER_OF
    }
};
constexpr HandlerTable kHandler;

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Interpreter: checks, fetch and dispatch, handlers, exits
void ScriptVM::Run(ScriptInstance* in) {
    const uint8_t* const code = code_;
    ScriptValue* const S = in->stack;
    uint32_t pc = in->pc;
    uint32_t start = in->start;
    uint32_t end = in->end;
    int32_t base = in->base;
    int32_t top = in->top;
    const ScriptCode* unit = in->code;
    uint32_t op_at = pc;
    uint64_t count = 0;
    const uint64_t budget = budget_;
    const char* fault = nullptr;
    char buffer[256];

// Every check sends the instance to the fault exit with its reason.
#define FAULT(why)     \
    do {               \
        fault = (why); \
        goto stop;     \
    } while (0)
// n values are needed on the stack (S[top - n + 1] .. S[top]).
#define NEED(n) \
    if (top < (n)-1) FAULT("stack underflow")
#define ROOM() \
    if (top >= kScriptStackSlots - 1) FAULT("stack overflow")
#define OPERAND(n) \
    if (pc + (n) > end) FAULT("operand past the end of the code")
#define LOCAL(k, idx)         \
    int32_t idx = base + (k); \
    if (idx < 0 || idx >= kScriptStackSlots) FAULT("local outside the stack")
#define CONSTANT(k) \
    if ((k) >= unit->constant_count) FAULT("constant index out of range")
#define TEXT(handle, var)                            \
    if (!texts_->Valid(handle)) FAULT("not a text"); \
    const char* var = texts_->Get(handle);
// The name or text of an engine call is handed over unread; only the calls
// that use it need it to be a text, the others take any word there.
#define ENGINE_TEXT(handle, call, var)                                                  \
    if (!texts_->Valid(handle) && EngineCallReadsText(op, (call))) FAULT("not a text"); \
    const char* var = texts_->Get(handle);
#define JUMP_TO(L)                                                          \
    do {                                                                    \
        if ((L) >= unit->label_count) FAULT("label index out of range");    \
        uint32_t target = unit->labels[(L)];                                \
        if (target < start || target > end) FAULT("jump outside the code"); \
        pc = target;                                                        \
    } while (0)
#define INT_OP(expr)                 \
    do {                             \
        NEED(2);                     \
        int32_t a = S[top - 1].w[0]; \
        int32_t b = S[top].w[0];     \
        S[top - 1].w[0] = U(expr);   \
        --top;                       \
    } while (0)
#define FLOAT_OP(expr)                          \
    do {                                        \
        NEED(2);                                \
        float a = WordToFloat(S[top - 1].w[0]); \
        float b = WordToFloat(S[top].w[0]);     \
        S[top - 1].w[0] = FloatToWord(expr);    \
        --top;                                  \
    } while (0)
#define COMPARE_JUMP(cond)           \
    do {                             \
        OPERAND(1);                  \
        uint8_t L = code[pc++];      \
        NEED(2);                     \
        int32_t a = S[top - 1].w[0]; \
        int32_t b = S[top].w[0];     \
        top -= 2;                    \
        if (cond) JUMP_TO(L);        \
    } while (0)

    // Only sleep, wait and the returns can stop an instance, and they leave
    // the loop themselves, so the flags are not re-read every instruction.
    if (in->waiting || in->finished) return;
    uint8_t op;

// Fetch and decode. With GCC and Clang every handler ends in its own
// indirect jump (threaded code), which the branch predictor learns per
// handler; elsewhere one switch does the same work.
#define FETCH()                             \
    if (pc >= end) goto ran_off;            \
    if (++count > budget) goto over_budget; \
    op_at = pc;                             \
    op = code[pc++];
#if defined(__GNUC__) && !defined(Z1_SCRIPT_NO_THREADING)
    static const void* const kTargets[] = {
#define HANDLER_TARGET(byte, name, operands) &&op_##name,
        Z1_SCRIPT_OPCODES(HANDLER_TARGET)
#undef HANDLER_TARGET
    };
    static_assert(sizeof kTargets / sizeof kTargets[0] == kHandlerCount, "one handler per opcode");
#define CASE(name) \
    case H_##name: \
        op_##name
#define NEXT                             \
    do {                                 \
        FETCH();                         \
        goto* kTargets[kHandler.of[op]]; \
    } while (0)
    NEXT;
    switch (0) {  // never taken: it only holds the handlers
#else
#define CASE(name) case H_##name
#define NEXT       continue
    for (;;) {
        FETCH();
        switch (static_cast<Handler>(kHandler.of[op])) {
#endif
        CASE(mod255) : {
            NEED(1);
            S[top].w[0] = U(static_cast<int32_t>(S[top].w[0]) % 255);
            NEXT;
        }
        CASE(mul) : INT_OP(Wrap(U(a) * U(b)));
        NEXT;
        CASE(neg) : {
            NEED(1);
            S[top].w[0] = 0u - S[top].w[0];
            NEXT;
        }
        CASE(mod) : {
            NEED(2);
            int32_t a = S[top - 1].w[0];
            int32_t b = S[top].w[0];
            if (b == 0) FAULT("remainder by zero");
            S[top - 1].w[0] = U(b == -1 ? 0 : a % b);
            --top;
            NEXT;
        }
        CASE(sub) : INT_OP(Wrap(U(a) - U(b)));
        NEXT;
        CASE(div) : {
            NEED(2);
            int32_t a = S[top - 1].w[0];
            int32_t b = S[top].w[0];
            if (b == 0) FAULT("division by zero");
            S[top - 1].w[0] = b == -1 ? 0u - U(a) : U(a / b);
            --top;
            NEXT;
        }
        CASE(add) : INT_OP(Wrap(U(a) + U(b)));
        NEXT;
        CASE(addl) : {
            OPERAND(2);
            uint8_t k = code[pc];
            uint8_t n = code[pc + 1];
            pc += 2;
            LOCAL(k, i);
            S[i].w[0] += n;
            NEXT;
        }
        CASE(jmp) : {
            OPERAND(1);
            uint8_t L = code[pc++];
            JUMP_TO(L);
            NEXT;
        }
        CASE(jz) : CASE(jnz) : CASE(jz_0e) : CASE(jnz_0f) : {
            OPERAND(1);
            uint8_t L = code[pc++];
            NEED(1);
            bool zero = S[top].w[0] == 0;
            --top;
            if (zero == (op == ScriptOp::jz || op == ScriptOp::jz_0e)) JUMP_TO(L);
            NEXT;
        }
        CASE(jteq) : CASE(jtne) : {
            OPERAND(1);
            uint8_t L = code[pc++];
            NEED(2);
            TEXT(S[top - 1].w[0], ta);
            TEXT(S[top].w[0], tb);
            top -= 2;
            // The null text compares as the empty one.
            bool equal = std::strcmp(ta ? ta : "", tb ? tb : "") == 0;
            if (equal == (op == ScriptOp::jteq)) JUMP_TO(L);
            NEXT;
        }
        CASE(jeq) : COMPARE_JUMP(a == b);
        NEXT;
        CASE(jgt) : COMPARE_JUMP(a > b);
        NEXT;
        CASE(jlt) : COMPARE_JUMP(a < b);
        NEXT;
        CASE(jle) : COMPARE_JUMP(a <= b);
        NEXT;
        CASE(jge) : COMPARE_JUMP(a >= b);
        NEXT;
        CASE(jne) : COMPARE_JUMP(a != b);
        NEXT;
        CASE(retv) : CASE(retv_17) : CASE(retv_6d) : CASE(ret) : {
            if (in->frames.empty()) {
                LogLine("Return without any prog callstack");
                in->finished = 1;
                goto stop;
            }
            const ScriptFrame& f = in->frames.back();
            if (op == ScriptOp::ret) {
                int32_t t = f.top - f.param_count;
                if (t < -1 || t >= kScriptStackSlots) FAULT("return outside the stack");
                top = t;
            } else {
                NEED(1);
                int32_t d = f.top - f.param_count + 1;
                if (d < 0 || d >= kScriptStackSlots) FAULT("return outside the stack");
                S[d].w[0] = S[top].w[0];
                top = d;
            }
            base = f.base;
            pc = f.return_pc;
            start = f.start;
            end = f.end;
            unit = f.code;
            in->frames.pop_back();
            NEXT;
        }
        CASE(pushl) : CASE(pushl_23) : CASE(pushl_2d) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            LOCAL(k, i);
            ROOM();
            uint32_t v = S[i].w[0];
            S[++top].w[0] = v;
            NEXT;
        }
        CASE(storel) : CASE(storel_28) : CASE(storel_32) : CASE(storel_63) : CASE(storely) : CASE(storelz) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            LOCAL(k, i);
            NEED(1);
            int word = op == ScriptOp::storely ? 1 : op == ScriptOp::storelz ? 2 : 0;
            S[i].w[word] = S[top].w[0];
            --top;
            NEXT;
        }
        CASE(dup) : {
            NEED(1);
            ROOM();
            S[top + 1] = S[top];
            ++top;
            NEXT;
        }
        CASE(pop) : {
            NEED(1);
            --top;
            NEXT;
        }
        CASE(swap) : {
            NEED(2);
            ScriptValue t = S[top];
            S[top] = S[top - 1];
            S[top - 1] = t;
            NEXT;
        }
        CASE(push0) : CASE(push1) : CASE(push2) : CASE(push3) : CASE(push4) : CASE(push5) : {
            ROOM();
            S[++top].w[0] = op - ScriptOp::push0;
            NEXT;
        }
        CASE(pushc) : CASE(pushc_41) : CASE(pushc_42) : CASE(pushcv) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            CONSTANT(k);
            ROOM();
            ++top;
            if (op == ScriptOp::pushcv)
                S[top] = unit->constants[k];
            else
                S[top].w[0] = unit->constants[k].w[0];
            NEXT;
        }
        CASE(pushnull) : {
            ROOM();
            S[++top].w[0] = 0;
            NEXT;
        }
        CASE(call) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            CONSTANT(k);
            TEXT(unit->constants[k].w[0], name);
            ScriptFunction* f = name ? FindFunction(name) : nullptr;
            if (!f) {
                count += kScriptHeavyInstruction - 1;
                LogLine("ERROR - function %s was not found in VM", name ? name : "(null)");
                NEXT;
            }
            if (in->frames.size() >= static_cast<size_t>(kScriptMaxCallDepth)) FAULT("call depth exceeded");
            int32_t new_base = top - f->param_count;
            int32_t new_top = new_base + f->frame_size;
            if (new_top < -1 || new_top >= kScriptStackSlots) FAULT("call frame outside the stack");
            in->frames.push_back(ScriptFrame{pc, base, top, start, end, f->param_count, unit});
            pc = f->code_start;
            start = f->code_start;
            end = f->code_end;
            base = new_base;
            top = new_top;
            unit = f;
            NEXT;
        }
        // clang-format off
        CASE(ecall_45) : CASE(ecall_47) : CASE(ecall_49) : CASE(ecall_4a) : CASE(ecall_4b) : CASE(ecall_4d) :
        CASE(ecall_4f) : CASE(ecall_50) : CASE(ecall_53) : CASE(ecall_54) : CASE(ecall_55) : {
            // clang-format on
            NEED(3);
            top -= 3;
            NEXT;
        }
        CASE(world) : CASE(game) : {
            NEED(3);
            int32_t call = S[top - 1].w[0];
            ENGINE_TEXT(S[top - 2].w[0], call, text);
            int32_t value = S[top].w[0];
            top -= 3;
            count += kScriptHeavyInstruction - 1;
            // Sync the registers: the call may start or wake other instances.
            in->pc = pc;
            in->top = top;
            if (op == ScriptOp::world)
                g_imports->WorldCall(call, text ? text : "", value);
            else
                g_imports->GameCall(call, text ? text : "", value);
            NEXT;
        }
        CASE(worldvec) : CASE(gamevec) : {
            NEED(3);
            int32_t call = S[top - 1].w[0];
            ENGINE_TEXT(S[top - 2].w[0], call, text);
            VECTOR v{WordToFloat(S[top].w[0]), WordToFloat(S[top].w[1]), WordToFloat(S[top].w[2])};
            top -= 3;
            count += kScriptHeavyInstruction - 1;
            in->pc = pc;
            in->top = top;
            if (op == ScriptOp::worldvec) {
                LogLine("calling setVector on z1 object..");
                g_imports->WorldVectorCall(call, text ? text : "", v);
            } else {
                g_imports->GameVectorCall(call, text ? text : "", v);
            }
            NEXT;
        }
        CASE(sleep) : {
            NEED(1);
            uint32_t n = S[top].w[0];
            --top;
            in->waiting = 1;
            in->wake_time = ClockMilliseconds() + n;
            // 0 means "until started by name"; a sleep must never become that.
            if (in->wake_time == 0) in->wake_time = 1;
            goto stop;
        }
        CASE(wait) : {
            in->waiting = 1;
            in->wake_time = 0;
            goto stop;
        }
        CASE(rand) : {
            NEED(1);
            int32_t bound = S[top].w[0];
            if (bound == 0) FAULT("random bound of zero");
            S[top].w[0] = U(Z1Rand() % bound);
            NEXT;
        }
        CASE(randrange) : {
            NEED(2);
            int32_t a = S[top - 1].w[0];
            int32_t span = Wrap(U(static_cast<int32_t>(S[top].w[0])) - U(a));
            if (span == 0) FAULT("random range of zero");
            S[top - 1].w[0] = U(a) + U(Z1Rand() % span);
            --top;
            NEXT;
        }
        CASE(fadd) : FLOAT_OP(a + b);
        NEXT;
        CASE(concat) : {
            NEED(2);
            TEXT(S[top - 1].w[0], ta);
            TEXT(S[top].w[0], tb);
            uint32_t result = 0;
            if (ta || tb) {
                size_t la = ta ? std::strlen(ta) : 0;
                size_t lb = tb ? std::strlen(tb) : 0;
                if (la + lb > ScriptTexts::kMaxTextLength) FAULT("text too long");
                std::string joined;
                joined.reserve(la + lb);
                joined.append(ta ? ta : "", la).append(tb ? tb : "", lb);
                result = texts_->Add(joined.data(), joined.size());
                if (!result) FAULT("out of text space");
            }
            S[top - 1].w[0] = result;
            --top;
            NEXT;
        }
        CASE(itof) : {
            NEED(1);
            S[top].w[0] = FloatToWord(static_cast<float>(static_cast<int32_t>(S[top].w[0])));
            NEXT;
        }
        CASE(itos) : CASE(ftos) : {
            NEED(1);
            int n = op == ScriptOp::itos
                        ? std::snprintf(buffer, sizeof buffer, "%i", static_cast<int32_t>(S[top].w[0]))
                        : std::snprintf(buffer, sizeof buffer, "%f",
                                        static_cast<double>(WordToFloat(S[top].w[0])));
            if (n < 0) n = 0;
            if (n > 254) n = 254;
            uint32_t h = texts_->Add(buffer, static_cast<size_t>(n));
            if (!h) FAULT("out of text space");
            S[top].w[0] = h;
            NEXT;
        }
        CASE(ftoi) : {
            NEED(1);
            S[top].w[0] = U(FloatToInt(WordToFloat(S[top].w[0])));
            NEXT;
        }
        CASE(stoi) : {
            NEED(1);
            TEXT(S[top].w[0], t);
            S[top].w[0] = U(TextToInt(t));
            NEXT;
        }
        CASE(stof) : {
            NEED(1);
            TEXT(S[top].w[0], t);
            S[top].w[0] = FloatToWord(t ? std::strtof(t, nullptr) : 0.0f);
            NEXT;
        }
        CASE(storelv) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            LOCAL(k, i);
            NEED(1);
            S[i] = S[top];
            --top;
            NEXT;
        }
        CASE(pushlv) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            LOCAL(k, i);
            ROOM();
            ScriptValue v = S[i];
            S[++top] = v;
            NEXT;
        }
        CASE(pushlx) : CASE(pushly) : CASE(pushlz) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            LOCAL(k, i);
            ROOM();
            uint32_t v = S[i].w[op - ScriptOp::pushlx];
            S[++top].w[0] = v;
            NEXT;
        }
        CASE(vec) : {
            NEED(3);
            ScriptValue v = {{S[top - 2].w[0], S[top - 1].w[0], S[top].w[0]}};
            top -= 2;
            S[top] = v;
            NEXT;
        }
        CASE(fmul) : FLOAT_OP(a * b);
        NEXT;
        CASE(fsub) : FLOAT_OP(a - b);
        NEXT;
        CASE(fdiv) : FLOAT_OP(a / b);
        NEXT;
        CASE(pusharg) : {
            ROOM();
            S[++top].w[0] = in->start_argument;
            NEXT;
        }
        CASE(fneg) : {
            NEED(1);
            S[top].w[0] ^= 0x80000000u;
            NEXT;
        }
        // The bytes the list leaves out come here too.
        CASE(nop) : NEXT;
#if defined(__GNUC__) && !defined(Z1_SCRIPT_NO_THREADING)
    }
#else
        }
    }
#endif

ran_off:
    // Running off the end of a program or function ends the instance.
    in->finished = 1;
    goto stop;
over_budget:
    op_at = pc;
    FAULT("instruction budget exhausted without waiting");

stop:
    executed_ += count;
    in->pc = pc;
    in->start = start;
    in->end = end;
    in->base = base;
    in->top = top;
    in->code = unit;
    if (fault) {
        LogLine("ERROR - program %s stopped at code offset %u: %s", in->program->name.c_str(), op_at, fault);
        in->finished = 1;
    }
#undef FAULT
#undef NEED
#undef ROOM
#undef OPERAND
#undef LOCAL
#undef CONSTANT
#undef TEXT
#undef ENGINE_TEXT
#undef JUMP_TO
#undef INT_OP
#undef FLOAT_OP
#undef COMPARE_JUMP
#undef FETCH
#undef CASE
#undef NEXT
}
