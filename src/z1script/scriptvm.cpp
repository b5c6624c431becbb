#include "z1script/scriptvm.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "utility/clock.h"
#include "utility/log.h"
#include "utility/random.h"
#include "utility/stringhashtable.h"

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
    : code_(code), functions_(functions), texts_(texts), world_(&default_world_), game_(&default_game_) {}

ScriptFunction* ScriptVM::FindFunction(const char* name) const {
    return functions_ ? static_cast<ScriptFunction*>(functions_->Find(name)) : nullptr;
}

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

// Whether the receiver of an engine call reads its name or text: world 4
// (trigger) and 5 (unlock), world vector 1 (rotate) and 2 (move), game 1
// (message), 2 (scene), 5 (item) and 6 (quest flag). Every other call ignores it.
bool EngineCallReadsText(uint8_t op, int32_t call) {
    switch (op) {
    case 0x46: return call == 4 || call == 5;
    case 0x4C: return call == 1 || call == 2;
    case 0x48: return call == 1 || call == 2 || call == 5 || call == 6;
    default: return false;
    }
}

// Handler classes, each named after the lowest opcode it serves.
enum OpClass : uint8_t {
    K_NOP = 0,
    K_01,
    K_02,
    K_03,
    K_04,
    K_05,
    K_06,
    K_07,
    K_08,
    K_09,
    K_0A,
    K_0C,
    K_10,
    K_11,
    K_12,
    K_13,
    K_14,
    K_15,
    K_16,
    K_19,
    K_1E,
    K_37,
    K_38,
    K_39,
    K_3A,
    K_40,
    K_43,
    K_44,
    K_45,
    K_46,
    K_4C,
    K_51,
    K_52,
    K_56,
    K_57,
    K_58,
    K_59,
    K_5A,
    K_5B,
    K_5C,
    K_5E,
    K_5F,
    K_61,
    K_62,
    K_67,
    K_69,
    K_6A,
    K_6B,
    K_6C,
    K_6E,
    K_6F,
    K_COUNT
};

// Opcodes that share a body share a class; dense class numbers give the
// compiler one jump table instead of a tree of range tests.
struct OpClassTable {
    uint8_t of[256] = {};
    constexpr OpClassTable() {
        of[0x01] = K_01;
        of[0x02] = K_02;
        of[0x03] = K_03;
        of[0x04] = K_04;
        of[0x05] = K_05;
        of[0x06] = K_06;
        of[0x07] = K_07;
        of[0x08] = K_08;
        of[0x09] = K_09;
        of[0x0A] = K_0A;
        of[0x0E] = K_0A;
        of[0x0B] = K_0A;
        of[0x0F] = K_0A;
        of[0x0C] = K_0C;
        of[0x0D] = K_0C;
        of[0x10] = K_10;
        of[0x11] = K_11;
        of[0x12] = K_12;
        of[0x13] = K_13;
        of[0x14] = K_14;
        of[0x15] = K_15;
        of[0x16] = K_16;
        of[0x17] = K_16;
        of[0x6D] = K_16;
        of[0x18] = K_16;
        of[0x19] = K_19;
        of[0x23] = K_19;
        of[0x2D] = K_19;
        of[0x66] = K_19;
        of[0x1E] = K_1E;
        of[0x28] = K_1E;
        of[0x32] = K_1E;
        of[0x63] = K_1E;
        of[0x64] = K_1E;
        of[0x65] = K_1E;
        of[0x37] = K_37;
        of[0x38] = K_38;
        of[0x39] = K_39;
        of[0x3A] = K_3A;
        of[0x3B] = K_3A;
        of[0x3C] = K_3A;
        of[0x3D] = K_3A;
        of[0x3E] = K_3A;
        of[0x3F] = K_3A;
        of[0x40] = K_40;
        of[0x41] = K_40;
        of[0x42] = K_40;
        of[0x60] = K_40;
        of[0x43] = K_43;
        of[0x44] = K_44;
        of[0x45] = K_45;
        of[0x47] = K_45;
        of[0x49] = K_45;
        of[0x4A] = K_45;
        of[0x4B] = K_45;
        of[0x4D] = K_45;
        of[0x4F] = K_45;
        of[0x50] = K_45;
        of[0x53] = K_45;
        of[0x54] = K_45;
        of[0x55] = K_45;
        of[0x46] = K_46;
        of[0x48] = K_46;
        of[0x4C] = K_4C;
        of[0x4E] = K_4C;
        of[0x51] = K_51;
        of[0x52] = K_52;
        of[0x56] = K_56;
        of[0x57] = K_57;
        of[0x58] = K_58;
        of[0x59] = K_59;
        of[0x5A] = K_5A;
        of[0x5B] = K_5B;
        of[0x5D] = K_5B;
        of[0x5C] = K_5C;
        of[0x5E] = K_5E;
        of[0x5F] = K_5F;
        of[0x61] = K_61;
        of[0x62] = K_62;
        of[0x67] = K_67;
        of[0x68] = K_67;
        of[0x69] = K_69;
        of[0x6A] = K_6A;
        of[0x6B] = K_6B;
        of[0x6C] = K_6C;
        of[0x6E] = K_6E;
        of[0x6F] = K_6F;
    }
};
constexpr OpClassTable kOpClass;

}  // namespace

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
        &&op_K_NOP, &&op_K_01, &&op_K_02, &&op_K_03, &&op_K_04, &&op_K_05, &&op_K_06, &&op_K_07, &&op_K_08,
        &&op_K_09,  &&op_K_0A, &&op_K_0C, &&op_K_10, &&op_K_11, &&op_K_12, &&op_K_13, &&op_K_14, &&op_K_15,
        &&op_K_16,  &&op_K_19, &&op_K_1E, &&op_K_37, &&op_K_38, &&op_K_39, &&op_K_3A, &&op_K_40, &&op_K_43,
        &&op_K_44,  &&op_K_45, &&op_K_46, &&op_K_4C, &&op_K_51, &&op_K_52, &&op_K_56, &&op_K_57, &&op_K_58,
        &&op_K_59,  &&op_K_5A, &&op_K_5B, &&op_K_5C, &&op_K_5E, &&op_K_5F, &&op_K_61, &&op_K_62, &&op_K_67,
        &&op_K_69,  &&op_K_6A, &&op_K_6B, &&op_K_6C, &&op_K_6E, &&op_K_6F};
    static_assert(sizeof kTargets / sizeof kTargets[0] == K_COUNT, "one handler per opcode class");
#define CASE(k) \
    case k:     \
        op_##k
#define NEXT                             \
    do {                                 \
        FETCH();                         \
        goto* kTargets[kOpClass.of[op]]; \
    } while (0)
    NEXT;
    switch (0) {  // never taken: it only holds the handlers
#else
#define CASE(k) case k
#define NEXT    continue
    for (;;) {
        FETCH();
        switch (kOpClass.of[op]) {
#endif
        CASE(K_01) : {
            NEED(1);
            S[top].w[0] = U(static_cast<int32_t>(S[top].w[0]) % 255);
            NEXT;
        }
        CASE(K_02) : INT_OP(Wrap(U(a) * U(b)));
        NEXT;
        CASE(K_03) : {
            NEED(1);
            S[top].w[0] = 0u - S[top].w[0];
            NEXT;
        }
        CASE(K_04) : {
            NEED(2);
            int32_t a = S[top - 1].w[0];
            int32_t b = S[top].w[0];
            if (b == 0) FAULT("remainder by zero");
            S[top - 1].w[0] = U(b == -1 ? 0 : a % b);
            --top;
            NEXT;
        }
        CASE(K_05) : INT_OP(Wrap(U(a) - U(b)));
        NEXT;
        CASE(K_06) : {
            NEED(2);
            int32_t a = S[top - 1].w[0];
            int32_t b = S[top].w[0];
            if (b == 0) FAULT("division by zero");
            S[top - 1].w[0] = b == -1 ? 0u - U(a) : U(a / b);
            --top;
            NEXT;
        }
        CASE(K_07) : INT_OP(Wrap(U(a) + U(b)));
        NEXT;
        CASE(K_08) : {
            OPERAND(2);
            uint8_t k = code[pc];
            uint8_t n = code[pc + 1];
            pc += 2;
            LOCAL(k, i);
            S[i].w[0] += n;
            NEXT;
        }
        CASE(K_09) : {
            OPERAND(1);
            uint8_t L = code[pc++];
            JUMP_TO(L);
            NEXT;
        }
        CASE(K_0A) : {
            OPERAND(1);
            uint8_t L = code[pc++];
            NEED(1);
            bool zero = S[top].w[0] == 0;
            --top;
            if (zero == (op == 0x0A || op == 0x0E)) JUMP_TO(L);
            NEXT;
        }
        CASE(K_0C) : {
            OPERAND(1);
            uint8_t L = code[pc++];
            NEED(2);
            TEXT(S[top - 1].w[0], ta);
            TEXT(S[top].w[0], tb);
            top -= 2;
            // The null text compares as the empty one.
            bool equal = std::strcmp(ta ? ta : "", tb ? tb : "") == 0;
            if (equal == (op == 0x0C)) JUMP_TO(L);
            NEXT;
        }
        CASE(K_10) : COMPARE_JUMP(a == b);
        NEXT;
        CASE(K_11) : COMPARE_JUMP(a > b);
        NEXT;
        CASE(K_12) : COMPARE_JUMP(a < b);
        NEXT;
        CASE(K_13) : COMPARE_JUMP(a <= b);
        NEXT;
        CASE(K_14) : COMPARE_JUMP(a >= b);
        NEXT;
        CASE(K_15) : COMPARE_JUMP(a != b);
        NEXT;
        CASE(K_16) : {
            if (in->frames.empty()) {
                LogLine("Return without any prog callstack");
                in->finished = 1;
                goto stop;
            }
            const ScriptFrame& f = in->frames.back();
            if (op == 0x18) {
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
        CASE(K_19) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            LOCAL(k, i);
            ROOM();
            uint32_t v = S[i].w[0];
            S[++top].w[0] = v;
            NEXT;
        }
        CASE(K_1E) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            LOCAL(k, i);
            NEED(1);
            int word = op == 0x64 ? 1 : op == 0x65 ? 2 : 0;
            S[i].w[word] = S[top].w[0];
            --top;
            NEXT;
        }
        CASE(K_37) : {
            NEED(1);
            ROOM();
            S[top + 1] = S[top];
            ++top;
            NEXT;
        }
        CASE(K_38) : {
            NEED(1);
            --top;
            NEXT;
        }
        CASE(K_39) : {
            NEED(2);
            ScriptValue t = S[top];
            S[top] = S[top - 1];
            S[top - 1] = t;
            NEXT;
        }
        CASE(K_3A) : {
            ROOM();
            S[++top].w[0] = op - 0x3A;
            NEXT;
        }
        CASE(K_40) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            CONSTANT(k);
            ROOM();
            ++top;
            if (op == 0x60)
                S[top] = unit->constants[k];
            else
                S[top].w[0] = unit->constants[k].w[0];
            NEXT;
        }
        CASE(K_43) : {
            ROOM();
            S[++top].w[0] = 0;
            NEXT;
        }
        CASE(K_44) : {
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
        CASE(K_45) : {
            NEED(3);
            top -= 3;
            NEXT;
        }
        CASE(K_46) : {
            NEED(3);
            int32_t call = S[top - 1].w[0];
            ENGINE_TEXT(S[top - 2].w[0], call, text);
            int32_t value = S[top].w[0];
            top -= 3;
            count += kScriptHeavyInstruction - 1;
            // Sync the registers: the call may start or wake other instances.
            in->pc = pc;
            in->top = top;
            if (op == 0x46)
                world_->ScriptCall(call, text ? text : "", value);
            else
                game_->ScriptCall(call, text ? text : "", value);
            NEXT;
        }
        CASE(K_4C) : {
            NEED(3);
            int32_t call = S[top - 1].w[0];
            ENGINE_TEXT(S[top - 2].w[0], call, text);
            VECTOR v{WordToFloat(S[top].w[0]), WordToFloat(S[top].w[1]), WordToFloat(S[top].w[2])};
            top -= 3;
            count += kScriptHeavyInstruction - 1;
            in->pc = pc;
            in->top = top;
            if (op == 0x4C) {
                LogLine("calling setVector on z1 object..");
                world_->ScriptVectorCall(call, text ? text : "", v);
            } else {
                game_->ScriptVectorCall(call, text ? text : "", v);
            }
            NEXT;
        }
        CASE(K_51) : {
            NEED(1);
            uint32_t n = S[top].w[0];
            --top;
            in->waiting = 1;
            in->wake_time = ClockMilliseconds() + n;
            // 0 means "until started by name"; a sleep must never become that.
            if (in->wake_time == 0) in->wake_time = 1;
            goto stop;
        }
        CASE(K_52) : {
            in->waiting = 1;
            in->wake_time = 0;
            goto stop;
        }
        CASE(K_56) : {
            NEED(1);
            int32_t bound = S[top].w[0];
            if (bound == 0) FAULT("random bound of zero");
            S[top].w[0] = U(Z1Rand() % bound);
            NEXT;
        }
        CASE(K_57) : {
            NEED(2);
            int32_t a = S[top - 1].w[0];
            int32_t span = Wrap(U(static_cast<int32_t>(S[top].w[0])) - U(a));
            if (span == 0) FAULT("random range of zero");
            S[top - 1].w[0] = U(a) + U(Z1Rand() % span);
            --top;
            NEXT;
        }
        CASE(K_58) : FLOAT_OP(a + b);
        NEXT;
        CASE(K_59) : {
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
        CASE(K_5A) : {
            NEED(1);
            S[top].w[0] = FloatToWord(static_cast<float>(static_cast<int32_t>(S[top].w[0])));
            NEXT;
        }
        CASE(K_5B) : {
            NEED(1);
            int n = op == 0x5B ? std::snprintf(buffer, sizeof buffer, "%i", static_cast<int32_t>(S[top].w[0]))
                               : std::snprintf(buffer, sizeof buffer, "%f",
                                               static_cast<double>(WordToFloat(S[top].w[0])));
            if (n < 0) n = 0;
            if (n > 254) n = 254;
            uint32_t h = texts_->Add(buffer, static_cast<size_t>(n));
            if (!h) FAULT("out of text space");
            S[top].w[0] = h;
            NEXT;
        }
        CASE(K_5C) : {
            NEED(1);
            S[top].w[0] = U(FloatToInt(WordToFloat(S[top].w[0])));
            NEXT;
        }
        CASE(K_5E) : {
            NEED(1);
            TEXT(S[top].w[0], t);
            S[top].w[0] = U(TextToInt(t));
            NEXT;
        }
        CASE(K_5F) : {
            NEED(1);
            TEXT(S[top].w[0], t);
            S[top].w[0] = FloatToWord(t ? std::strtof(t, nullptr) : 0.0f);
            NEXT;
        }
        CASE(K_61) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            LOCAL(k, i);
            NEED(1);
            S[i] = S[top];
            --top;
            NEXT;
        }
        CASE(K_62) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            LOCAL(k, i);
            ROOM();
            ScriptValue v = S[i];
            S[++top] = v;
            NEXT;
        }
        CASE(K_67) : {
            OPERAND(1);
            uint8_t k = code[pc++];
            LOCAL(k, i);
            ROOM();
            uint32_t v = S[i].w[op - 0x66];
            S[++top].w[0] = v;
            NEXT;
        }
        CASE(K_69) : {
            NEED(3);
            ScriptValue v = {{S[top - 2].w[0], S[top - 1].w[0], S[top].w[0]}};
            top -= 2;
            S[top] = v;
            NEXT;
        }
        CASE(K_6A) : FLOAT_OP(a * b);
        NEXT;
        CASE(K_6B) : FLOAT_OP(a - b);
        NEXT;
        CASE(K_6C) : FLOAT_OP(a / b);
        NEXT;
        CASE(K_6E) : {
            ROOM();
            S[++top].w[0] = in->start_argument;
            NEXT;
        }
        CASE(K_6F) : {
            NEED(1);
            S[top].w[0] ^= 0x80000000u;
            NEXT;
        }
        CASE(K_NOP)
            :  // 0x00 and every unassigned opcode: no operation, no operand.
              NEXT;
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
