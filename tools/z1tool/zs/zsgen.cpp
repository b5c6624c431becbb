// The code generator.
//
// Index of this file:
// [SECTION] Record builder: code, constants, labels, lines
// [SECTION] Values
// [SECTION] Branches
// [SECTION] Vectors
// [SECTION] Statements
// [SECTION] Records
//
// What the machine runs fastest (z1script/scriptdecoded.h) decides the
// shapes: an operation whose first operand is a local and whose second is a
// local or a number, optionally stored into a local, is one fused step; so
// is a compare-and-jump on such operands, and a return of a local. The
// generator puts a local first where the operation allows (a + 1 rather
// than 1 + a), adds small numbers to an int local with addl, tests loops at
// their bottom (one compare-and-jump a round), and works vector arithmetic
// out component by component, straight into the target where it can.
#include "zsgen.h"

#include <algorithm>
#include <map>

#include "zscheck.h"
#include "z1script/opcodes.h"
#include "z1script/scriptvalue.h"

namespace {

// ---------------------------------------------------------------------------
// [SECTION] Record builder: code, constants, labels, lines

bool SameConstant(const ScriptConstantEntry& a, const ScriptConstantEntry& b) {
    if (a.type != b.type) return false;
    switch (a.type) {
    case kScriptConstInt: return a.integer == b.integer;
    case kScriptConstFloat: return FloatToWord(a.number) == FloatToWord(b.number);
    case kScriptConstText: return a.text == b.text;
    default:
        for (int c = 0; c < 3; ++c)
            if (FloatToWord(a.vector[c]) != FloatToWord(b.vector[c])) return false;
        return true;
    }
}

class RecordBuilder {
public:
    ScriptRecord rec;
    std::vector<ScriptLineEntry> lines;  // offsets in this record's code
    int line = 1;

    int Constant(const ScriptConstantEntry& c) {
        for (size_t i = 0; i < rec.constants.size(); ++i)
            if (SameConstant(rec.constants[i], c)) return static_cast<int>(i);
        rec.constants.push_back(c);
        return static_cast<int>(rec.constants.size() - 1);
    }
    int TextConstant(const std::string& t) {
        ScriptConstantEntry c;
        c.type = kScriptConstText;
        c.text = t;
        return Constant(c);
    }

    void Op(uint8_t op) {
        Mark();
        rec.code.push_back(op);
    }
    void Op(uint8_t op, int a) {
        Mark();
        rec.code.push_back(op);
        rec.code.push_back(static_cast<uint8_t>(a));
    }
    void Op(uint8_t op, int a, int b) {
        Mark();
        rec.code.push_back(op);
        rec.code.push_back(static_cast<uint8_t>(a));
        rec.code.push_back(static_cast<uint8_t>(b));
    }
    int NewLabel() {
        at_.push_back(-1);
        return static_cast<int>(at_.size() - 1);
    }
    void Place(int label) { at_[label] = static_cast<int>(rec.code.size()); }
    void Jump(uint8_t op, int label) {
        Mark();
        rec.code.push_back(op);
        uses_.push_back({rec.code.size(), label});
        rec.code.push_back(0);
    }

    // Numbers the labels (one table entry per place jumped to) and fills the
    // counts; false with the reason when a table overflows.
    bool Finish(std::string* why) {
        std::map<int, int> index;  // code offset -> label index
        for (const Use& u : uses_) {
            int offset = at_[u.label] < 0 ? 0 : at_[u.label];
            auto found = index.find(offset);
            if (found == index.end()) {
                found = index.emplace(offset, static_cast<int>(rec.labels.size())).first;
                rec.labels.push_back(offset);
            }
            rec.code[u.at] = static_cast<uint8_t>(found->second);
        }
        if (rec.constants.size() > 255) {
            *why = "needs " + std::to_string(rec.constants.size()) +
                   " constants, more than the 255 a record holds; split it into functions";
            return false;
        }
        if (rec.labels.size() > 255) {
            *why = "needs " + std::to_string(rec.labels.size()) +
                   " jump targets, more than the 255 a record holds; split it into functions";
            return false;
        }
        rec.constant_count = static_cast<uint8_t>(rec.constants.size());
        rec.label_count = static_cast<uint8_t>(rec.labels.size());
        rec.code_size = static_cast<uint32_t>(rec.code.size());
        return true;
    }

private:
    struct Use {
        size_t at;
        int label;
    };
    void Mark() {
        if (lines.empty() || lines.back().line != line)
            lines.push_back({static_cast<uint32_t>(rec.code.size()), line});
    }
    std::vector<int> at_;
    std::vector<Use> uses_;
};

const uint8_t kPushComponent[3] = {ScriptOp::pushlx, ScriptOp::pushly, ScriptOp::pushlz};
const uint8_t kStoreComponent[3] = {ScriptOp::storel, ScriptOp::storely, ScriptOp::storelz};

Tok Mirror(Tok op) {
    switch (op) {
    case Tok::kLt: return Tok::kGt;
    case Tok::kGt: return Tok::kLt;
    case Tok::kLe: return Tok::kGe;
    case Tok::kGe: return Tok::kLe;
    default: return op;
    }
}

Tok Inverse(Tok op) {
    switch (op) {
    case Tok::kEq: return Tok::kNe;
    case Tok::kNe: return Tok::kEq;
    case Tok::kLt: return Tok::kGe;
    case Tok::kGe: return Tok::kLt;
    case Tok::kGt: return Tok::kLe;
    default: return Tok::kGt;
    }
}

uint8_t CompareJump(Tok op) {
    switch (op) {
    case Tok::kEq: return ScriptOp::jeq;
    case Tok::kNe: return ScriptOp::jne;
    case Tok::kLt: return ScriptOp::jlt;
    case Tok::kGt: return ScriptOp::jgt;
    case Tok::kLe: return ScriptOp::jle;
    default: return ScriptOp::jge;
    }
}

uint8_t Arith(ZsType type, Tok op) {
    if (type == ZsType::kFloat || type == ZsType::kVector) {
        switch (op) {
        case Tok::kPlus: return ScriptOp::fadd;
        case Tok::kMinus: return ScriptOp::fsub;
        case Tok::kStar: return ScriptOp::fmul;
        default: return ScriptOp::fdiv;
        }
    }
    switch (op) {
    case Tok::kPlus: return ScriptOp::add;
    case Tok::kMinus: return ScriptOp::sub;
    case Tok::kStar: return ScriptOp::mul;
    case Tok::kSlash: return ScriptOp::div;
    default: return ScriptOp::mod;
    }
}

bool Scalar(ZsType t) { return t == ZsType::kInt || t == ZsType::kFloat || t == ZsType::kText; }

// A local's value (or a local vector's component): one push.
bool LocalLeaf(const Expr* e) {
    return !e->constant && e->slot >= 0 &&
           ((e->kind == ExprKind::kName && Scalar(e->type)) || e->kind == ExprKind::kMember);
}
bool ConstLeaf(const Expr* e) { return e->constant && Scalar(e->type); }
bool Leaf(const Expr* e) { return LocalLeaf(e) || ConstLeaf(e); }

class BodyGen {
public:
    BodyGen(RecordBuilder& rb, int firstTemp, bool program)
        : rb_(rb), tempNext_(firstTemp), tempEnd_(firstTemp), program_(program) {}

    int TempEnd() const { return tempEnd_; }

    // -----------------------------------------------------------------------
    // [SECTION] Values

    void At(const Expr* e) { rb_.line = e->pos.line; }

    void PushInt(int32_t v) {
        if (v >= 0 && v <= 5) {
            rb_.Op(static_cast<uint8_t>(ScriptOp::push0 + v));
            return;
        }
        ScriptConstantEntry c;
        c.type = kScriptConstInt;
        c.integer = v;
        rb_.Op(ScriptOp::pushc, rb_.Constant(c));
    }
    void PushFloat(float f) {
        if (FloatToWord(f) == 0) {
            rb_.Op(ScriptOp::push0);  // +0.0 is the word 0
            return;
        }
        ScriptConstantEntry c;
        c.type = kScriptConstFloat;
        c.number = f;
        rb_.Op(ScriptOp::pushc, rb_.Constant(c));
    }
    void PushConst(const ZsValue& v) {
        switch (v.type) {
        case ZsType::kInt: PushInt(v.i); return;
        case ZsType::kFloat: PushFloat(v.f); return;
        case ZsType::kText: rb_.Op(ScriptOp::pushc, rb_.TextConstant(v.t)); return;
        default: {
            ScriptConstantEntry c;
            c.type = kScriptConstVector;
            for (int k = 0; k < 3; ++k) c.vector[k] = v.v[k];
            rb_.Op(ScriptOp::pushcv, rb_.Constant(c));
            return;
        }
        }
    }

    // Pushes one slot: the value of e.
    void Value(const Expr* e) {
        if (e->constant) {
            At(e);
            PushConst(e->value);
            return;
        }
        if (e->type == ZsType::kVector) {
            VectorValue(e);
            return;
        }
        switch (e->kind) {
        case ExprKind::kName:
            At(e);
            rb_.Op(ScriptOp::pushl, e->slot);
            return;
        case ExprKind::kMember:
            if (e->slot >= 0) {
                At(e);
                rb_.Op(kPushComponent[e->component], e->slot);
            } else {
                Hoist(e->args[0].get());
                Component(e->args[0].get(), e->component);
            }
            return;
        case ExprKind::kUnary:
            if (e->op == Tok::kMinus) {
                Value(e->args[0].get());
                At(e);
                rb_.Op(e->type == ZsType::kInt ? ScriptOp::neg : ScriptOp::fneg);
            } else {
                Materialise(e);
            }
            return;
        case ExprKind::kBinary:
            switch (e->binary) {
            case BinaryKind::kIntArith:
            case BinaryKind::kFloatArith: Arithmetic(e); return;
            case BinaryKind::kJoin:
                Value(e->args[0].get());
                ToText(e, e->joinLeft);
                Value(e->args[1].get());
                ToText(e, e->joinRight);
                At(e);
                rb_.Op(ScriptOp::concat);
                return;
            default: Materialise(e); return;
            }
        case ExprKind::kCall: CallValue(e); return;
        default: return;
        }
    }

    void ToText(const Expr* e, ZsType from) {
        At(e);
        if (from == ZsType::kInt) rb_.Op(ScriptOp::itos);
        if (from == ZsType::kFloat) rb_.Op(ScriptOp::ftos);
    }

    void Arithmetic(const Expr* e) {
        const Expr* l = e->args[0].get();
        const Expr* r = e->args[1].get();
        // A number first and a local second: the other way round fuses.
        bool commutes = e->op == Tok::kPlus || e->op == Tok::kStar;
        if (commutes && ConstLeaf(l) && LocalLeaf(r)) std::swap(l, r);
        Value(l);
        Value(r);
        At(e);
        rb_.Op(Arith(e->type, e->op));
    }

    void CallValue(const Expr* e) {
        switch (e->call) {
        case CallKind::kUser:
            for (const auto& a : e->args) Value(a.get());
            At(e);
            rb_.Op(ScriptOp::call, rb_.TextConstant(e->name));
            return;
        case CallKind::kToInt:
            Value(e->args[0].get());
            At(e);
            if (e->convertFrom == ZsType::kFloat) rb_.Op(ScriptOp::ftoi);
            if (e->convertFrom == ZsType::kText) rb_.Op(ScriptOp::stoi);
            return;
        case CallKind::kToFloat:
            Value(e->args[0].get());
            At(e);
            if (e->convertFrom == ZsType::kInt) rb_.Op(ScriptOp::itof);
            if (e->convertFrom == ZsType::kText) rb_.Op(ScriptOp::stof);
            return;
        case CallKind::kToText:
            Value(e->args[0].get());
            ToText(e, e->convertFrom);
            return;
        case CallKind::kRandom:
            for (const auto& a : e->args) Value(a.get());
            At(e);
            rb_.Op(e->args.size() == 2 ? ScriptOp::randrange : ScriptOp::rand);
            return;
        case CallKind::kSleep:
            Value(e->args[0].get());
            At(e);
            rb_.Op(ScriptOp::sleep);
            return;
        case CallKind::kWait:
            At(e);
            rb_.Op(ScriptOp::wait);
            return;
        case CallKind::kStartName:
            At(e);
            rb_.Op(ScriptOp::pusharg);
            return;
        case CallKind::kEngine: {
            const ZsEngineCall& c = kZsEngineCalls[e->engine];
            size_t next = 0;
            if (c.takesText) {
                Value(e->args[next++].get());
            } else {
                At(e);
                rb_.Op(ScriptOp::pushnull);
            }
            At(e);
            PushInt(c.code);
            if (c.value == ZsType::kVoid) {
                rb_.Op(ScriptOp::push0);  // the value no receiver reads
            } else {
                Value(e->args[next].get());
            }
            At(e);
            rb_.Op(c.opcode);
            return;
        }
        default: return;  // vec() is a vector: see VectorValue
        }
    }

    // An int 0 or 1 from a condition.
    void Materialise(const Expr* e) {
        int yes = rb_.NewLabel(), done = rb_.NewLabel();
        Branch(e, yes, true);
        At(e);
        rb_.Op(ScriptOp::push0);
        rb_.Jump(ScriptOp::jmp, done);
        rb_.Place(yes);
        rb_.Op(ScriptOp::push1);
        rb_.Place(done);
    }

    // -----------------------------------------------------------------------
    // [SECTION] Branches

    // Jumps to label when e's truth is `when`; falls through otherwise.
    void Branch(const Expr* e, int label, bool when) {
        if (e->constant) {
            At(e);
            if ((e->value.i != 0) == when) rb_.Jump(ScriptOp::jmp, label);
            return;
        }
        if (e->kind == ExprKind::kUnary && e->op == Tok::kNot) {
            Branch(e->args[0].get(), label, !when);
            return;
        }
        if (e->kind == ExprKind::kBinary) {
            const Expr* l = e->args[0].get();
            const Expr* r = e->args[1].get();
            switch (e->binary) {
            case BinaryKind::kAnd:
            case BinaryKind::kOr: {
                // a && b jumps when both hold; a || b when either does.
                bool all = e->binary == BinaryKind::kAnd;
                if (all == when) {
                    int skip = rb_.NewLabel();
                    Branch(l, skip, !when);
                    Branch(r, label, when);
                    rb_.Place(skip);
                } else {
                    Branch(l, label, when);
                    Branch(r, label, when);
                }
                return;
            }
            case BinaryKind::kIntCompare: {
                Tok op = e->op;
                if (ConstLeaf(l) && LocalLeaf(r)) {
                    std::swap(l, r);
                    op = Mirror(op);
                }
                Value(l);
                Value(r);
                At(e);
                rb_.Jump(CompareJump(when ? op : Inverse(op)), label);
                return;
            }
            case BinaryKind::kFloatCompare: {
                // The sign of a - b decides. -0 (from -0 - 0) must count as
                // 0: for > and <= it does as it stands; a < b is -(a - b) > 0,
                // a >= b is -(a - b) <= 0; == and != add 0.0 first.
                Value(l);
                Value(r);
                At(e);
                rb_.Op(ScriptOp::fsub);
                Tok op = e->op;
                if (op == Tok::kLt || op == Tok::kGe) {
                    rb_.Op(ScriptOp::fneg);
                    op = op == Tok::kLt ? Tok::kGt : Tok::kLe;
                } else if (op == Tok::kEq || op == Tok::kNe) {
                    rb_.Op(ScriptOp::push0);
                    rb_.Op(ScriptOp::fadd);
                }
                rb_.Op(ScriptOp::push0);
                rb_.Jump(CompareJump(when ? op : Inverse(op)), label);
                return;
            }
            case BinaryKind::kTextCompare:
                Value(l);
                Value(r);
                At(e);
                rb_.Jump((e->op == Tok::kEq) == when ? ScriptOp::jteq : ScriptOp::jtne, label);
                return;
            default: break;
            }
        }
        if (LocalLeaf(e)) {
            // Against a pushed 0 it fuses with the push of the local.
            Value(e);
            rb_.Op(ScriptOp::push0);
            rb_.Jump(when ? ScriptOp::jne : ScriptOp::jeq, label);
            return;
        }
        Value(e);
        At(e);
        rb_.Jump(when ? ScriptOp::jnz : ScriptOp::jz, label);
    }

    // -----------------------------------------------------------------------
    // [SECTION] Vectors
    //
    // A vector expression is made of vector locals, vector constants, vec()
    // and the operators; each component is worked out on its own. Scalar
    // operands that are not a single push are worked out once, first, in
    // source order, into temporary locals.

    int Temp() {
        int t = tempNext_++;
        if (tempNext_ > tempEnd_) tempEnd_ = tempNext_;
        return t;
    }

    void HoistScalar(const Expr* e) {
        if (Leaf(e) || hoisted_.count(e)) return;
        Value(e);
        int t = Temp();
        At(e);
        rb_.Op(ScriptOp::storel, t);
        hoisted_[e] = t;
    }

    void Hoist(const Expr* e) {
        if (e->constant || e->kind == ExprKind::kName) return;
        if (e->kind == ExprKind::kCall) {  // vec()
            for (const auto& a : e->args) HoistScalar(a.get());
            return;
        }
        for (const auto& a : e->args) {
            if (a->type == ZsType::kVector)
                Hoist(a.get());
            else
                HoistScalar(a.get());
        }
    }

    void ScalarOperand(const Expr* e) {
        auto found = hoisted_.find(e);
        if (found != hoisted_.end()) {
            At(e);
            rb_.Op(ScriptOp::pushl, found->second);
        } else {
            Value(e);
        }
    }

    // Pushes component c of the vector expression e (hoisted already).
    void Component(const Expr* e, int c) {
        if (e->constant) {
            At(e);
            PushFloat(e->value.v[c]);
            return;
        }
        switch (e->kind) {
        case ExprKind::kName:
            At(e);
            rb_.Op(kPushComponent[c], e->slot);
            return;
        case ExprKind::kCall: ScalarOperand(e->args[c].get()); return;
        case ExprKind::kUnary:
            Component(e->args[0].get(), c);
            At(e);
            rb_.Op(ScriptOp::fneg);
            return;
        case ExprKind::kBinary: {
            const Expr* l = e->args[0].get();
            const Expr* r = e->args[1].get();
            if (l->type == ZsType::kVector)
                Component(l, c);
            else
                ScalarOperand(l);
            if (r->type == ZsType::kVector)
                Component(r, c);
            else
                ScalarOperand(r);
            At(e);
            rb_.Op(Arith(ZsType::kFloat, e->op));
            return;
        }
        default: return;
        }
    }

    void VectorValue(const Expr* e) {
        At(e);
        if (e->constant) {
            PushConst(e->value);
            return;
        }
        if (e->kind == ExprKind::kName) {
            rb_.Op(ScriptOp::pushlv, e->slot);
            return;
        }
        Hoist(e);
        for (int c = 0; c < 3; ++c) Component(e, c);
        At(e);
        rb_.Op(ScriptOp::vec);
    }

    // Whether component c of e may be stored before the later components are
    // worked out: they must not read the target's other components.
    bool ReadsComponentOf(const Expr* e, int slot) const {
        if (hoisted_.count(e)) return false;
        if (e->kind == ExprKind::kMember && e->slot == slot) return true;
        for (const auto& a : e->args)
            if (ReadsComponentOf(a.get(), slot)) return true;
        return false;
    }

    void StoreVector(int slot, const Expr* e) {
        if (e->constant || e->kind == ExprKind::kName) {
            VectorValue(e);
            rb_.Op(ScriptOp::storelv, slot);
            return;
        }
        Hoist(e);
        if (!ReadsComponentOf(e, slot)) {
            for (int c = 0; c < 3; ++c) {
                Component(e, c);
                rb_.Op(kStoreComponent[c], slot);
            }
            return;
        }
        for (int c = 0; c < 3; ++c) Component(e, c);
        At(e);
        rb_.Op(ScriptOp::vec);
        rb_.Op(ScriptOp::storelv, slot);
    }

    // -----------------------------------------------------------------------
    // [SECTION] Statements

    // Stores e into a local (or one of a local vector's components).
    void Store(int slot, int component, ZsType type, const Expr* e) {
        if (type == ZsType::kVector) {
            StoreVector(slot, e);
            return;
        }
        if (component < 0 && type == ZsType::kInt && e->kind == ExprKind::kBinary &&
            e->binary == BinaryKind::kIntArith && e->op == Tok::kPlus) {
            // local = local + n, n in 0..255: one addl.
            const Expr* l = e->args[0].get();
            const Expr* r = e->args[1].get();
            if (ConstLeaf(l)) std::swap(l, r);
            if (l->kind == ExprKind::kName && l->slot == slot && ConstLeaf(r) && r->value.i >= 0 &&
                r->value.i <= 255) {
                At(e);
                rb_.Op(ScriptOp::addl, slot, r->value.i);
                return;
            }
        }
        Value(e);
        rb_.Op(component < 0 ? static_cast<uint8_t>(ScriptOp::storel) : kStoreComponent[component], slot);
    }

    void ZeroInto(int slot, ZsType type) {
        switch (type) {
        case ZsType::kText: rb_.Op(ScriptOp::pushnull); break;
        case ZsType::kVector: {
            ZsValue zero;
            zero.type = ZsType::kVector;
            PushConst(zero);
            rb_.Op(ScriptOp::storelv, slot);
            return;
        }
        default: rb_.Op(ScriptOp::push0); break;
        }
        rb_.Op(ScriptOp::storel, slot);
    }

    void Block(const Stmt* s, bool outermost) {
        for (size_t i = 0; i < s->body.size(); ++i) {
            const Stmt* child = s->body[i].get();
            bool last = outermost && i + 1 == s->body.size();
            if (last && child->kind == StmtKind::kReturn && program_) lastReturn_ = child;
            Statement(child);
        }
    }

    void Statement(const Stmt* s) {
        rb_.line = s->pos.line;
        const int temps = tempNext_;
        switch (s->kind) {
        case StmtKind::kBlock: Block(s, false); break;
        case StmtKind::kConst: break;
        case StmtKind::kVar:
            if (s->slot < 0) break;
            if (s->expr)
                Store(s->slot, -1, s->valueType, s->expr.get());
            else
                ZeroInto(s->slot, s->valueType);
            break;
        case StmtKind::kAssign:
            if (s->slot >= 0) Store(s->slot, s->component, s->valueType, s->expr.get());
            break;
        case StmtKind::kExpr:
            Value(s->expr.get());
            if (s->expr->type != ZsType::kVoid) rb_.Op(ScriptOp::pop);
            break;
        case StmtKind::kIf: {
            int otherwise = rb_.NewLabel();
            Branch(s->expr.get(), otherwise, false);
            hoisted_.clear();
            tempNext_ = temps;
            Statement(s->then.get());
            if (s->otherwise) {
                int done = rb_.NewLabel();
                rb_.line = s->pos.line;
                rb_.Jump(ScriptOp::jmp, done);
                rb_.Place(otherwise);
                Statement(s->otherwise.get());
                rb_.Place(done);
            } else {
                rb_.Place(otherwise);
            }
            break;
        }
        case StmtKind::kWhile:
        case StmtKind::kFor: Loop(s); break;
        case StmtKind::kBreak: rb_.Jump(ScriptOp::jmp, loops_.back().exit); break;
        case StmtKind::kContinue: rb_.Jump(ScriptOp::jmp, loops_.back().next); break;
        case StmtKind::kReturn: Return(s); break;
        }
        hoisted_.clear();
        tempNext_ = temps;
    }

    void Loop(const Stmt* s) {
        if (s->init) Statement(s->init.get());
        const bool forever = !s->expr || (s->expr->constant && s->expr->value.i != 0);
        LoopLabels labels{rb_.NewLabel(), rb_.NewLabel()};
        int body = rb_.NewLabel(), test = rb_.NewLabel();
        rb_.line = s->pos.line;
        // The test stands at the bottom: one compare-and-jump a round.
        if (!forever) rb_.Jump(ScriptOp::jmp, test);
        rb_.Place(body);
        loops_.push_back(labels);
        Statement(s->then.get());
        loops_.pop_back();
        rb_.Place(labels.next);
        if (s->step) Statement(s->step.get());
        rb_.Place(test);
        if (forever) {
            rb_.line = s->pos.line;
            rb_.Jump(ScriptOp::jmp, body);
        } else {
            Branch(s->expr.get(), body, true);
        }
        rb_.Place(labels.exit);
    }

    void Return(const Stmt* s) {
        if (!program_) {
            if (!s->expr) {
                rb_.Op(ScriptOp::ret);
                return;
            }
            Value(s->expr.get());  // a local then retv fuses
            rb_.line = s->pos.line;
            rb_.Op(ScriptOp::retv);
            return;
        }
        // A program's value stays on top of its stack when it ends.
        if (s->expr) Value(s->expr.get());
        if (s != lastReturn_) {
            if (end_ < 0) end_ = rb_.NewLabel();
            rb_.line = s->pos.line;
            rb_.Jump(ScriptOp::jmp, end_);
        }
    }

    void PlaceEnd() {
        if (end_ >= 0) rb_.Place(end_);
    }

private:
    struct LoopLabels {
        int exit;
        int next;
    };
    RecordBuilder& rb_;
    int tempNext_;
    int tempEnd_;
    bool program_;
    std::map<const Expr*, int> hoisted_;
    std::vector<LoopLabels> loops_;
    const Stmt* lastReturn_ = nullptr;
    int end_ = -1;
};

// ---------------------------------------------------------------------------
// [SECTION] Records

std::string Quoted(const std::string& name) { return "'" + name + "'"; }

}  // namespace

void GenerateZs(const Unit& unit, Diagnostics& diag, ZsOutput* out) {
    uint64_t offset = 0;
    for (const Unit::Decl& d : unit.decls) {
        if (!d.function && !d.program) continue;
        RecordBuilder rb;
        ScriptRecord& r = rb.rec;
        ZsPos pos;
        std::string what;
        std::string why;
        bool ok = true;
        if (d.function) {
            const FunctionDecl& f = *d.function;
            pos = f.pos;
            what = "function " + Quoted(f.name);
            rb.line = f.pos.line;
            r.type = kScriptFunctionRecord;
            r.name = f.name;
            r.param_count = static_cast<uint8_t>(f.params.size());
            BodyGen gen(rb, f.slots + 1, false);
            gen.Block(f.body.get(), true);
            if (f.fallsThrough) {
                rb.line = f.end.line;
                rb.Op(ScriptOp::ret);
            }
            int frame = std::max(f.slots, gen.TempEnd() - 1);
            if (frame > 255) {
                why = "needs " + std::to_string(frame) + " local slots, more than the 255 a function has";
                ok = false;
            }
            r.frame_size = static_cast<uint8_t>(frame);
        } else {
            const ProgramDecl& p = *d.program;
            pos = p.pos;
            what = "program " + Quoted(p.name);
            rb.line = p.pos.line;
            r.type = kScriptProgramRecord;
            r.name = p.name;
            r.synchronized = p.sync ? 1 : 0;
            r.trigger = static_cast<uint8_t>(p.trigger);
            // Constant 0 is the pattern a fired trigger is matched against.
            if (p.trigger >= kTriggerClick) rb.TextConstant(p.patternText);
            BodyGen gen(rb, p.slots, true);
            gen.Block(p.body.get(), true);
            gen.PlaceEnd();
            int locals = std::max(p.slots, gen.TempEnd());
            if (locals > 255) {
                why = "needs " + std::to_string(locals) + " local slots, more than the 255 a program has";
                ok = false;
            }
            r.local_count = static_cast<uint8_t>(locals);
        }
        if (ok && !rb.Finish(&why)) ok = false;
        if (!ok) {
            diag.Error(pos, what + " " + why);
            continue;
        }
        for (const ScriptLineEntry& e : rb.lines)
            if (e.offset < r.code.size())
                out->lines.push_back({static_cast<uint32_t>(offset + e.offset), e.line});
        offset += r.code.size();
        out->records.push_back(std::move(r));
        if (offset >= kScriptCodeSegmentSize) {
            diag.Error(ZsPos{1, 1}, "the compiled code does not fit the engine's code segment of " +
                                        std::to_string(kScriptCodeSegmentSize) + " bytes");
            return;
        }
    }
    out->codeSize = static_cast<uint32_t>(offset);
}
