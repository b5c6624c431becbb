// The parser.
//
// Index of this file:
// [SECTION] Tokens, mistakes and recovery
// [SECTION] Declarations
// [SECTION] Statements
// [SECTION] Expressions
#include "zsparser.h"

#include <algorithm>

#include "z1script/scriptfile.h"

namespace {

// Thrown after a mistake has been reported; caught where parsing can go on.
struct Bail {};

bool IsAssignment(Tok t) {
    return t == Tok::kAssign || t == Tok::kPlusAssign || t == Tok::kMinusAssign || t == Tok::kStarAssign ||
           t == Tok::kSlashAssign || t == Tok::kPercentAssign;
}

bool IsType(Tok t) {
    return t == Tok::kIntType || t == Tok::kFloatType || t == Tok::kTextType || t == Tok::kVectorType;
}

ZsType TypeOf(Tok t) {
    switch (t) {
    case Tok::kIntType: return ZsType::kInt;
    case Tok::kFloatType: return ZsType::kFloat;
    case Tok::kTextType: return ZsType::kText;
    case Tok::kVectorType: return ZsType::kVector;
    default: return ZsType::kError;
    }
}

class Parser {
public:
    Parser(const std::vector<Token>& tokens, Diagnostics& diag) : t_(tokens), diag_(diag) {}

    Unit Run() {
        Unit unit;
        while (!At(Tok::kEnd) && !diag_.Full()) {
            size_t before = i_;
            try {
                Unit::Decl d;
                switch (Peek().kind) {
                case Tok::kFunction: d.function = Function(); break;
                case Tok::kProgram: d.program = Program(); break;
                case Tok::kConst: d.constant = TopConst(); break;
                default: Fail(Peek().pos, "expected 'program', 'function' or 'const', found " + Found());
                }
                unit.decls.push_back(std::move(d));
            } catch (const Bail&) {
                if (i_ == before) ++i_;
                SyncTop();
            }
        }
        return unit;
    }

private:
    // Guards the recursive descent: nesting past the limit is a mistake.
    class Nest {
    public:
        Nest(Parser& p, ZsPos at) : p_(p) {
            if (++p_.nesting_ > kZsMaxNesting) {
                --p_.nesting_;
                p_.Fail(at, "nested too deeply");
            }
        }
        ~Nest() { --p_.nesting_; }

    private:
        Parser& p_;
    };

    // -----------------------------------------------------------------------
    // [SECTION] Tokens, mistakes and recovery

    const Token& Peek(size_t ahead = 0) const { return t_[std::min(i_ + ahead, t_.size() - 1)]; }
    bool At(Tok k) const { return Peek().kind == k; }
    const Token& Next() {
        const Token& t = Peek();
        if (i_ < t_.size() - 1) ++i_;
        return t;
    }
    bool Accept(Tok k) {
        if (!At(k)) return false;
        Next();
        return true;
    }
    std::string Found() const { return TokenDescription(Peek()); }
    [[noreturn]] void Fail(ZsPos at, const std::string& message) {
        diag_.Error(at, message);
        throw Bail{};
    }
    // A missing ';' is reported just after what it should follow; at the
    // end of a line it is taken as there, so the statement still counts.
    void ExpectSemicolon() {
        if (At(Tok::kSemicolon)) {
            Next();
            return;
        }
        ZsPos after = i_ > 0 ? t_[i_ - 1].end : Peek().pos;
        std::string message = "expected ';', found " + Found();
        if (Peek().pos.line > after.line || At(Tok::kRBrace)) {
            diag_.Error(after, message);
            return;
        }
        Fail(after, message);
    }
    const Token& Expect(Tok k) {
        if (k == Tok::kSemicolon) {
            ExpectSemicolon();
            return t_[i_ > 0 ? i_ - 1 : 0];
        }
        if (!At(k)) Fail(Peek().pos, "expected " + TokDescription(k) + ", found " + Found());
        return Next();
    }
    std::string ExpectName(const char* what) {
        if (!At(Tok::kName)) Fail(Peek().pos, std::string("expected ") + what + ", found " + Found());
        return Next().text;
    }
    ZsType ExpectType() {
        if (!IsType(Peek().kind))
            Fail(Peek().pos, "expected a kind (int, float, text or vector), found " + Found());
        return TypeOf(Next().kind);
    }
    bool AtWord(const char* word) const { return At(Tok::kName) && Peek().text == word; }

    // Skips to the next declaration at the outermost level.
    void SyncTop() {
        int depth = 0;
        while (!At(Tok::kEnd)) {
            Tok k = Peek().kind;
            if (depth == 0 && (k == Tok::kFunction || k == Tok::kProgram || k == Tok::kConst)) return;
            if (k == Tok::kLBrace) ++depth;
            if (k == Tok::kRBrace && depth > 0) --depth;
            Next();
        }
    }

    // Skips the rest of a statement: to its ';', or past the block it
    // opened, or up to the '}' of the block it stands in.
    void SyncStatement() {
        int depth = 0;
        while (!At(Tok::kEnd)) {
            Tok k = Peek().kind;
            if (k == Tok::kSemicolon && depth == 0) {
                Next();
                return;
            }
            if (k == Tok::kLBrace) ++depth;
            if (k == Tok::kRBrace) {
                if (depth == 0) return;
                Next();
                if (--depth == 0) return;
                continue;
            }
            Next();
        }
    }

    // -----------------------------------------------------------------------
    // [SECTION] Declarations

    std::unique_ptr<FunctionDecl> Function() {
        auto f = std::make_unique<FunctionDecl>();
        Next();
        f->pos = Peek().pos;
        f->name = ExpectName("the function's name");
        Expect(Tok::kLParen);
        if (!At(Tok::kRParen)) {
            do {
                Param p;
                p.pos = Peek().pos;
                p.name = ExpectName("a parameter's name");
                if (!At(Tok::kColon))
                    Fail(Peek().pos, "parameter '" + p.name + "' needs a kind, as in '" + p.name + ": int'");
                Next();
                p.type = ExpectType();
                f->params.push_back(p);
            } while (Accept(Tok::kComma));
        }
        Expect(Tok::kRParen);
        if (Accept(Tok::kColon)) f->result = ExpectType();
        f->body = Block(&f->end);
        return f;
    }

    std::unique_ptr<ProgramDecl> Program() {
        auto p = std::make_unique<ProgramDecl>();
        Next();
        p->pos = Peek().pos;
        if (At(Tok::kName) || At(Tok::kText)) {
            p->name = Next().text;
        } else {
            Fail(Peek().pos, "expected the program's name, found " + Found());
        }
        if (p->name.empty()) Fail(p->pos, "a program's name cannot be empty");
        bool triggered = false;
        for (;;) {
            if (AtWord("sync")) {
                if (p->sync) Fail(Peek().pos, "'sync' is given twice");
                Next();
                p->sync = true;
            } else if (AtWord("on")) {
                ZsPos on = Next().pos;
                if (triggered) Fail(on, "a program has one trigger");
                triggered = true;
                Trigger(*p);
            } else {
                break;
            }
        }
        if (!At(Tok::kLBrace))
            Fail(Peek().pos, "expected 'on', 'sync' or '{' after the program's name, found " + Found());
        p->body = Block(nullptr);
        return p;
    }

    void Trigger(ProgramDecl& p) {
        static const char* const kWords[] = {"never", "init", "click", "collision", "pickup"};
        int trigger = -1;
        if (At(Tok::kName))
            for (int k = 0; k < 5; ++k)
                if (Peek().text == kWords[k]) trigger = k;
        if (trigger < 0)
            Fail(Peek().pos,
                 "expected a trigger (init, click, collision, pickup or never), found " + Found());
        Next();
        p.trigger = trigger;
        if (trigger >= kTriggerClick) {
            if (!At(Tok::kLParen))
                Fail(Peek().pos, std::string("'") + kWords[trigger] +
                                     "' needs the pattern of the names it answers, as in " + kWords[trigger] +
                                     "(\"door*\")");
            Next();
            p.pattern = Expression();
            Expect(Tok::kRParen);
        }
    }

    std::unique_ptr<ConstDecl> TopConst() {
        auto c = std::make_unique<ConstDecl>();
        Next();
        c->pos = Peek().pos;
        c->name = ExpectName("the constant's name");
        Expect(Tok::kAssign);
        c->expr = Expression();
        Expect(Tok::kSemicolon);
        return c;
    }

    // -----------------------------------------------------------------------
    // [SECTION] Statements

    // A braced block; *end (when given) gets the closing brace's place.
    std::unique_ptr<Stmt> Block(ZsPos* end) {
        auto b = std::make_unique<Stmt>();
        b->kind = StmtKind::kBlock;
        b->pos = Expect(Tok::kLBrace).pos;
        Nest nest(*this, b->pos);
        while (!At(Tok::kRBrace)) {
            if (At(Tok::kEnd)) {
                diag_.Error(b->pos, "this '{' is never closed");
                if (end) *end = Peek().pos;
                return b;
            }
            if (diag_.Full()) throw Bail{};
            size_t before = i_;
            try {
                b->body.push_back(Statement());
            } catch (const Bail&) {
                if (diag_.Full()) throw;
                if (i_ == before && !At(Tok::kRBrace)) Next();
                SyncStatement();
            }
        }
        if (end) *end = Peek().pos;
        Next();
        return b;
    }

    std::unique_ptr<Stmt> Statement() {
        Nest nest(*this, Peek().pos);
        auto s = std::make_unique<Stmt>();
        s->pos = Peek().pos;
        switch (Peek().kind) {
        case Tok::kLBrace: return Block(nullptr);
        case Tok::kSemicolon:
            Next();
            s->kind = StmtKind::kBlock;
            return s;
        case Tok::kConst:
            Next();
            s->kind = StmtKind::kConst;
            s->pos = Peek().pos;
            s->name = ExpectName("the constant's name");
            Expect(Tok::kAssign);
            s->expr = Expression();
            Expect(Tok::kSemicolon);
            return s;
        case Tok::kIf:
            Next();
            s->kind = StmtKind::kIf;
            Expect(Tok::kLParen);
            s->expr = Expression();
            Expect(Tok::kRParen);
            s->then = Statement();
            if (Accept(Tok::kElse)) s->otherwise = Statement();
            return s;
        case Tok::kWhile:
            Next();
            s->kind = StmtKind::kWhile;
            Expect(Tok::kLParen);
            s->expr = Expression();
            Expect(Tok::kRParen);
            s->then = Statement();
            return s;
        case Tok::kFor:
            Next();
            s->kind = StmtKind::kFor;
            Expect(Tok::kLParen);
            if (!At(Tok::kSemicolon)) s->init = Simple(true);
            Expect(Tok::kSemicolon);
            if (!At(Tok::kSemicolon)) s->expr = Expression();
            Expect(Tok::kSemicolon);
            if (!At(Tok::kRParen)) s->step = Simple(false);
            Expect(Tok::kRParen);
            s->then = Statement();
            return s;
        case Tok::kBreak:
        case Tok::kContinue:
            s->kind = Next().kind == Tok::kBreak ? StmtKind::kBreak : StmtKind::kContinue;
            Expect(Tok::kSemicolon);
            return s;
        case Tok::kReturn:
            Next();
            s->kind = StmtKind::kReturn;
            if (!At(Tok::kSemicolon)) s->expr = Expression();
            Expect(Tok::kSemicolon);
            return s;
        default: break;
        }
        s = Simple(true);
        Expect(Tok::kSemicolon);
        return s;
    }

    // A declaration (when allowed), an assignment or a call, without its ';'.
    std::unique_ptr<Stmt> Simple(bool allowVar) {
        auto s = std::make_unique<Stmt>();
        s->pos = Peek().pos;
        if (At(Tok::kVar)) {
            if (!allowVar) Fail(Peek().pos, "a declaration cannot stand here");
            Next();
            s->kind = StmtKind::kVar;
            s->pos = Peek().pos;
            s->name = ExpectName("the local's name");
            if (Accept(Tok::kColon)) {
                s->declared = ExpectType();
                s->hasType = true;
            }
            if (Accept(Tok::kAssign)) {
                s->expr = Expression();
            } else if (!s->hasType) {
                Fail(Peek().pos, "local '" + s->name + "' needs a kind or a first value, as in 'var " +
                                     s->name + " = 0' or 'var " + s->name + ": int'");
            }
            return s;
        }
        auto e = Expression();
        if (IsAssignment(Peek().kind) || At(Tok::kPlusPlus) || At(Tok::kMinusMinus)) {
            s->kind = StmtKind::kAssign;
            s->pos = Peek().pos;
            s->op = Next().kind;
            s->target = std::move(e);
            if (s->op == Tok::kAssign) {
                s->expr = Expression();
                return s;
            }
            // x op= e is x = x op e, and x++ is x = x + 1: the code
            // generator finds the short forms the machine has.
            std::unique_ptr<Expr> right;
            if (s->op == Tok::kPlusPlus || s->op == Tok::kMinusMinus) {
                right = Node(ExprKind::kInt, s->pos);
                right->integer = 1;
                right->text = "1";
            } else {
                right = Expression();
            }
            s->expr = Binary(CompoundOperator(s->op), s->pos, CloneTarget(*s->target), std::move(right));
            return s;
        }
        s->kind = StmtKind::kExpr;
        s->expr = std::move(e);
        return s;
    }

    static Tok CompoundOperator(Tok op) {
        switch (op) {
        case Tok::kPlusAssign:
        case Tok::kPlusPlus: return Tok::kPlus;
        case Tok::kMinusAssign:
        case Tok::kMinusMinus: return Tok::kMinus;
        case Tok::kStarAssign: return Tok::kStar;
        case Tok::kSlashAssign: return Tok::kSlash;
        default: return Tok::kPercent;
        }
    }

    // The target read back for a compound assignment; only a local or a
    // local's component can be assigned, anything else stays an error node
    // (the target itself is reported).
    std::unique_ptr<Expr> CloneTarget(const Expr& t) {
        auto c = Node(ExprKind::kError, t.pos);
        if (t.kind == ExprKind::kName) {
            c->kind = ExprKind::kName;
            c->name = t.name;
        } else if (t.kind == ExprKind::kMember && t.args[0]->kind == ExprKind::kName) {
            c->kind = ExprKind::kMember;
            c->name = t.name;
            c->depth = 2;
            c->args.push_back(CloneTarget(*t.args[0]));
        }
        c->noRead = true;
        return c;
    }

    // -----------------------------------------------------------------------
    // [SECTION] Expressions

    std::unique_ptr<Expr> Node(ExprKind kind, ZsPos pos) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->pos = pos;
        return e;
    }

    std::unique_ptr<Expr> Binary(Tok op, ZsPos pos, std::unique_ptr<Expr> l, std::unique_ptr<Expr> r) {
        auto e = Node(ExprKind::kBinary, pos);
        e->op = op;
        e->depth = 1 + std::max(l->depth, r->depth);
        if (e->depth > kZsMaxNesting) Fail(pos, "expression nested too deeply");
        e->args.push_back(std::move(l));
        e->args.push_back(std::move(r));
        return e;
    }

    std::unique_ptr<Expr> Expression() {
        Nest nest(*this, Peek().pos);
        return BinaryAt(0);
    }

    // How tightly a binary operator binds: 0 (||) to 5 (* / %), -1 for a
    // token that is none. Every level groups from the left.
    static constexpr int kBinaryLevels = 6;
    static int BinaryLevel(Tok t) {
        switch (t) {
        case Tok::kOrOr: return 0;
        case Tok::kAndAnd: return 1;
        case Tok::kEq:
        case Tok::kNe: return 2;
        case Tok::kLt:
        case Tok::kGt:
        case Tok::kLe:
        case Tok::kGe: return 3;
        case Tok::kPlus:
        case Tok::kMinus: return 4;
        case Tok::kStar:
        case Tok::kSlash:
        case Tok::kPercent: return 5;
        default: return -1;
        }
    }

    // The operands and operators of one level, each operand an expression
    // of the levels that bind tighter.
    std::unique_ptr<Expr> BinaryAt(int level) {
        if (level == kBinaryLevels) return Unary();
        auto l = BinaryAt(level + 1);
        while (BinaryLevel(Peek().kind) == level) {
            const Token& op = Next();
            l = Binary(op.kind, op.pos, std::move(l), BinaryAt(level + 1));
        }
        return l;
    }

    std::unique_ptr<Expr> Unary() {
        Nest nest(*this, Peek().pos);
        if (At(Tok::kMinus) && (Peek(1).kind == Tok::kInt || Peek(1).kind == Tok::kFloat) &&
            Peek(2).kind != Tok::kDot) {
            // A negative number is one literal, so that -2147483648 can be written.
            ZsPos pos = Next().pos;
            auto e = Primary();
            e->pos = pos;
            e->negative = true;
            e->number = -e->number;
            return Postfix(std::move(e));
        }
        if (At(Tok::kMinus) || At(Tok::kNot)) {
            const Token& op = Next();
            auto e = Node(ExprKind::kUnary, op.pos);
            e->op = op.kind;
            auto operand = Unary();
            e->depth = operand->depth + 1;
            if (e->depth > kZsMaxNesting) Fail(e->pos, "expression nested too deeply");
            e->args.push_back(std::move(operand));
            return e;
        }
        return Postfix(Primary());
    }

    std::unique_ptr<Expr> Postfix(std::unique_ptr<Expr> e) {
        for (;;) {
            if (At(Tok::kDot)) {
                Next();
                auto m = Node(ExprKind::kMember, Peek().pos);
                m->name = ExpectName("a name after '.'");
                m->depth = e->depth + 1;
                if (m->depth > kZsMaxNesting) Fail(m->pos, "expression nested too deeply");
                m->args.push_back(std::move(e));
                e = std::move(m);
            } else if (At(Tok::kLParen)) {
                ZsPos open = Next().pos;
                std::string name;
                ZsPos pos = e->pos;
                if (e->kind == ExprKind::kName) {
                    name = e->name;
                } else if (e->kind == ExprKind::kMember && e->args[0]->kind == ExprKind::kName) {
                    name = e->args[0]->name + "." + e->name;
                    pos = e->args[0]->pos;
                } else {
                    Fail(open, "only functions can be called");
                }
                auto c = Node(ExprKind::kCall, pos);
                c->name = name;
                Arguments(c.get());
                e = std::move(c);
            } else {
                return e;
            }
        }
    }

    void Arguments(Expr* c) {
        if (!At(Tok::kRParen)) {
            do {
                auto a = Expression();
                c->depth = std::max(c->depth, a->depth + 1);
                c->args.push_back(std::move(a));
            } while (Accept(Tok::kComma));
        }
        Expect(Tok::kRParen);
        if (c->depth > kZsMaxNesting) Fail(c->pos, "expression nested too deeply");
    }

    std::unique_ptr<Expr> Primary() {
        const Token& t = Peek();
        switch (t.kind) {
        case Tok::kInt: {
            auto e = Node(ExprKind::kInt, t.pos);
            e->integer = t.integer;
            e->text = t.text;
            e->negative = false;
            // Hexadecimal numbers are bit patterns: 0xFFFFFFFF is -1.
            if (t.hex) e->name = "hex";
            Next();
            return e;
        }
        case Tok::kFloat: {
            auto e = Node(ExprKind::kFloat, t.pos);
            e->number = t.number;
            e->text = t.text;
            Next();
            return e;
        }
        case Tok::kText: {
            auto e = Node(ExprKind::kText, t.pos);
            e->text = t.text;
            Next();
            return e;
        }
        case Tok::kTrue:
        case Tok::kFalse: {
            auto e = Node(ExprKind::kBool, t.pos);
            e->integer = t.kind == Tok::kTrue ? 1 : 0;
            Next();
            return e;
        }
        case Tok::kName: {
            auto e = Node(ExprKind::kName, t.pos);
            e->name = t.text;
            Next();
            return e;
        }
        case Tok::kIntType:
        case Tok::kFloatType:
        case Tok::kTextType: {
            // Conversions: int(x), float(x), text(x).
            auto c = Node(ExprKind::kCall, t.pos);
            c->name = t.kind == Tok::kIntType ? "int" : t.kind == Tok::kFloatType ? "float" : "text";
            Next();
            if (!At(Tok::kLParen))
                Fail(Peek().pos, "expected '(' after '" + c->name + "' (a conversion, as in " + c->name +
                                     "(x)), found " + Found());
            Next();
            Arguments(c.get());
            return c;
        }
        case Tok::kVectorType: Fail(t.pos, "a vector is made with vec(x, y, z)");
        case Tok::kLParen: {
            Next();
            auto e = Expression();
            Expect(Tok::kRParen);
            return e;
        }
        default: Fail(t.pos, "expected a value, found " + Found());
        }
    }

    const std::vector<Token>& t_;
    Diagnostics& diag_;
    size_t i_ = 0;
    int nesting_ = 0;
};

}  // namespace

Unit ParseZs(const std::vector<Token>& tokens, Diagnostics& diag) { return Parser(tokens, diag).Run(); }
