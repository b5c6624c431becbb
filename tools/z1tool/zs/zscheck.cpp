// The checker.
//
// Index of this file:
// [SECTION] Engine calls, built-ins and the machine's arithmetic
// [SECTION] Scopes and locals
// [SECTION] Expressions
// [SECTION] Calls
// [SECTION] Statements
// [SECTION] Declarations
#include "zscheck.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "imports/enginecalls.h"
#include "z1script/opcodes.h"
#include "z1script/scriptfile.h"
#include "z1script/scriptvalue.h"

// ---------------------------------------------------------------------------
// [SECTION] Engine calls, built-ins and the machine's arithmetic

const ZsEngineCall kZsEngineCalls[] = {
    {"world.trigger", ScriptOp::world, kWorldCallTrigger, true, ZsType::kVoid},
    {"world.unlock", ScriptOp::world, kWorldCallUnlock, true, ZsType::kVoid},
    {"world.rotate", ScriptOp::worldvec, kWorldVectorCallRotate, true, ZsType::kVector},
    {"world.move", ScriptOp::worldvec, kWorldVectorCallMove, true, ZsType::kVector},
    {"game.spare", ScriptOp::game, kGameCallSpare, false, ZsType::kInt},
    {"game.showMessage", ScriptOp::game, kGameCallShowMessage, true, ZsType::kInt},
    {"game.loadScene", ScriptOp::game, kGameCallLoadScene, true, ZsType::kVoid},
    {"game.collisionOn", ScriptOp::game, kGameCallCollisionOn, false, ZsType::kInt},
    {"game.movementSpeed", ScriptOp::game, kGameCallMovementSpeed, false, ZsType::kInt},
    {"game.addItem", ScriptOp::game, kGameCallAddItem, true, ZsType::kVoid},
    {"game.setQuestFlag", ScriptOp::game, kGameCallSetQuestFlag, true, ZsType::kVoid},
    {"game.moveCamera", ScriptOp::gamevec, kGameVectorCallMoveCamera, false, ZsType::kVector},
};
const int kZsEngineCallCount = static_cast<int>(sizeof kZsEngineCalls / sizeof kZsEngineCalls[0]);

const char* TypeName(ZsType t) {
    switch (t) {
    case ZsType::kInt: return "int";
    case ZsType::kFloat: return "float";
    case ZsType::kText: return "text";
    case ZsType::kVector: return "vector";
    case ZsType::kVoid: return "nothing";
    default: return "?";
    }
}

int32_t ZsFloatToInt(float f) {
    if (std::isnan(f)) return 0;
    if (f >= 2147483648.0f) return INT32_MAX;
    if (f <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(f);
}

namespace {

// Every float result is rounded to single precision, as the machine stores it.
float Single(float f) {
    volatile float v = f;
    return v;
}

int32_t Bits(float f) { return static_cast<int32_t>(FloatToWord(f)); }

bool IntCompare(Tok op, int32_t a, int32_t b) {
    switch (op) {
    case Tok::kEq: return a == b;
    case Tok::kNe: return a != b;
    case Tok::kLt: return a < b;
    case Tok::kGt: return a > b;
    case Tok::kLe: return a <= b;
    default: return a >= b;
    }
}

}  // namespace

bool ZsFloatCompare(Tok op, float a, float b) {
    float d = Single(Single(a - b) + 0.0f);
    return IntCompare(op, Bits(d), 0);
}

namespace {

// Integer arithmetic wraps at 32 bits; false for division or remainder by zero.
bool FoldInt(Tok op, int32_t a, int32_t b, int32_t* out) {
    uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
    switch (op) {
    case Tok::kPlus: *out = static_cast<int32_t>(ua + ub); return true;
    case Tok::kMinus: *out = static_cast<int32_t>(ua - ub); return true;
    case Tok::kStar: *out = static_cast<int32_t>(ua * ub); return true;
    case Tok::kSlash:
        if (b == 0) return false;
        *out = b == -1 ? static_cast<int32_t>(0u - ua) : a / b;
        return true;
    default:
        if (b == 0) return false;
        *out = b == -1 ? 0 : a % b;
        return true;
    }
}

float FoldFloat(Tok op, float a, float b) {
    switch (op) {
    case Tok::kPlus: return Single(a + b);
    case Tok::kMinus: return Single(a - b);
    case Tok::kStar: return Single(a * b);
    default: return Single(a / b);
    }
}

float Negate(float f) { return WordToFloat(FloatToWord(f) ^ 0x80000000u); }

std::string IntText(int32_t v) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%i", v);
    return buf;
}

std::string FloatText(float f) {
    char buf[256];
    int n = std::snprintf(buf, sizeof buf, "%f", static_cast<double>(f));
    if (n < 0) n = 0;
    if (n > 254) n = 254;
    return std::string(buf, static_cast<size_t>(n));
}

bool IsComparison(Tok op) {
    return op == Tok::kEq || op == Tok::kNe || op == Tok::kLt || op == Tok::kGt || op == Tok::kLe ||
           op == Tok::kGe;
}

std::string OpText(Tok op) {
    std::string s = TokDescription(op);
    return s;
}

std::string Plural(size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

struct Builtin {
    const char* name;
    CallKind kind;
};
const Builtin kBuiltins[] = {
    {"vec", CallKind::kVec},     {"int", CallKind::kToInt},           {"float", CallKind::kToFloat},
    {"text", CallKind::kToText}, {"random", CallKind::kRandom},       {"sleep", CallKind::kSleep},
    {"wait", CallKind::kWait},   {"startName", CallKind::kStartName},
};

CallKind BuiltinKind(const std::string& name) {
    for (const Builtin& b : kBuiltins)
        if (name == b.name) return b.kind;
    return CallKind::kNone;
}

ZsValue IntValue(int32_t i) {
    ZsValue v;
    v.type = ZsType::kInt;
    v.i = i;
    return v;
}
ZsValue FloatValue(float f) {
    ZsValue v;
    v.type = ZsType::kFloat;
    v.f = f;
    return v;
}
ZsValue TextValue(const std::string& t) {
    ZsValue v;
    v.type = ZsType::kText;
    v.t = t;
    return v;
}

void SetConstant(Expr* e, const ZsValue& v) {
    e->type = v.type;
    e->constant = true;
    e->value = v;
}

bool IsIntLiteral(const Expr* e) { return e->kind == ExprKind::kInt; }

// ---------------------------------------------------------------------------
// [SECTION] Scopes and locals

struct Local {
    std::string name;
    ZsPos pos;
    ZsType type = ZsType::kError;
    int slot = -1;
    bool read = false;
    bool param = false;
    bool isConst = false;
    ZsValue value;
};

struct TopConst {
    ZsValue value;
    ZsPos pos;
    bool ok = false;
};

class Checker {
public:
    Checker(Unit& unit, Diagnostics& diag) : unit_(unit), diag_(diag) {}

    void Run() {
        Declarations();
        for (Unit::Decl& d : unit_.decls)
            if (d.constant) TopConstant(*d.constant);
        for (Unit::Decl& d : unit_.decls) {
            if (diag_.Full()) return;
            if (d.function) FunctionBody(*d.function);
            if (d.program) ProgramBody(*d.program);
        }
    }

private:
    struct Scope {
        std::vector<Local> locals;
        int firstSlot = 0;
    };
    struct Loop {
        bool broke = false;
    };

    void Error(ZsPos at, const std::string& m) { diag_.Error(at, m); }

    void PushScope() {
        scopes_.emplace_back();
        scopes_.back().firstSlot = nextSlot_;
    }
    void PopScope() {
        for (const Local& l : scopes_.back().locals)
            if (!l.read && !l.param && !l.isConst && !l.name.empty() && l.name[0] != '_')
                diag_.Warning(l.pos, "unused local '" + l.name + "'");
        nextSlot_ = scopes_.back().firstSlot;
        scopes_.pop_back();
    }
    Local* FindLocal(const std::string& name) {
        for (size_t s = scopes_.size(); s-- > 0;)
            for (Local& l : scopes_[s].locals)
                if (l.name == name) return &l;
        return nullptr;
    }
    // False (after the message) when the name is taken where it would be seen.
    bool FreeName(const std::string& name, ZsPos at) {
        if (Local* l = FindLocal(name)) {
            Error(at, "'" + name + "' is already declared (line " + std::to_string(l->pos.line) + ")");
            return false;
        }
        auto c = consts_.find(name);
        if (c != consts_.end()) {
            Error(at,
                  "'" + name + "' is already a constant (line " + std::to_string(c->second.pos.line) + ")");
            return false;
        }
        return true;
    }
    Local* Declare(const std::string& name, ZsPos at, ZsType type) {
        if (!FreeName(name, at)) return nullptr;
        Local l;
        l.name = name;
        l.pos = at;
        l.type = type;
        l.slot = nextSlot_++;
        if (nextSlot_ > maxNext_) maxNext_ = nextSlot_;
        scopes_.back().locals.push_back(l);
        return &scopes_.back().locals.back();
    }

    // -----------------------------------------------------------------------
    // [SECTION] Expressions

    // hint kFloat turns an integer literal into a float one.
    void Check(Expr* e, ZsType hint = ZsType::kError, bool allowVoid = false) {
        e->type = ZsType::kError;
        e->constant = false;
        switch (e->kind) {
        case ExprKind::kError: return;
        case ExprKind::kInt: IntLiteral(e, hint); return;
        case ExprKind::kFloat: SetConstant(e, FloatValue(e->number)); return;
        case ExprKind::kText: SetConstant(e, TextValue(e->text)); return;
        case ExprKind::kBool: SetConstant(e, IntValue(static_cast<int32_t>(e->integer))); return;
        case ExprKind::kName: Name(e); return;
        case ExprKind::kMember: Member(e); return;
        case ExprKind::kUnary: Unary(e, hint); return;
        case ExprKind::kBinary: Binary(e); return;
        case ExprKind::kCall: Call(e, allowVoid); return;
        }
    }

    void IntLiteral(Expr* e, ZsType hint) {
        if (hint == ZsType::kFloat) {
            float f = std::strtof(e->text.c_str(), nullptr);
            if (std::isinf(f)) {
                Error(e->pos, "number out of range");
                return;
            }
            SetConstant(e, FloatValue(e->negative ? -f : f));
            return;
        }
        const bool hex = e->name == "hex";
        int64_t limit = hex ? 0xFFFFFFFFll : e->negative ? 2147483648ll : 2147483647ll;
        if (e->integer > static_cast<uint64_t>(limit)) {
            Error(e->pos, "number out of range (integers are 32-bit: -2147483648 to 2147483647)");
            return;
        }
        uint32_t u = static_cast<uint32_t>(e->integer);
        if (e->negative) u = 0u - u;
        SetConstant(e, IntValue(static_cast<int32_t>(u)));
    }

    void Name(Expr* e) {
        if (Local* l = FindLocal(e->name)) {
            if (l->isConst) {
                SetConstant(e, l->value);
                return;
            }
            if (!e->noRead) l->read = true;
            e->type = l->type;
            e->slot = l->slot;
            return;
        }
        auto c = consts_.find(e->name);
        if (c != consts_.end()) {
            if (c->second.ok) SetConstant(e, c->second.value);
            return;
        }
        if (functions_.count(e->name)) {
            Error(e->pos, "'" + e->name + "' is a function: call it as " + e->name + "(...)");
            return;
        }
        Error(e->pos, "unknown name '" + e->name + "'");
    }

    void Member(Expr* e) {
        Expr* obj = e->args[0].get();
        if (obj->kind == ExprKind::kName && (obj->name == "world" || obj->name == "game") &&
            !FindLocal(obj->name) && !consts_.count(obj->name)) {
            std::string full = obj->name + "." + e->name;
            for (int i = 0; i < kZsEngineCallCount; ++i)
                if (full == kZsEngineCalls[i].name) {
                    Error(e->pos, "'" + full + "' is an engine call: call it as " + full + "(...)");
                    return;
                }
            Error(e->pos, "unknown engine call '" + full + "'");
            return;
        }
        Check(obj);
        if (obj->type == ZsType::kError) return;
        if (obj->type != ZsType::kVector) {
            Error(e->pos, "'." + e->name + "' needs a vector, not " + TypeName(obj->type));
            return;
        }
        int c = e->name == "x" ? 0 : e->name == "y" ? 1 : e->name == "z" ? 2 : -1;
        if (c < 0) {
            Error(e->pos, "a vector has x, y and z, not '" + e->name + "'");
            return;
        }
        e->component = c;
        e->type = ZsType::kFloat;
        if (obj->constant) {
            SetConstant(e, FloatValue(obj->value.v[c]));
        } else if (obj->kind == ExprKind::kName) {
            e->slot = obj->slot;
        }
    }

    void Unary(Expr* e, ZsType hint) {
        Expr* a = e->args[0].get();
        if (e->op == Tok::kNot) {
            Check(a);
            if (a->type == ZsType::kError) return;
            if (a->type != ZsType::kInt) {
                Error(e->pos, std::string("'!' needs an int, not ") + TypeName(a->type));
                return;
            }
            e->type = ZsType::kInt;
            if (a->constant) SetConstant(e, IntValue(a->value.i == 0));
            return;
        }
        Check(a, hint);
        switch (a->type) {
        case ZsType::kError: return;
        case ZsType::kInt:
            e->type = a->type;
            if (a->constant)
                SetConstant(e, IntValue(static_cast<int32_t>(0u - static_cast<uint32_t>(a->value.i))));
            return;
        case ZsType::kFloat:
            e->type = a->type;
            if (a->constant) SetConstant(e, FloatValue(Negate(a->value.f)));
            return;
        case ZsType::kVector:
            e->type = a->type;
            if (a->constant) {
                ZsValue v = a->value;
                for (float& f : v.v) f = Negate(f);
                SetConstant(e, v);
            }
            return;
        default: Error(e->pos, "'-' cannot take " + std::string(TypeName(a->type))); return;
        }
    }

    void Binary(Expr* e) {
        Expr* l = e->args[0].get();
        Expr* r = e->args[1].get();
        const Tok op = e->op;
        if (op == Tok::kAndAnd || op == Tok::kOrOr) {
            Check(l);
            Check(r);
            bool bad = false;
            for (Expr* x : {l, r})
                if (x->type != ZsType::kInt && x->type != ZsType::kError) {
                    Error(x->pos, OpText(op) + " needs int operands, not " + TypeName(x->type));
                    bad = true;
                }
            if (bad || l->type == ZsType::kError || r->type == ZsType::kError) return;
            e->type = ZsType::kInt;
            e->binary = op == Tok::kAndAnd ? BinaryKind::kAnd : BinaryKind::kOr;
            if (l->constant && r->constant)
                SetConstant(e, IntValue(op == Tok::kAndAnd ? (l->value.i && r->value.i)
                                                           : (l->value.i || r->value.i)));
            return;
        }
        // An integer literal beside a float or a vector is a float.
        const bool lLit = IsIntLiteral(l), rLit = IsIntLiteral(r);
        if (!lLit) Check(l);
        if (!rLit) Check(r);
        auto floaty = [](const Expr* x) { return x->type == ZsType::kFloat || x->type == ZsType::kVector; };
        if (lLit) Check(l, !rLit && floaty(r) ? ZsType::kFloat : ZsType::kError);
        if (rLit) Check(r, !lLit && floaty(l) ? ZsType::kFloat : ZsType::kError);
        if (l->type == ZsType::kError || r->type == ZsType::kError) return;
        const ZsType lt = l->type, rt = r->type;
        const bool both = l->constant && r->constant;

        if (IsComparison(op)) {
            if (lt == ZsType::kInt && rt == ZsType::kInt) {
                e->binary = BinaryKind::kIntCompare;
                e->type = ZsType::kInt;
                if (both) SetConstant(e, IntValue(IntCompare(op, l->value.i, r->value.i)));
            } else if (lt == ZsType::kFloat && rt == ZsType::kFloat) {
                e->binary = BinaryKind::kFloatCompare;
                e->type = ZsType::kInt;
                if (both) SetConstant(e, IntValue(ZsFloatCompare(op, l->value.f, r->value.f)));
            } else if (lt == ZsType::kText && rt == ZsType::kText) {
                if (op != Tok::kEq && op != Tok::kNe) {
                    Error(e->pos, "texts can only be compared with == and !=");
                    return;
                }
                e->binary = BinaryKind::kTextCompare;
                e->type = ZsType::kInt;
                if (both) SetConstant(e, IntValue((l->value.t == r->value.t) == (op == Tok::kEq)));
            } else if (lt == ZsType::kVector || rt == ZsType::kVector) {
                Error(e->pos, "vectors cannot be compared: compare their x, y and z");
            } else {
                Mismatch(e, lt, rt);
            }
            return;
        }

        if (lt == ZsType::kInt && rt == ZsType::kInt) {
            e->binary = BinaryKind::kIntArith;
            e->type = ZsType::kInt;
            if ((op == Tok::kSlash || op == Tok::kPercent) && r->constant && r->value.i == 0)
                diag_.Warning(e->pos, op == Tok::kSlash ? "division by zero stops the program"
                                                        : "remainder by zero stops the program");
            int32_t v;
            if (both && FoldInt(op, l->value.i, r->value.i, &v)) SetConstant(e, IntValue(v));
            return;
        }
        if (lt == ZsType::kFloat && rt == ZsType::kFloat) {
            if (op == Tok::kPercent) {
                Error(e->pos, "'%' needs int operands: floats have no remainder");
                return;
            }
            e->binary = BinaryKind::kFloatArith;
            e->type = ZsType::kFloat;
            if (both) SetConstant(e, FloatValue(FoldFloat(op, l->value.f, r->value.f)));
            return;
        }
        if (op == Tok::kPlus && (lt == ZsType::kText || rt == ZsType::kText) && lt != ZsType::kVector &&
            rt != ZsType::kVector) {
            e->binary = BinaryKind::kJoin;
            e->type = ZsType::kText;
            e->joinLeft = lt;
            e->joinRight = rt;
            if (both) {
                std::string a = lt == ZsType::kText  ? l->value.t
                                : lt == ZsType::kInt ? IntText(l->value.i)
                                                     : FloatText(l->value.f);
                std::string b = rt == ZsType::kText  ? r->value.t
                                : rt == ZsType::kInt ? IntText(r->value.i)
                                                     : FloatText(r->value.f);
                // Longer texts than a file can hold are joined when the program runs.
                if (a.size() + b.size() <= kScriptMaxFileText) SetConstant(e, TextValue(a + b));
            }
            return;
        }
        if (lt == ZsType::kVector || rt == ZsType::kVector) {
            bool ok = false;
            if (lt == ZsType::kVector && rt == ZsType::kVector)
                ok = op == Tok::kPlus || op == Tok::kMinus;
            else if (lt == ZsType::kVector && rt == ZsType::kFloat)
                ok = op == Tok::kStar || op == Tok::kSlash;
            else if (lt == ZsType::kFloat && rt == ZsType::kVector)
                ok = op == Tok::kStar;
            if (!ok) {
                if (lt == ZsType::kVector && rt == ZsType::kVector)
                    Error(e->pos, OpText(op) + " cannot take two vectors (vectors add and subtract)");
                else
                    Mismatch(e, lt, rt);
                return;
            }
            e->binary = BinaryKind::kVectorArith;
            e->type = ZsType::kVector;
            if (both) {
                ZsValue v;
                v.type = ZsType::kVector;
                for (int c = 0; c < 3; ++c) {
                    float a = lt == ZsType::kVector ? l->value.v[c] : l->value.f;
                    float b = rt == ZsType::kVector ? r->value.v[c] : r->value.f;
                    v.v[c] = FoldFloat(op, a, b);
                }
                SetConstant(e, v);
            }
            return;
        }
        Mismatch(e, lt, rt);
    }

    void Mismatch(Expr* e, ZsType lt, ZsType rt) {
        std::string m = OpText(e->op) + " cannot take " + TypeName(lt) + " and " + TypeName(rt);
        if ((lt == ZsType::kInt && rt == ZsType::kFloat) || (lt == ZsType::kFloat && rt == ZsType::kInt))
            m += " (convert one with float() or int())";
        Error(e->pos, m);
    }

    // -----------------------------------------------------------------------
    // [SECTION] Calls

    // Checks the arguments against the kinds wanted; false after a message.
    bool Arguments(Expr* e, const std::string& name, const std::vector<ZsType>& wanted) {
        if (e->args.size() != wanted.size()) {
            Error(e->pos, "'" + name + "' takes " + Plural(wanted.size(), "argument") + ", not " +
                              std::to_string(e->args.size()));
            for (auto& a : e->args) Check(a.get());
            return false;
        }
        bool ok = true;
        for (size_t i = 0; i < wanted.size(); ++i) {
            Expr* a = e->args[i].get();
            Check(a, wanted[i]);
            if (a->type == ZsType::kError) {
                ok = false;
            } else if (a->type != wanted[i]) {
                Error(a->pos, "argument " + std::to_string(i + 1) + " of '" + name + "' must be " +
                                  TypeName(wanted[i]) + ", not " + TypeName(a->type));
                ok = false;
            }
        }
        return ok;
    }

    void Call(Expr* e, bool allowVoid) {
        const std::string& name = e->name;
        if (name.find('.') != std::string::npos) {
            EngineCall(e);
        } else if (BuiltinKind(name) != CallKind::kNone) {
            BuiltinCall(e, BuiltinKind(name));
        } else {
            auto f = functions_.find(name);
            if (f == functions_.end()) {
                Error(e->pos, "unknown function '" + name + "'");
                for (auto& a : e->args) Check(a.get());
                return;
            }
            std::vector<ZsType> wanted;
            for (const Param& p : f->second->params) wanted.push_back(p.type);
            if (!Arguments(e, name, wanted)) return;
            e->call = CallKind::kUser;
            e->callee = f->second;
            e->type = f->second->result;
        }
        if (e->type == ZsType::kVoid && !allowVoid) {
            Error(e->pos, "'" + name + "' gives no value");
            e->type = ZsType::kError;
        }
    }

    void EngineCall(Expr* e) {
        for (int i = 0; i < kZsEngineCallCount; ++i) {
            const ZsEngineCall& c = kZsEngineCalls[i];
            if (e->name != c.name) continue;
            std::vector<ZsType> wanted;
            if (c.takesText) wanted.push_back(ZsType::kText);
            if (c.value != ZsType::kVoid) wanted.push_back(c.value);
            if (!Arguments(e, e->name, wanted)) return;
            e->call = CallKind::kEngine;
            e->engine = i;
            e->type = ZsType::kVoid;
            return;
        }
        Error(e->pos, "unknown engine call '" + e->name + "'");
        for (auto& a : e->args) Check(a.get());
    }

    void BuiltinCall(Expr* e, CallKind kind) {
        const std::string& name = e->name;
        switch (kind) {
        case CallKind::kVec: {
            if (!Arguments(e, name, {ZsType::kFloat, ZsType::kFloat, ZsType::kFloat})) return;
            e->call = kind;
            e->type = ZsType::kVector;
            if (e->args[0]->constant && e->args[1]->constant && e->args[2]->constant) {
                ZsValue v;
                v.type = ZsType::kVector;
                for (int c = 0; c < 3; ++c) v.v[c] = e->args[c]->value.f;
                SetConstant(e, v);
            }
            return;
        }
        case CallKind::kToInt:
        case CallKind::kToFloat:
        case CallKind::kToText: {
            if (e->args.size() != 1) {
                Error(e->pos, "'" + name + "' takes 1 argument, not " + std::to_string(e->args.size()));
                for (auto& a : e->args) Check(a.get());
                return;
            }
            Expr* a = e->args[0].get();
            Check(a);
            if (a->type == ZsType::kError) return;
            if (a->type == ZsType::kVector) {
                Error(e->pos, name + "() cannot convert a vector");
                return;
            }
            e->call = kind;
            e->convertFrom = a->type;
            e->type = kind == CallKind::kToInt     ? ZsType::kInt
                      : kind == CallKind::kToFloat ? ZsType::kFloat
                                                   : ZsType::kText;
            if (!a->constant) return;
            const ZsValue& v = a->value;
            if (a->type == e->type)
                SetConstant(e, v);
            else if (kind == CallKind::kToInt && a->type == ZsType::kFloat)
                SetConstant(e, IntValue(ZsFloatToInt(v.f)));
            else if (kind == CallKind::kToFloat && a->type == ZsType::kInt)
                SetConstant(e, FloatValue(Single(static_cast<float>(v.i))));
            else if (kind == CallKind::kToText)
                SetConstant(e, TextValue(a->type == ZsType::kInt ? IntText(v.i) : FloatText(v.f)));
            // Texts are read as numbers when the program runs.
            return;
        }
        case CallKind::kRandom: {
            if (e->args.size() == 2) {
                if (!Arguments(e, name, {ZsType::kInt, ZsType::kInt})) return;
            } else if (e->args.size() == 1) {
                if (!Arguments(e, name, {ZsType::kInt})) return;
            } else {
                Error(e->pos, "'random' takes 1 or 2 arguments, not " + std::to_string(e->args.size()));
                for (auto& a : e->args) Check(a.get());
                return;
            }
            e->call = kind;
            e->type = ZsType::kInt;
            return;
        }
        case CallKind::kSleep:
            if (!Arguments(e, name, {ZsType::kInt})) return;
            e->call = kind;
            e->type = ZsType::kVoid;
            return;
        case CallKind::kWait:
            if (!Arguments(e, name, {})) return;
            e->call = kind;
            e->type = ZsType::kVoid;
            return;
        default:
            if (!Arguments(e, name, {})) return;
            e->call = kind;
            e->type = ZsType::kText;
            return;
        }
    }

    // -----------------------------------------------------------------------
    // [SECTION] Statements

    void Condition(Expr* e) {
        Check(e);
        if (e->type != ZsType::kInt && e->type != ZsType::kError)
            Error(e->pos, std::string("a condition must be int (a comparison or a number), not ") +
                              TypeName(e->type));
    }

    static bool MakesCode(const Stmt* s) {
        return !(s->kind == StmtKind::kConst || (s->kind == StmtKind::kBlock && s->body.empty()));
    }

    // Whether the end of the statement can be reached.
    bool Statement(Stmt* s) {
        switch (s->kind) {
        case StmtKind::kBlock: {
            PushScope();
            bool reachable = true, warned = false;
            for (auto& child : s->body) {
                if (!reachable && !warned && MakesCode(child.get())) {
                    diag_.Warning(child->pos, "unreachable code");
                    warned = true;
                }
                bool through = Statement(child.get());
                reachable = reachable && through;
            }
            PopScope();
            return reachable;
        }
        case StmtKind::kVar: Var(s); return true;
        case StmtKind::kConst: {
            s->skip = true;
            Check(s->expr.get());
            ZsValue v;
            if (s->expr->type != ZsType::kError && !s->expr->constant) {
                Error(s->expr->pos, "'" + s->name + "' must be given a constant value");
            } else if (s->expr->constant) {
                v = s->expr->value;
            }
            if (!FreeName(s->name, s->pos)) return true;
            Local l;
            l.name = s->name;
            l.pos = s->pos;
            l.isConst = true;
            l.type = v.type;
            l.value = v;
            // A constant that failed is known but stands for nothing.
            if (v.type == ZsType::kError) l.isConst = false;
            scopes_.back().locals.push_back(l);
            if (!l.isConst) scopes_.back().locals.back().read = true;
            return true;
        }
        case StmtKind::kIf: {
            Condition(s->expr.get());
            PushScope();
            bool a = Statement(s->then.get());
            PopScope();
            bool b = true;
            if (s->otherwise) {
                PushScope();
                b = Statement(s->otherwise.get());
                PopScope();
            }
            return a || b;
        }
        case StmtKind::kWhile:
        case StmtKind::kFor: {
            PushScope();
            if (s->init) Statement(s->init.get());
            if (s->expr) Condition(s->expr.get());
            loops_.emplace_back();
            PushScope();
            Statement(s->then.get());
            PopScope();
            if (s->step) Statement(s->step.get());
            bool broke = loops_.back().broke;
            loops_.pop_back();
            PopScope();
            bool forever = !s->expr || (s->expr->constant && s->expr->value.i != 0);
            return !forever || broke;
        }
        case StmtKind::kBreak:
            if (loops_.empty()) {
                Error(s->pos, "'break' outside a loop");
                return true;
            }
            loops_.back().broke = true;
            return false;
        case StmtKind::kContinue:
            if (loops_.empty()) {
                Error(s->pos, "'continue' outside a loop");
                return true;
            }
            return false;
        case StmtKind::kReturn: Return(s); return false;
        case StmtKind::kAssign: Assign(s); return true;
        case StmtKind::kExpr:
            if (s->expr->kind != ExprKind::kCall) {
                Check(s->expr.get());
                if (s->expr->type != ZsType::kError)
                    Error(s->pos, "this does nothing: a statement is a call, an assignment or a declaration");
                return true;
            }
            Check(s->expr.get(), ZsType::kError, true);
            return true;
        }
        return true;
    }

    void Var(Stmt* s) {
        ZsType type = s->declared;
        if (s->expr) {
            Check(s->expr.get(), s->hasType ? s->declared : ZsType::kError);
            ZsType got = s->expr->type;
            if (!s->hasType) {
                type = got;
            } else if (got != ZsType::kError && got != s->declared) {
                Error(s->expr->pos,
                      "'" + s->name + "' is " + TypeName(s->declared) + " and cannot hold " + TypeName(got));
            }
        }
        Local* l = Declare(s->name, s->pos, type);
        if (!l) return;
        // A local whose kind is unknown after a mistake is not reported again.
        if (type == ZsType::kError) l->read = true;
        s->slot = l->slot;
        s->valueType = type;
    }

    void Assign(Stmt* s) {
        Expr* t = s->target.get();
        ZsType type = ZsType::kError;
        Local* local = nullptr;
        if (t->kind == ExprKind::kName) {
            local = FindLocal(t->name);
            if ((!local && consts_.count(t->name)) || (local && local->isConst)) {
                Error(t->pos, "'" + t->name + "' is a constant and cannot change");
                local = nullptr;
            } else if (!local) {
                Error(t->pos, "unknown name '" + t->name + "'");
            } else {
                type = local->type;
                s->slot = local->slot;
            }
        } else if (t->kind == ExprKind::kMember && t->args[0]->kind == ExprKind::kName &&
                   (local = FindLocal(t->args[0]->name)) != nullptr && !local->isConst) {
            if (local->type == ZsType::kVector) {
                int c = t->name == "x" ? 0 : t->name == "y" ? 1 : t->name == "z" ? 2 : -1;
                if (c < 0) {
                    Error(t->pos, "a vector has x, y and z, not '" + t->name + "'");
                } else {
                    type = ZsType::kFloat;
                    s->slot = local->slot;
                    s->component = c;
                }
            } else if (local->type != ZsType::kError) {
                Error(t->pos, "'." + t->name + "' needs a vector, not " + TypeName(local->type));
            }
        } else {
            Error(t->pos, "only a local, or a local vector's x, y or z, can be assigned");
        }
        if ((s->op == Tok::kPlusPlus || s->op == Tok::kMinusMinus) && type != ZsType::kInt &&
            type != ZsType::kError) {
            Error(s->pos, OpText(s->op) + " needs an int local, not " + TypeName(type));
            type = ZsType::kError;
        }
        if (type == ZsType::kError && s->op != Tok::kAssign) {
            // The target is reported already; its copy in x op= e is not again.
            if (s->expr->kind == ExprKind::kBinary) Check(s->expr->args[1].get());
            s->slot = -1;
            return;
        }
        Check(s->expr.get(), type);
        ZsType got = s->expr->type;
        if (type == ZsType::kError || got == ZsType::kError) {
            s->slot = -1;
            return;
        }
        if (got != type) {
            std::string what = t->kind == ExprKind::kName ? t->name : t->args[0]->name + "." + t->name;
            Error(s->op == Tok::kAssign ? s->expr->pos : s->pos,
                  "'" + what + "' is " + TypeName(type) + " and cannot hold " + TypeName(got));
            s->slot = -1;
            return;
        }
        s->valueType = type;
    }

    void Return(Stmt* s) {
        if (function_) {
            const FunctionDecl& f = *function_;
            if (f.result == ZsType::kVoid) {
                if (s->expr) {
                    Check(s->expr.get(), ZsType::kError, true);
                    Error(s->expr->pos, "function '" + f.name + "' gives no value, so 'return' takes none");
                }
                return;
            }
            if (!s->expr) {
                Error(s->pos, "function '" + f.name + "' must return " + TypeName(f.result));
                return;
            }
            Check(s->expr.get(), f.result);
            ZsType got = s->expr->type;
            if (got != ZsType::kError && got != f.result)
                Error(s->expr->pos,
                      "function '" + f.name + "' returns " + TypeName(f.result) + ", not " + TypeName(got));
            s->valueType = f.result;
            return;
        }
        if (s->expr) {
            Check(s->expr.get());
            s->valueType = s->expr->type;
        }
    }

    // -----------------------------------------------------------------------
    // [SECTION] Declarations

    bool ValidName(const std::string& name, ZsPos at) {
        if (name.size() > kScriptMaxFileText) {
            Error(at, "a name longer than " + std::to_string(kScriptMaxFileText) + " characters");
            return false;
        }
        return true;
    }

    void Declarations() {
        std::map<std::string, ZsPos> programs;
        for (Unit::Decl& d : unit_.decls) {
            if (d.function) {
                FunctionDecl& f = *d.function;
                ValidName(f.name, f.pos);
                if (BuiltinKind(f.name) != CallKind::kNone) {
                    Error(f.pos, "'" + f.name + "' is a built-in function: choose another name");
                    continue;
                }
                auto found = functions_.find(f.name);
                if (found != functions_.end()) {
                    Error(f.pos, "function '" + f.name + "' is declared twice (first at line " +
                                     std::to_string(found->second->pos.line) + ")");
                    continue;
                }
                if (f.result == ZsType::kVector)
                    Error(f.pos, "a function cannot return a vector (the machine returns one word)");
                if (f.params.size() > 254) Error(f.pos, "a function takes at most 254 parameters");
                functions_[f.name] = &f;
            }
            if (d.program) {
                ProgramDecl& p = *d.program;
                ValidName(p.name, p.pos);
                auto found = programs.find(p.name);
                if (found != programs.end())
                    Error(p.pos, "program '" + p.name + "' is declared twice (first at line " +
                                     std::to_string(found->second.line) + ")");
                else
                    programs[p.name] = p.pos;
            }
        }
    }

    void TopConstant(ConstDecl& c) {
        auto found = consts_.find(c.name);
        if (found != consts_.end()) {
            Error(c.pos, "'" + c.name + "' is already a constant (line " +
                             std::to_string(found->second.pos.line) + ")");
            return;
        }
        TopConst t;
        t.pos = c.pos;
        Check(c.expr.get());
        if (c.expr->type != ZsType::kError && !c.expr->constant)
            Error(c.expr->pos, "'" + c.name + "' must be given a constant value");
        if (c.expr->constant) {
            t.value = c.expr->value;
            t.ok = true;
        }
        consts_[c.name] = t;
    }

    void BeginBody(int firstSlot) {
        scopes_.clear();
        loops_.clear();
        nextSlot_ = maxNext_ = firstSlot;
        PushScope();
    }

    void FunctionBody(FunctionDecl& f) {
        function_ = &f;
        BeginBody(1);
        for (const Param& p : f.params) {
            bool twice = false;
            for (const Local& other : scopes_.back().locals)
                if (other.name == p.name) twice = true;
            if (twice) Error(p.pos, "parameter '" + p.name + "' is given twice");
            Local* l = twice ? nullptr : Declare(p.name, p.pos, p.type);
            if (!l) {
                ++nextSlot_;  // the others keep the slots the call puts them in
                continue;
            }
            l->param = true;
        }
        maxNext_ = std::max(maxNext_, nextSlot_);
        f.fallsThrough = Statement(f.body.get());
        PopScope();
        f.slots = maxNext_ - 1;
        if (f.fallsThrough && f.result != ZsType::kVoid && f.result != ZsType::kVector)
            Error(f.end, "function '" + f.name + "' can reach its end without returning a value");
        function_ = nullptr;
    }

    void ProgramBody(ProgramDecl& p) {
        BeginBody(0);
        if (p.pattern) {
            Check(p.pattern.get());
            if (p.pattern->type != ZsType::kError) {
                if (!p.pattern->constant || p.pattern->type != ZsType::kText)
                    Error(p.pattern->pos,
                          "a trigger pattern must be a constant text, as in click(\"door*\")");
                else
                    p.patternText = p.pattern->value.t;
            }
        }
        Statement(p.body.get());
        PopScope();
        p.slots = maxNext_;
    }

    Unit& unit_;
    Diagnostics& diag_;
    std::map<std::string, TopConst> consts_;
    std::map<std::string, FunctionDecl*> functions_;
    std::vector<Scope> scopes_;
    std::vector<Loop> loops_;
    const FunctionDecl* function_ = nullptr;
    int nextSlot_ = 0;
    int maxNext_ = 0;
};

}  // namespace

void CheckZs(Unit& unit, Diagnostics& diag) { Checker(unit, diag).Run(); }
