// Decoding a function or program into slots and fusing common sequences.
#include "z1script/scriptdecoded.h"

#include "z1script/scriptvm.h"

namespace {

struct HandlerTable {
    uint8_t of[256] = {};
    constexpr HandlerTable() {
#define HANDLER_OF(byte, name, operands) of[byte] = H_##name;
        Z1_SCRIPT_OPCODES(HANDLER_OF)
#undef HANDLER_OF
    }
};
constexpr HandlerTable kHandler;
static_assert(H_nop == 0, "unlisted bytes share the handler of 0x00");
static_assert(kScriptHandlerCount <= 256, "handler numbers fit a byte");

// Word of the slot a local push or store reads or writes.
int LocalWord(uint8_t op) {
    switch (op) {
    case ScriptOp::pushly:
    case ScriptOp::storely: return 1;
    case ScriptOp::pushlz:
    case ScriptOp::storelz: return 2;
    default: return 0;
    }
}

bool PushesLocal(uint8_t h) {
    return h == H_pushl || h == H_pushl_23 || h == H_pushl_2d || h == H_pushlx || h == H_pushly ||
           h == H_pushlz;
}

bool PushesConstant(uint8_t h) {
    return h == H_pushc || h == H_pushc_41 || h == H_pushc_42 || h == H_pushnull ||
           (h >= H_push0 && h <= H_push5);
}

bool StoresLocal(uint8_t h) {
    return h == H_storel || h == H_storel_28 || h == H_storel_32 || h == H_storel_63 || h == H_storely ||
           h == H_storelz;
}

bool Returns(uint8_t h) { return h == H_retv || h == H_retv_17 || h == H_retv_6d; }

// Fused handler for the pushes before a binary operation, with or without
// a store after it; second is 0 for a local, 1 for a one-byte push, 2 for
// pushc. H_undecoded when there is none.
uint8_t FusedBinary(uint8_t op, int second, bool store) {
    switch (op) {
#define FUSED_BINARY_CASE(name)                                       \
    case H_##name:                                                    \
        return second == 0   ? (store ? H_LLS_##name : H_LL_##name)   \
               : second == 1 ? (store ? H_LC1S_##name : H_LC1_##name) \
                             : (store ? H_LC2S_##name : H_LC2_##name);
        Z1_SCRIPT_FUSED_BINARY(FUSED_BINARY_CASE)
#undef FUSED_BINARY_CASE
    default: return H_undecoded;
    }
}

// The fused handler named prefix op suffix for the push before op: LL for a
// local, LC1 for a one-byte push, LC2 for pushc (second 0, 1, 2).
#define FUSED_PICK(name, suffix) \
    second == 0 ? H_LL_##name##suffix : second == 1 ? H_LC1_##name##suffix : H_LC2_##name##suffix

uint8_t FusedCall(uint8_t op, int second) {
    switch (op) {
#define FUSED_CALL_CASE(name) \
    case H_##name: return FUSED_PICK(name, _call);
        Z1_SCRIPT_FUSED_CALL(FUSED_CALL_CASE)
#undef FUSED_CALL_CASE
    default: return H_undecoded;
    }
}

uint8_t FusedGuard(uint8_t op, int second) {
    switch (op) {
#define FUSED_GUARD_CASE(name) \
    case H_##name: return FUSED_PICK(name, _ret);
        Z1_SCRIPT_FUSED_COMPARE(FUSED_GUARD_CASE)
#undef FUSED_GUARD_CASE
    default: return H_undecoded;
    }
}

uint8_t FusedCompare(uint8_t op, int second) {
    switch (op) {
#define FUSED_COMPARE_CASE(name) \
    case H_##name: return FUSED_PICK(name, );
        Z1_SCRIPT_FUSED_COMPARE(FUSED_COMPARE_CASE)
#undef FUSED_COMPARE_CASE
    default: return H_undecoded;
    }
}
#undef FUSED_PICK

void DecodeOne(ScriptDecoded* d, const ScriptCode* unit, const uint8_t* code, uint32_t at) {
    ScriptSlot& s = d->slots[at - unit->code_start];
    const uint8_t op = code[at];
    const uint8_t h = kHandler.of[op];
    const ScriptOperands operands = kScriptOperands.of[op];
    const int bytes = ScriptOperandBytes(operands);
    s.op = op;
    s.at = at;
    s.len = static_cast<uint8_t>(1 + bytes);
    s.h = s.plain = h;
    if (static_cast<uint64_t>(at) + 1 + bytes > unit->code_end) {
        s.h = s.plain = H_bad_operand;
        return;
    }
    const uint8_t k = bytes ? code[at + 1] : 0;
    switch (operands) {
    case kOperandsNone:
        if (h >= H_push0 && h <= H_push5) s.x = op - ScriptOp::push0;
        break;
    case kOperandsLocal:
        s.x = k;
        s.y = static_cast<uint8_t>(LocalWord(op));
        break;
    case kOperandsLocalAndByte:
        s.x = k;
        s.y = code[at + 2];
        break;
    case kOperandsConstant:
        if (k >= unit->constant_count) {
            s.h = s.plain = H_bad_constant;
        } else {
            s.y = k;
            s.x = static_cast<int32_t>(unit->constants[k].w[0]);
        }
        break;
    case kOperandsLabel: {
        int why = -1;
        uint32_t target = 0;
        if (k >= unit->label_count) {
            why = 0;
        } else {
            target = unit->labels[k];
            if (target < unit->code_start || target > unit->code_end) why = 1;
        }
        if (why < 0) {
            s.target = &d->slots[target - unit->code_start];
        } else {
            d->faults.emplace_back();
            ScriptSlot& f = d->faults.back();
            f.h = f.plain = H_bad_jump;
            f.at = at;
            f.x = why;
            s.target = &f;
        }
        break;
    }
    }
}

// Whether a sequence may start at slot i and which handler it gets.
void Fuse(ScriptDecoded* d, size_t i) {
    std::vector<ScriptSlot>& slots = d->slots;
    ScriptSlot& a = slots[i];
    size_t j = i + a.len;
    if (j >= slots.size()) return;
    const ScriptSlot& b = slots[j];
    const bool returns = Returns(b.plain);
    if (a.plain == H_add && returns) {
        a.h = H_add_retv;
        return;
    }
    if (!PushesLocal(a.plain)) return;
    if (returns) {
        a.h = H_L_retv;
        return;
    }
    if (b.plain == H_call) {
        a.h = H_L_call;
        return;
    }
    int second = PushesLocal(b.plain) ? 0 : PushesConstant(b.plain) ? b.len : -1;
    if (second < 0) return;
    size_t k = j + b.len;
    if (k >= slots.size()) return;
    const ScriptSlot& c = slots[k];
    uint8_t fused = FusedCompare(c.plain, second);
    if (fused != H_undecoded) {
        a.target = c.target;
        // A local returned where the jump is not taken.
        size_t m = k + c.len;
        if (m < slots.size() && PushesLocal(slots[m].plain)) {
            size_t n = m + slots[m].len;
            if (n < slots.size() && Returns(slots[n].plain)) fused = FusedGuard(c.plain, second);
        }
    } else {
        size_t l = k + c.len;
        bool store = l < slots.size() && StoresLocal(slots[l].plain);
        if (!store && l < slots.size() && slots[l].plain == H_call) fused = FusedCall(c.plain, second);
        if (fused == H_undecoded) fused = FusedBinary(c.plain, second, store);
        if (fused == H_undecoded) return;
        if (store) {
            a.cl = static_cast<uint8_t>(slots[l].x);
            a.cw = slots[l].y;
            k = l;
        }
    }
    a.b = b.x;
    a.bw = b.y;
    a.h = fused;
}

}  // namespace

void ScriptDecodeFrom(ScriptDecoded* d, const ScriptCode* unit, const uint8_t* code, uint32_t at) {
    while (at < unit->code_end) {
        ScriptSlot& s = d->slots[at - unit->code_start];
        if (s.plain != H_undecoded) return;
        DecodeOne(d, unit, code, at);
        if (s.plain == H_bad_operand) return;
        at += s.len;
    }
}

ScriptDecoded* ScriptDecode(const ScriptCode* unit, const uint8_t* code) {
    if (unit->decoded) return unit->decoded;
    ScriptDecoded* d = new ScriptDecoded;
    d->slots.resize(static_cast<size_t>(unit->code_end - unit->code_start) + 1);
    ScriptSlot& end = d->slots.back();
    end.h = end.plain = H_ran_off;
    end.at = unit->code_end;
    ScriptDecodeFrom(d, unit, code, unit->code_start);
    for (int i = 0; i < unit->label_count; ++i)
        if (unit->labels[i] >= unit->code_start && unit->labels[i] < unit->code_end)
            ScriptDecodeFrom(d, unit, code, unit->labels[i]);
    for (size_t i = 0; i + 1 < d->slots.size(); ++i)
        if (d->slots[i].plain != H_undecoded) Fuse(d, i);
    unit->decoded = d;
    unit->entry = d->slots.data();
    return d;
}
