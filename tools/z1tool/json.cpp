#include "json.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace json {

const Value* Value::Find(const char* key) const {
    if (kind != OBJECT) return nullptr;
    for (const auto& m : members)
        if (m.first == key) return &m.second;
    return nullptr;
}

namespace {

struct Parser {
    const std::string& s;
    size_t pos = 0;
    std::string error;
    int depth = 0;

    explicit Parser(const std::string& input) : s(input) {}

    bool Fail(const std::string& message) {
        if (error.empty()) error = message + " at offset " + std::to_string(pos);
        return false;
    }

    void SkipBlanks() {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t' || s[pos] == '\n' || s[pos] == '\r')) ++pos;
    }

    bool Literal(const char* word) {
        size_t n = std::strlen(word);
        if (s.compare(pos, n, word) != 0) return Fail("unexpected text");
        pos += n;
        return true;
    }

    static void AppendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool Hex4(unsigned& out) {
        if (pos + 4 > s.size()) return Fail("short \\u escape");
        out = 0;
        for (int i = 0; i < 4; ++i) {
            char c = s[pos++];
            out <<= 4;
            if (c >= '0' && c <= '9')
                out |= c - '0';
            else if (c >= 'a' && c <= 'f')
                out |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                out |= c - 'A' + 10;
            else
                return Fail("bad \\u escape");
        }
        return true;
    }

    bool String(std::string& out) {
        ++pos;  // opening quote
        while (true) {
            if (pos >= s.size()) return Fail("unterminated text");
            unsigned char c = static_cast<unsigned char>(s[pos++]);
            if (c == '"') return true;
            if (c < 0x20) return Fail("control character in text");
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (pos >= s.size()) return Fail("unterminated text");
            char e = s[pos++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned cp = 0;
                if (!Hex4(cp)) return false;
                if (cp < 0x100) {
                    out += static_cast<char>(cp);  // one byte, as the writer meant it
                } else if (cp >= 0xD800 && cp < 0xDC00) {
                    unsigned low = 0;
                    if (s.compare(pos, 2, "\\u") != 0) return Fail("lone surrogate");
                    pos += 2;
                    if (!Hex4(low)) return false;
                    if (low < 0xDC00 || low > 0xDFFF) return Fail("bad surrogate pair");
                    AppendUtf8(out, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
                } else {
                    AppendUtf8(out, cp);
                }
                break;
            }
            default: return Fail("bad escape");
            }
        }
    }

    bool Number(Value& v) {
        size_t start = pos;
        if (pos < s.size() && s[pos] == '-') ++pos;
        size_t digits = pos;
        while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
        if (pos == digits) return Fail("bad number");
        if (pos < s.size() && s[pos] == '.') {
            ++pos;
            size_t frac = pos;
            while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
            if (pos == frac) return Fail("bad number");
        }
        if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
            ++pos;
            if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) ++pos;
            size_t exp = pos;
            while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
            if (pos == exp) return Fail("bad number");
        }
        v.kind = Value::NUMBER;
        v.text = s.substr(start, pos - start);
        return true;
    }

    bool Parse(Value& v) {
        if (++depth > 200) return Fail("nesting too deep");
        SkipBlanks();
        if (pos >= s.size()) return Fail("unexpected end");
        char c = s[pos];
        bool ok = true;
        if (c == '{') {
            v.kind = Value::OBJECT;
            ++pos;
            SkipBlanks();
            if (pos < s.size() && s[pos] == '}') {
                ++pos;
            } else {
                while (ok) {
                    SkipBlanks();
                    if (pos >= s.size() || s[pos] != '"') return Fail("expected a member name");
                    std::string key;
                    if (!String(key)) return false;
                    SkipBlanks();
                    if (pos >= s.size() || s[pos] != ':') return Fail("expected ':'");
                    ++pos;
                    Value member;
                    if (!Parse(member)) return false;
                    v.members.emplace_back(key, std::move(member));
                    SkipBlanks();
                    if (pos < s.size() && s[pos] == ',') {
                        ++pos;
                        continue;
                    }
                    if (pos < s.size() && s[pos] == '}') {
                        ++pos;
                        break;
                    }
                    return Fail("expected ',' or '}'");
                }
            }
        } else if (c == '[') {
            v.kind = Value::ARRAY;
            ++pos;
            SkipBlanks();
            if (pos < s.size() && s[pos] == ']') {
                ++pos;
            } else {
                while (true) {
                    Value item;
                    if (!Parse(item)) return false;
                    v.items.push_back(std::move(item));
                    SkipBlanks();
                    if (pos < s.size() && s[pos] == ',') {
                        ++pos;
                        continue;
                    }
                    if (pos < s.size() && s[pos] == ']') {
                        ++pos;
                        break;
                    }
                    return Fail("expected ',' or ']'");
                }
            }
        } else if (c == '"') {
            v.kind = Value::STRING;
            ok = String(v.text);
        } else if (c == 't') {
            v.kind = Value::BOOL;
            v.boolean = true;
            ok = Literal("true");
        } else if (c == 'f') {
            v.kind = Value::BOOL;
            ok = Literal("false");
        } else if (c == 'n') {
            ok = Literal("null");
        } else {
            ok = Number(v);
        }
        --depth;
        return ok;
    }
};

}  // namespace

bool Parse(const std::string& input, Value& out, std::string* error) {
    Parser p(input);
    out = Value();
    bool ok = p.Parse(out);
    if (ok) {
        p.SkipBlanks();
        if (p.pos != input.size()) ok = p.Fail("text after the document");
    }
    if (!ok && error) *error = p.error;
    return ok;
}

bool IntOf(const Value& v, int64_t lo, int64_t hi, int64_t& out, std::string* error) {
    if (v.kind != Value::NUMBER || v.text.find_first_of(".eE") != std::string::npos) {
        if (error) *error = "expected a whole number";
        return false;
    }
    errno = 0;
    long long n = std::strtoll(v.text.c_str(), nullptr, 10);
    if (errno != 0 || n < lo || n > hi) {
        if (error) *error = "number " + v.text + " out of range";
        return false;
    }
    out = n;
    return true;
}

bool FloatOf(const Value& v, float& out, std::string* error) {
    if (v.kind == Value::NUMBER) {
        out = std::strtof(v.text.c_str(), nullptr);
        return true;
    }
    if (v.kind == Value::STRING && v.text.size() == 10 && v.text.compare(0, 2, "0x") == 0) {
        char* end = nullptr;
        unsigned long bits = std::strtoul(v.text.c_str() + 2, &end, 16);
        if (end && *end == 0) {
            uint32_t b = static_cast<uint32_t>(bits);
            std::memcpy(&out, &b, 4);
            return true;
        }
    }
    if (error) *error = "expected a number";
    return false;
}

bool BoolOf(const Value& v, bool& out, std::string* error) {
    if (v.kind != Value::BOOL) {
        if (error) *error = "expected true or false";
        return false;
    }
    out = v.boolean;
    return true;
}

bool TextOf(const Value& v, std::string& out, std::string* error) {
    if (v.kind != Value::STRING) {
        if (error) *error = "expected a text";
        return false;
    }
    out = v.text;
    return true;
}

std::string Quote(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    return out;
}

std::string Float(float v) {
    char buffer[40];
    if (!std::isfinite(v)) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        std::snprintf(buffer, sizeof buffer, "\"0x%08x\"", bits);
        return buffer;
    }
    for (int precision = 1; precision <= 9; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, static_cast<double>(v));
        if (std::strtof(buffer, nullptr) == v) break;
    }
    if (v == 0.0f && std::signbit(v)) return "-0";
    // Whole numbers read better without an exponent (60, not 6e+01).
    if (std::strchr(buffer, 'e') && std::fabs(v) < 1e15f && std::floor(v) == v)
        std::snprintf(buffer, sizeof buffer, "%.0f", static_cast<double>(v));
    // JSON has no "inf" or leading '+'; %g never gives them for finite values.
    return buffer;
}

std::string Bool(bool v) { return v ? "true" : "false"; }

}  // namespace json
