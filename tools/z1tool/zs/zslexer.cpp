#include "zslexer.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "z1script/scriptfile.h"

namespace {

struct Keyword {
    const char* word;
    Tok kind;
};

const Keyword kKeywords[] = {
    {"program", Tok::kProgram},
    {"function", Tok::kFunction},
    {"const", Tok::kConst},
    {"var", Tok::kVar},
    {"if", Tok::kIf},
    {"else", Tok::kElse},
    {"while", Tok::kWhile},
    {"for", Tok::kFor},
    {"break", Tok::kBreak},
    {"continue", Tok::kContinue},
    {"return", Tok::kReturn},
    {"true", Tok::kTrue},
    {"false", Tok::kFalse},
    {"int", Tok::kIntType},
    {"float", Tok::kFloatType},
    {"text", Tok::kTextType},
    {"vector", Tok::kVectorType},
};

bool NameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool NamePart(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string CharDescription(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    char buf[32];
    if (u > 0x20 && u < 0x7f)
        std::snprintf(buf, sizeof buf, "character '%c'", c);
    else
        std::snprintf(buf, sizeof buf, "byte 0x%02x", u);
    return buf;
}

class Lexer {
public:
    Lexer(const std::string& s, Diagnostics& d) : s_(s), diag_(d) {}

    std::vector<Token> Run() {
        std::vector<Token> out;
        // Editors on Windows may start a file with a byte-order mark.
        if (s_.compare(0, 3, "\xEF\xBB\xBF") == 0) i_ = 3;
        for (;;) {
            SkipSpace();
            Token t;
            t.pos = Here();
            if (i_ >= s_.size()) {
                t.kind = Tok::kEnd;
                t.end = t.pos;
                out.push_back(t);
                return out;
            }
            char c = s_[i_];
            if (NameStart(c)) {
                Name(t);
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                Number(t);
            } else if (c == '"') {
                Text(t);
            } else if (!Operator(t)) {
                diag_.Error(t.pos, "unexpected " + CharDescription(c));
                Advance();
                continue;
            }
            t.end = Here();
            out.push_back(t);
        }
    }

private:
    ZsPos Here() const { return ZsPos{line_, column_}; }
    char Peek(size_t ahead = 0) const { return i_ + ahead < s_.size() ? s_[i_ + ahead] : '\0'; }
    void Advance() {
        if (s_[i_] == '\n') {
            ++line_;
            column_ = 1;
        } else {
            ++column_;
        }
        ++i_;
    }

    void SkipSpace() {
        while (i_ < s_.size()) {
            char c = s_[i_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
                Advance();
            } else if (c == '/' && Peek(1) == '/') {
                while (i_ < s_.size() && s_[i_] != '\n') Advance();
            } else if (c == '/' && Peek(1) == '*') {
                ZsPos start = Here();
                Advance();
                Advance();
                bool closed = false;
                while (i_ < s_.size()) {
                    if (s_[i_] == '*' && Peek(1) == '/') {
                        Advance();
                        Advance();
                        closed = true;
                        break;
                    }
                    Advance();
                }
                if (!closed) diag_.Error(start, "unterminated comment");
            } else {
                return;
            }
        }
    }

    void Name(Token& t) {
        while (i_ < s_.size() && NamePart(s_[i_])) {
            t.text += s_[i_];
            Advance();
        }
        t.kind = Tok::kName;
        for (const Keyword& k : kKeywords)
            if (t.text == k.word) t.kind = k.kind;
    }

    void Number(Token& t) {
        size_t start = i_;
        bool isFloat = false;
        if (s_[i_] == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
            Advance();
            Advance();
            t.hex = true;
            while (i_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[i_]))) Advance();
        } else {
            while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) Advance();
            if (Peek() == '.' && std::isdigit(static_cast<unsigned char>(Peek(1)))) {
                isFloat = true;
                Advance();
                while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) Advance();
            }
            if ((Peek() == 'e' || Peek() == 'E') &&
                (std::isdigit(static_cast<unsigned char>(Peek(1))) ||
                 ((Peek(1) == '+' || Peek(1) == '-') && std::isdigit(static_cast<unsigned char>(Peek(2)))))) {
                isFloat = true;
                Advance();
                Advance();
                while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) Advance();
            }
        }
        bool glued = i_ < s_.size() && (NamePart(s_[i_]) || s_[i_] == '.');
        while (i_ < s_.size() && (NamePart(s_[i_]) || (s_[i_] == '.' && !isFloat && glued))) Advance();
        t.text = s_.substr(start, i_ - start);
        if (glued || (t.hex && t.text.size() == 2)) {
            // Reported, and read as 0 so that the statement still parses.
            diag_.Error(t.pos, "bad number '" + t.text + "'");
            t.kind = Tok::kInt;
            t.text = "0";
            t.integer = 0;
            t.hex = false;
            return;
        }
        if (isFloat) {
            t.kind = Tok::kFloat;
            t.number = std::strtof(t.text.c_str(), nullptr);
            if (std::isinf(t.number)) {
                diag_.Error(t.pos, "float literal out of range");
                t.number = 0.0f;
            }
            return;
        }
        t.kind = Tok::kInt;
        uint64_t v = 0;
        const uint64_t kCap = 0x100000001ull;  // anything above 2^32 reads as this
        for (size_t k = t.hex ? 2 : 0; k < t.text.size(); ++k) {
            char c = t.text[k];
            int digit = std::isdigit(static_cast<unsigned char>(c))
                            ? c - '0'
                            : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
            v = v * (t.hex ? 16 : 10) + static_cast<uint64_t>(digit);
            if (v > kCap) v = kCap;
        }
        t.integer = v;
    }

    void Text(Token& t) {
        t.kind = Tok::kText;
        Advance();
        bool reportedZero = false;
        for (;;) {
            if (i_ >= s_.size() || s_[i_] == '\n') {
                diag_.Error(t.pos, "unterminated text");
                return;
            }
            char c = s_[i_];
            if (c == '"') {
                Advance();
                break;
            }
            if (c == '\\') {
                ZsPos at = Here();
                Advance();
                char e = Peek();
                if (i_ >= s_.size() || e == '\n') continue;  // reported as unterminated
                Advance();
                switch (e) {
                case 'n': t.text += '\n'; break;
                case 't': t.text += '\t'; break;
                case 'r': t.text += '\r'; break;
                case '"': t.text += '"'; break;
                case '\\': t.text += '\\'; break;
                case 'x': {
                    if (!std::isxdigit(static_cast<unsigned char>(Peek())) ||
                        !std::isxdigit(static_cast<unsigned char>(Peek(1)))) {
                        diag_.Error(at, "\\x needs two hexadecimal digits");
                        break;
                    }
                    int v = static_cast<int>(std::strtol(s_.substr(i_, 2).c_str(), nullptr, 16));
                    Advance();
                    Advance();
                    if (v == 0) {
                        diag_.Error(at, "a text cannot hold a zero byte");
                        break;
                    }
                    t.text += static_cast<char>(v);
                    break;
                }
                default: diag_.Error(at, "unknown escape '\\" + std::string(1, e) + "'"); break;
                }
                continue;
            }
            if (c == '\0' && !reportedZero) {
                diag_.Error(Here(), "a text cannot hold a zero byte");
                reportedZero = true;
            }
            if (c != '\0') t.text += c;
            Advance();
        }
        if (t.text.size() > kScriptMaxFileText)
            diag_.Error(t.pos, "text longer than " + std::to_string(kScriptMaxFileText) + " characters");
    }

    bool Operator(Token& t) {
        struct Op {
            const char* text;
            Tok kind;
        };
        // Longest first.
        static const Op kOps[] = {
            {"&&", Tok::kAndAnd},
            {"||", Tok::kOrOr},
            {"==", Tok::kEq},
            {"!=", Tok::kNe},
            {"<=", Tok::kLe},
            {">=", Tok::kGe},
            {"+=", Tok::kPlusAssign},
            {"-=", Tok::kMinusAssign},
            {"*=", Tok::kStarAssign},
            {"/=", Tok::kSlashAssign},
            {"%=", Tok::kPercentAssign},
            {"++", Tok::kPlusPlus},
            {"--", Tok::kMinusMinus},
            {"(", Tok::kLParen},
            {")", Tok::kRParen},
            {"{", Tok::kLBrace},
            {"}", Tok::kRBrace},
            {",", Tok::kComma},
            {";", Tok::kSemicolon},
            {":", Tok::kColon},
            {".", Tok::kDot},
            {"+", Tok::kPlus},
            {"-", Tok::kMinus},
            {"*", Tok::kStar},
            {"/", Tok::kSlash},
            {"%", Tok::kPercent},
            {"!", Tok::kNot},
            {"<", Tok::kLt},
            {">", Tok::kGt},
            {"=", Tok::kAssign},
        };
        for (const Op& op : kOps) {
            size_t n = std::char_traits<char>::length(op.text);
            if (s_.compare(i_, n, op.text) == 0) {
                t.kind = op.kind;
                t.text = op.text;
                for (size_t k = 0; k < n; ++k) Advance();
                return true;
            }
        }
        return false;
    }

    const std::string& s_;
    Diagnostics& diag_;
    size_t i_ = 0;
    int line_ = 1;
    int column_ = 1;
};

}  // namespace

std::string TokDescription(Tok kind) {
    switch (kind) {
    case Tok::kEnd: return "the end of the file";
    case Tok::kName: return "a name";
    case Tok::kInt: return "a number";
    case Tok::kFloat: return "a number";
    case Tok::kText: return "a text";
    default: break;
    }
    for (const Keyword& k : kKeywords)
        if (k.kind == kind) return std::string("'") + k.word + "'";
    static const char* const kPunct[] = {"(",  ")",  "{", "}",  ",",  ";",  ":",  ".",  "+",  "-",
                                         "*",  "/",  "%", "!",  "&&", "||", "==", "!=", "<",  ">",
                                         "<=", ">=", "=", "+=", "-=", "*=", "/=", "%=", "++", "--"};
    int index = static_cast<int>(kind) - static_cast<int>(Tok::kLParen);
    if (index >= 0 && index < static_cast<int>(sizeof kPunct / sizeof kPunct[0]))
        return std::string("'") + kPunct[index] + "'";
    return "a token";
}

std::string TokenDescription(const Token& t) {
    switch (t.kind) {
    case Tok::kEnd: return "the end of the file";
    case Tok::kText: return "a text";
    case Tok::kName:
    case Tok::kInt:
    case Tok::kFloat: return "'" + t.text + "'";
    default: return TokDescription(t.kind);
    }
}

std::vector<Token> LexZs(const std::string& source, Diagnostics& diag) { return Lexer(source, diag).Run(); }
