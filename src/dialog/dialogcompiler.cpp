// The dialog compiler: dialog-language source into the bytes of a dialog
// file, through the dialog objects and the dialog writer.
//
// Index of this file:
// [SECTION] Lexer
// [SECTION] Parser
// [SECTION] Compiling
#include "dialog/dialoglanguage.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

// ---------------------------------------------------------------------------
// [SECTION] Lexer
enum TokenKind {
    T_END,
    T_IDENT,
    T_INT,
    T_STRING,
    T_AT,
    T_DOLLAR,
    T_LBRACE,
    T_RBRACE,
    T_LPAREN,
    T_RPAREN,
    T_COMMA
};

struct Token {
    TokenKind kind = T_END;
    std::string text;  // identifier, or the decoded bytes of a string
    long value = 0;    // integers
    int line = 1;
    int column = 1;
};

struct CompileFailure {
    int line;
    int column;
    std::string message;
};

class Lexer {
public:
    explicit Lexer(const std::string& s) : src_(s) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        for (;;) {
            skipBlanks();
            Token t;
            t.line = line_;
            t.column = column_;
            if (pos_ >= src_.size()) {
                out.push_back(t);
                return out;
            }
            char c = src_[pos_];
            if (isIdentStart(c)) {
                t.kind = T_IDENT;
                while (pos_ < src_.size() && isIdentChar(src_[pos_])) t.text += take();
            } else if (isDigit(c) || (c == '-' && pos_ + 1 < src_.size() && isDigit(src_[pos_ + 1]))) {
                t.kind = T_INT;
                std::string digits(1, take());
                while (pos_ < src_.size() && isDigit(src_[pos_])) digits += take();
                if (digits.size() > 7)
                    throw CompileFailure{t.line, t.column, "number '" + digits + "' is too large"};
                t.value = std::strtol(digits.c_str(), nullptr, 10);
            } else if (c == '"') {
                t.kind = T_STRING;
                readString(&t);
            } else {
                take();
                switch (c) {
                case '@': t.kind = T_AT; break;
                case '$': t.kind = T_DOLLAR; break;
                case '{': t.kind = T_LBRACE; break;
                case '}': t.kind = T_RBRACE; break;
                case '(': t.kind = T_LPAREN; break;
                case ')': t.kind = T_RPAREN; break;
                case ',': t.kind = T_COMMA; break;
                default: {
                    char buf[64];
                    if ((unsigned char)c >= 0x21 && (unsigned char)c < 0x7f)
                        std::snprintf(buf, sizeof buf, "unexpected character '%c'", c);
                    else
                        std::snprintf(buf, sizeof buf, "unexpected byte 0x%02x", (unsigned char)c);
                    throw CompileFailure{t.line, t.column, buf};
                }
                }
            }
            out.push_back(t);
        }
    }

private:
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static bool isIdentStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
    static bool isIdentChar(char c) { return isIdentStart(c) || isDigit(c); }

    char take() {
        char c = src_[pos_++];
        if (c == '\n') {
            ++line_;
            column_ = 1;
        } else {
            ++column_;
        }
        return c;
    }

    void skipBlanks() {
        while (pos_ < src_.size()) {
            char c = src_[pos_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                take();
            } else if (c == '#') {
                while (pos_ < src_.size() && src_[pos_] != '\n') take();
            } else {
                break;
            }
        }
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    void readString(Token* t) {
        take();  // opening quote
        for (;;) {
            if (pos_ >= src_.size() || src_[pos_] == '\n')
                throw CompileFailure{t->line, t->column, "unterminated string"};
            int line = line_, column = column_;
            char c = take();
            if (c == '"') return;
            if (c != '\\') {
                t->text += c;
                continue;
            }
            if (pos_ >= src_.size()) throw CompileFailure{t->line, t->column, "unterminated string"};
            char e = take();
            switch (e) {
            case 'n': t->text += '\n'; break;
            case 't': t->text += '\t'; break;
            case 'r': t->text += '\r'; break;
            case '"': t->text += '"'; break;
            case '\\': t->text += '\\'; break;
            case 'x': {
                int hi = pos_ < src_.size() ? hexValue(src_[pos_]) : -1;
                int lo = pos_ + 1 < src_.size() ? hexValue(src_[pos_ + 1]) : -1;
                if (hi < 0 || lo < 0) throw CompileFailure{line, column, "\\x needs two hexadecimal digits"};
                take();
                take();
                t->text += (char)(hi * 16 + lo);
                break;
            }
            default: throw CompileFailure{line, column, std::string("unknown escape '\\") + e + "'"};
            }
        }
    }

    const std::string& src_;
    size_t pos_ = 0;
    int line_ = 1;
    int column_ = 1;
};

// ---------------------------------------------------------------------------
// [SECTION] Parser: builds the dialog objects directly; names are resolved at
// the end.
struct Reference {
    std::string name;  // empty with byIndex
    bool byIndex = false;
    long index = 0;
    bool quoted = false;
    int line = 0;
    int column = 0;
};

struct Fixup {
    short* field;
    Reference ref;
};

class Parser {
public:
    Parser(std::vector<Token> tokens, DIALOG* d) : toks_(std::move(tokens)), d_(d) {}

    void parseFile() {
        bool cyclesGiven = false;
        Token cyclesToken;
        bool trailerGiven = false;
        while (peek().kind != T_END) {
            Token t = next();
            if (t.kind != T_IDENT) fail(t, "expected 'npc', 'string', 'state', 'cycles' or 'trailer'");
            if (t.text == "npc" || t.text == "string") {
                PARAMETER* p = t.text == "npc" ? (PARAMETER*)d_->make<PARAMETERnpc>()
                                               : (PARAMETER*)d_->make<PARAMETERstring>();
                p->name = parseName("parameter name");
                d_->parameters.push_back(p);
                paramTokens_.push_back(t);
            } else if (t.text == "state") {
                parseState();
            } else if (t.text == "cycles") {
                if (cyclesGiven) fail(t, "'cycles' is given twice");
                cyclesGiven = true;
                cyclesToken = t;
                d_->numberOfCycles = (short)parseInt("number of cycles", SHRT_MIN, SHRT_MAX);
            } else if (t.text == "trailer") {
                if (trailerGiven) fail(t, "'trailer' is given twice");
                trailerGiven = true;
                std::string bytes = expectString("trailer bytes");
                d_->trailer.assign(bytes.begin(), bytes.end());
            } else {
                fail(t, "expected 'npc', 'string', 'state', 'cycles' or 'trailer', found '" + t.text + "'");
            }
        }
        if (d_->parameters.size() > (size_t)SHRT_MAX) fail(paramTokens_.back(), "too many parameters");
        if (d_->states.size() > (size_t)SHRT_MAX) fail(stateTokens_.back(), "too many states");
        d_->parameterCount = (short)d_->parameters.size();
        d_->stateCount = (short)d_->states.size();
        resolve();
        assignCycles(cyclesGiven, cyclesToken);
    }

    std::vector<CompileFailure> late_;

private:
    // --- tokens
    const Token& peek(size_t ahead = 0) const {
        size_t i = pos_ + ahead;
        return i < toks_.size() ? toks_[i] : toks_.back();
    }
    Token next() {
        Token t = peek();
        if (pos_ < toks_.size() - 1) ++pos_;
        return t;
    }
    [[noreturn]] void fail(const Token& t, const std::string& message) {
        throw CompileFailure{t.line, t.column, message};
    }
    static std::string describe(const Token& t) {
        switch (t.kind) {
        case T_END: return "the end of the file";
        case T_IDENT: return "'" + t.text + "'";
        case T_INT: return "a number";
        case T_STRING: return "a string";
        case T_AT: return "'@'";
        case T_DOLLAR: return "'$'";
        case T_LBRACE: return "'{'";
        case T_RBRACE: return "'}'";
        case T_LPAREN: return "'('";
        case T_RPAREN: return "')'";
        case T_COMMA: return "','";
        }
        return "?";
    }
    void expect(TokenKind kind, const char* what) {
        if (peek().kind != kind)
            fail(peek(), std::string("expected ") + what + ", found " + describe(peek()));
        next();
    }
    bool atIdent(const char* word) const { return peek().kind == T_IDENT && peek().text == word; }
    long parseInt(const char* what, long lo, long hi) {
        Token t = peek();
        if (t.kind != T_INT) fail(t, std::string("expected ") + what + ", found " + describe(t));
        next();
        if (t.value < lo || t.value > hi)
            fail(t, std::string(what) + " " + std::to_string(t.value) + " is out of range (" +
                        std::to_string(lo) + ".." + std::to_string(hi) + ")");
        return t.value;
    }
    std::string checkedText(const Token& t) {
        if (t.text.size() > (size_t)SHRT_MAX) fail(t, "string longer than 32767 bytes");
        return t.text;
    }
    std::string expectString(const char* what) {
        Token t = peek();
        if (t.kind != T_STRING)
            fail(t, std::string("expected ") + what + " (a quoted string), found " + describe(t));
        next();
        return checkedText(t);
    }
    std::string parseName(const char* what) {
        Token t = peek();
        if (t.kind != T_IDENT && t.kind != T_STRING)
            fail(t, std::string("expected ") + what + ", found " + describe(t));
        next();
        return checkedText(t);
    }
    Reference parseReference(const char* what) {
        Reference r;
        Token t = peek();
        r.line = t.line;
        r.column = t.column;
        if (t.kind == T_AT) {
            next();
            r.byIndex = true;
            r.index = parseInt("index", 0, SHRT_MAX);
        } else if (t.kind == T_IDENT || t.kind == T_STRING) {
            next();
            r.name = t.text;
            r.quoted = t.kind == T_STRING;
        } else {
            fail(t, std::string("expected ") + what + " (a name or @index), found " + describe(t));
        }
        return r;
    }
    void stateRef(short* field, const char* what) { stateFixups_.push_back({field, parseReference(what)}); }
    void paramRef(short* field, const char* what) { paramFixups_.push_back({field, parseReference(what)}); }

    // --- structure
    void parseState() {
        stateTokens_.push_back(peek());
        STATE* s = d_->make<STATE>();
        s->name = parseName("state name");
        if (atIdent("once")) {
            next();
        } else if (atIdent("repeatable")) {
            next();
            s->repeatable = 1;
        }
        if (atIdent("when")) {
            next();
            s->condition = parseCondition();
        } else {
            s->condition = d_->make<CONDITIONtrue>();
        }
        d_->states.push_back(s);
        s->commands = parseBlock();
    }

    COMMAND* parseBlock() {
        if (++blockDepth_ > kMaxDialogNesting) fail(peek(), "blocks nested too deeply");
        expect(T_LBRACE, "'{'");
        COMMAND* head = nullptr;
        COMMAND** link = &head;
        while (peek().kind != T_RBRACE) {
            if (peek().kind == T_END) fail(peek(), "missing '}'");
            COMMAND* c = parseCommand();
            *link = c;
            link = &c->next;
        }
        next();
        --blockDepth_;
        return head;
    }

    STRING* parseText() {
        STRING* head = nullptr;
        STRING** link = &head;
        for (;;) {
            if (peek().kind == T_STRING) {
                auto* part = d_->make<STRINGconst>();
                part->text = checkedText(next());
                *link = part;
                link = &part->next;
            } else if (peek().kind == T_DOLLAR) {
                next();
                auto* part = d_->make<STRINGparameter>();
                paramRef(&part->parameterIndex, "parameter");
                *link = part;
                link = &part->next;
            } else {
                return head;
            }
        }
    }

    short parseCount() {
        if (peek().kind == T_INT) return (short)parseInt("item count", SHRT_MIN, SHRT_MAX);
        return 1;
    }

    COMMAND* parseCommand() {
        Token t = peek();
        if (t.kind != T_IDENT) fail(t, "expected a command, found " + describe(t));
        next();
        const std::string& w = t.text;
        if (w == "skip") return d_->make<COMMANDskip>();
        if (w == "suspend") return d_->make<COMMANDsuspend>();
        if (w == "player") {
            auto* c = d_->make<COMMANDplayer>();
            c->strings = parseText();
            return c;
        }
        if (w == "log") {
            auto* c = d_->make<COMMANDlog>();
            c->strings = parseText();
            return c;
        }
        if (w == "npc") {
            auto* c = d_->make<COMMANDnpc>();
            paramRef(&c->fromNPCIndex, "speaking parameter");
            if (atIdent("to")) {
                next();
                paramRef(&c->toNPCIndex, "listening parameter");
            } else {
                sameFixups_.push_back(c);
            }
            c->strings = parseText();
            return c;
        }
        if (w == "remark") {
            auto* c = d_->make<COMMANDremark>();
            paramRef(&c->fromNPCIndex, "speaking parameter");
            c->strings = parseText();
            return c;
        }
        if (w == "goto") {
            auto* c = d_->make<COMMANDgoto>();
            stateRef(&c->stateIndex, "state");
            return c;
        }
        if (w == "query") return parseQuery(t);
        if (w == "cycle" || w == "random") {
            COMMANDalternatives* c;
            if (w == "cycle") {
                auto* cycle = d_->make<COMMANDcycle>();
                if (peek().kind == T_INT)
                    cycle->cycleIndex = (short)parseInt("cycle index", 0, SHRT_MAX);
                else
                    autoCycles_.push_back(cycle);
                cycles_.push_back({cycle, t});
                c = cycle;
            } else {
                c = d_->make<COMMANDrandom>();
            }
            for (COMMAND* alt = parseBlock(); alt;) {
                COMMAND* following = alt->next;
                alt->next = nullptr;
                c->alternatives.push_back(alt);
                alt = following;
            }
            if (c->alternatives.empty()) fail(t, "'" + w + "' needs at least one alternative");
            if (c->alternatives.size() > (size_t)SHRT_MAX) fail(t, "too many alternatives");
            c->numberOfCommands = (short)c->alternatives.size();
            if (atIdent("ignored")) {
                next();
                c->ignored = parseBlock();
            }
            return c;
        }
        if (w == "if") {
            auto* c = d_->make<COMMANDifelse>();
            c->condition = parseCondition();
            c->thenPart = parseBlock();
            if (atIdent("else")) {
                next();
                if (atIdent("if"))
                    c->elsePart = parseCommand();  // else if: an else-part holding one ifelse
                else
                    c->elsePart = parseBlock();
            }
            return c;
        }
        if (w == "while") {
            auto* c = d_->make<COMMANDwhile>();
            c->condition = parseCondition();
            c->body = parseBlock();
            return c;
        }
        if (w == "group") {
            auto* c = d_->make<COMMANDcompound>();
            c->body = parseBlock();
            return c;
        }
        if (w == "setquest") {
            auto* c = d_->make<COMMANDsetquest>();
            c->questFlag = expectString("quest flag");
            return c;
        }
        if (w == "script") {
            auto* c = d_->make<COMMANDexecutescript>();
            c->scriptName = expectString("script name");
            return c;
        }
        if (w == "additem" || w == "removeitem") {
            COMMANDitem* c = w == "additem" ? (COMMANDitem*)d_->make<COMMANDadditem>()
                                            : (COMMANDitem*)d_->make<COMMANDremoveitem>();
            c->itemCount = parseCount();
            c->itemName = expectString("item name");
            return c;
        }
        fail(t, "unknown command '" + w + "'");
    }

    COMMAND* parseQuery(const Token& at) {
        auto* q = d_->make<COMMANDquery>();
        expect(T_LBRACE, "'{'");
        while (peek().kind != T_RBRACE) {
            if (!atIdent("option")) fail(peek(), "expected 'option' or '}', found " + describe(peek()));
            next();
            STRING* text = parseText();
            if (atIdent("goto")) {
                next();
                auto* o = d_->make<OPTIONgoto>();
                o->strings = text;
                stateRef(&o->stateIndex, "state");
                q->options.push_back(o);
            } else if (peek().kind == T_LBRACE) {
                auto* o = d_->make<OPTIONcommands>();
                o->strings = text;
                o->commands = parseBlock();
                q->options.push_back(o);
            } else {
                fail(peek(), "expected 'goto' or '{' after the option text, found " + describe(peek()));
            }
        }
        next();
        if (q->options.size() > (size_t)SHRT_MAX) fail(at, "too many options");
        q->numberOfOptions = (short)q->options.size();
        return q;
    }

    // --- conditions: or < and < not < atom; binary operators group to the left
    CONDITION* parseCondition() {
        CONDITION* left = parseAnd();
        while (atIdent("or")) {
            next();
            auto* c = d_->make<CONDITIONor>();
            c->left = left;
            c->right = parseAnd();
            left = c;
        }
        return left;
    }
    CONDITION* parseAnd() {
        CONDITION* left = parseUnary();
        while (atIdent("and")) {
            next();
            auto* c = d_->make<CONDITIONand>();
            c->left = left;
            c->right = parseUnary();
            left = c;
        }
        return left;
    }
    CONDITION* parseUnary() {
        if (++depth_ > kMaxDialogNesting) fail(peek(), "condition nested too deeply");
        CONDITION* result;
        if (atIdent("not")) {
            next();
            auto* c = d_->make<CONDITIONnot>();
            c->condition = parseUnary();
            result = c;
        } else {
            result = parseAtom();
        }
        --depth_;
        return result;
    }
    CONDITION* parseAtom() {
        Token t = peek();
        if (t.kind == T_LPAREN) {
            next();
            CONDITION* c = parseCondition();
            expect(T_RPAREN, "')'");
            return c;
        }
        if (t.kind != T_IDENT) fail(t, "expected a condition, found " + describe(t));
        next();
        const std::string& w = t.text;
        if (w == "true") return d_->make<CONDITIONtrue>();
        if (w == "false") return d_->make<CONDITIONfalse>();
        if (w == "enabled" || w == "disabled" || w == "heard") {
            CONDITIONstate* c;
            if (w == "enabled")
                c = d_->make<CONDITIONenabled>();
            else if (w == "disabled")
                c = d_->make<CONDITIONdisabled>();
            else
                c = d_->make<CONDITIONheardabout>();
            expect(T_LPAREN, "'('");
            stateRef(&c->stateIndex, "state");
            expect(T_RPAREN, "')'");
            return c;
        }
        if (w == "quest") {
            auto* c = d_->make<CONDITIONquest>();
            expect(T_LPAREN, "'('");
            c->questFlag = expectString("quest flag");
            expect(T_RPAREN, "')'");
            return c;
        }
        if (w == "hasitem") {
            auto* c = d_->make<CONDITIONhasitem>();
            expect(T_LPAREN, "'('");
            c->itemCount = 1;
            if (peek().kind == T_INT) {
                c->itemCount = (short)parseInt("item count", SHRT_MIN, SHRT_MAX);
                expect(T_COMMA, "','");
            }
            c->itemName = expectString("item name");
            expect(T_RPAREN, "')'");
            return c;
        }
        fail(t, "unknown condition '" + w + "'");
    }

    // --- names
    // Name mistakes are collected so that one compile reports all of them.
    void note(int line, int column, const std::string& message) { late_.push_back({line, column, message}); }
    template <class T>
    short lookup(const std::vector<T*>& items, const Reference& r, const char* kind) {
        if (r.byIndex) {
            if (r.index >= (long)items.size())
                note(r.line, r.column,
                     std::string(kind) + " @" + std::to_string(r.index) + " does not exist (there are " +
                         std::to_string(items.size()) + ")");
            return (short)r.index;
        }
        int found = -1;
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i]->name == r.name) {
                if (found >= 0) {
                    note(r.line, r.column,
                         std::string(kind) + " name '" + r.name + "' is ambiguous (@" +
                             std::to_string(found) + " and @" + std::to_string(i) + "); use @index");
                    return 0;
                }
                found = (int)i;
            }
        if (found < 0) note(r.line, r.column, std::string("unknown ") + kind + " '" + r.name + "'");
        return (short)(found < 0 ? 0 : found);
    }
    void resolve() {
        for (Fixup& f : paramFixups_) *f.field = lookup(d_->parameters, f.ref, "parameter");
        for (Fixup& f : stateFixups_) *f.field = lookup(d_->states, f.ref, "state");
        for (COMMANDnpc* c : sameFixups_) c->toNPCIndex = c->fromNPCIndex;
    }
    void assignCycles(bool given, const Token& cyclesToken) {
        int highest = -1;
        for (auto& c : cycles_)
            if (std::find(autoCycles_.begin(), autoCycles_.end(), c.first) == autoCycles_.end())
                highest = std::max(highest, (int)c.first->cycleIndex);
        for (COMMANDcycle* c : autoCycles_) {
            if (highest + 1 > SHRT_MAX) fail(cyclesToken, "too many cycles");
            c->cycleIndex = (short)++highest;
        }
        if (!given) {
            d_->numberOfCycles = (short)(highest + 1);
            return;
        }
        for (auto& c : cycles_)
            if (c.first->cycleIndex >= d_->numberOfCycles)
                note(c.second.line, c.second.column,
                     "cycle index " + std::to_string(c.first->cycleIndex) + " is outside 'cycles " +
                         std::to_string(d_->numberOfCycles) + "'");
    }

    std::vector<Token> toks_;
    size_t pos_ = 0;
    DIALOG* d_;
    int depth_ = 0;
    int blockDepth_ = 0;
    std::vector<Token> paramTokens_, stateTokens_;
    std::vector<Fixup> paramFixups_, stateFixups_;
    std::vector<COMMANDnpc*> sameFixups_;
    std::vector<COMMANDcycle*> autoCycles_;
    std::vector<std::pair<COMMANDcycle*, Token>> cycles_;
};

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Compiling
namespace {
void report(const CompileFailure& f, DialogCompileError* first, std::vector<DialogCompileError>* all) {
    DialogCompileError e;
    e.line = f.line;
    e.column = f.column;
    e.message = f.message;
    if (first && (!all || all->empty())) *first = e;
    if (all) all->push_back(e);
}
}  // namespace

bool CompileDialogSource(const std::string& source, std::vector<unsigned char>* bytes,
                         DialogCompileError* error, std::vector<DialogCompileError>* all) {
    try {
        DIALOG dialog;
        Parser parser(Lexer(source).run(), &dialog);
        parser.parseFile();
        if (parser.late_.empty()) {
            *bytes = writeDialog(dialog);
            return true;
        }
        std::stable_sort(parser.late_.begin(), parser.late_.end(),
                         [](const CompileFailure& a, const CompileFailure& b) {
                             return a.line != b.line ? a.line < b.line : a.column < b.column;
                         });
        for (const CompileFailure& f : parser.late_) report(f, error, all);
        return false;
    } catch (const CompileFailure& f) {
        report(f, error, all);
        return false;
    }
}
