// The assembler: script assembly text into the records of a compiled script
// file.
#include "z1script/scriptasm.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into words and quoted texts; ';' starts a comment.
bool Tokenize(const std::string& line, std::vector<Token>* tokens, std::string* error) {
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == ';') break;
        Token t;
        if (c == '"') {
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d != '\\') {
                    t.text += d;
                    continue;
                }
                if (i >= line.size()) break;
                char e = line[i++];
                switch (e) {
                case 'n': t.text += '\n'; break;
                case 'r': t.text += '\r'; break;
                case 't': t.text += '\t'; break;
                case '"': t.text += '"'; break;
                case '\\': t.text += '\\'; break;
                case 'x': {
                    if (i + 2 > line.size() || !std::isxdigit(static_cast<unsigned char>(line[i])) ||
                        !std::isxdigit(static_cast<unsigned char>(line[i + 1]))) {
                        *error = "\\x needs two hexadecimal digits";
                        return false;
                    }
                    t.text += static_cast<char>(std::strtol(line.substr(i, 2).c_str(), nullptr, 16));
                    i += 2;
                    break;
                }
                default: *error = std::string("unknown escape \\") + e; return false;
                }
            }
            if (!closed) {
                *error = "unterminated text";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != ';' && line[i] != '"')
                t.text += line[i++];
        }
        tokens->push_back(t);
    }
    return true;
}

bool ParseInt(const std::string& s, long long lo, long long hi, long long* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s.c_str(), &end, 0);
    if (*end || errno || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool ParseFloat(const std::string& s, float* out) {
    if (s.compare(0, 5, "bits:") == 0) {
        long long bits;
        if (!ParseInt(s.substr(5), 0, 0xFFFFFFFFLL, &bits)) return false;
        uint32_t b = static_cast<uint32_t>(bits);
        std::memcpy(out, &b, 4);
        return true;
    }
    if (s.empty()) return false;
    char* end = nullptr;
    *out = std::strtof(s.c_str(), &end);
    return *end == 0;
}

int TriggerValue(const std::string& s) {
    for (int i = 0; ScriptTriggerWord(i); ++i)
        if (s == ScriptTriggerWord(i)) return i;
    long long v;
    if (ParseInt(s, 0, 255, &v)) return static_cast<int>(v);
    return -1;
}

// One record being assembled.
struct Pending {
    ScriptRecord record;
    std::map<std::string, int> constant_names;
    std::map<std::string, int> label_names;
    std::vector<int> label_defined;    // -1: not yet placed
    std::vector<bool> label_explicit;  // given with @
    struct Fixup {
        size_t at;
        int label;
    };
    struct Use {
        size_t at;
        std::string name;
        int line;
    };
    std::vector<Use> label_uses;  // resolved at "end"
    int start_line = 0;

    int Label(const std::string& name) {
        auto found = label_names.find(name);
        if (found != label_names.end()) return found->second;
        int index = static_cast<int>(record.labels.size());
        label_names[name] = index;
        record.labels.push_back(0);
        label_defined.push_back(-1);
        label_explicit.push_back(false);
        return index;
    }
};

}  // namespace

const char* ScriptTriggerWord(int trigger) {
    static const char* const kWords[] = {"never", "init", "click", "collision", "pickup"};
    return trigger >= 0 && trigger < 5 ? kWords[trigger] : nullptr;
}

bool AssembleScript(const std::string& source, std::vector<ScriptRecord>* records, std::string* error) {
    records->clear();
    int line_number = 0;
    std::string reason;
    auto fail = [&](const std::string& why) {
        if (error) *error = "line " + std::to_string(line_number) + ": " + why;
        return false;
    };

    bool in_record = false;
    Pending p;
    size_t pos = 0;
    while (pos <= source.size()) {
        size_t eol = source.find('\n', pos);
        if (eol == std::string::npos) eol = source.size();
        std::string line = source.substr(pos, eol - pos);
        pos = eol + 1;
        ++line_number;
        std::vector<Token> tok;
        if (!Tokenize(line, &tok, &reason)) return fail(reason);
        if (tok.empty()) continue;
        const std::string& word = tok[0].quoted ? std::string() : tok[0].text;

        if (!in_record) {
            if (word == ".type") {
                long long v;
                if (tok.size() != 2 || !ParseInt(tok[1].text, 2, 255, &v))
                    return fail(".type takes one record-type byte from 2 to 255");
                ScriptRecord r;
                r.type = static_cast<uint8_t>(v);
                records->push_back(r);
                continue;
            }
            if (word != "function" && word != "program")
                return fail("expected function, program or .type, found '" + tok[0].text + "'");
            if (tok.size() < 2) return fail("missing name");
            p = Pending();
            p.start_line = line_number;
            ScriptRecord& r = p.record;
            r.type = word == "function" ? kScriptFunctionRecord : kScriptProgramRecord;
            r.name = tok[1].text;
            if (r.name.size() > kScriptMaxFileText) return fail("name longer than 254 characters");
            for (size_t i = 2; i < tok.size(); ++i) {
                std::string t = tok[i].text;
                size_t eq = t.find('=');
                std::string key = t.substr(0, eq);
                std::string value = eq == std::string::npos ? std::string() : t.substr(eq + 1);
                long long v = 0;
                bool program = r.type == kScriptProgramRecord;
                if (program && t == "sync") {
                    r.synchronized = 1;
                } else if (program && key == "sync" && ParseInt(value, 0, 255, &v)) {
                    r.synchronized = static_cast<uint8_t>(v);
                } else if (program && key == "locals" && ParseInt(value, 0, 255, &v)) {
                    r.local_count = static_cast<uint8_t>(v);
                } else if (program && key == "trigger" && TriggerValue(value) >= 0) {
                    r.trigger = static_cast<uint8_t>(TriggerValue(value));
                } else if (!program && key == "params" && ParseInt(value, 0, 255, &v)) {
                    r.param_count = static_cast<uint8_t>(v);
                } else if (!program && key == "frame" && ParseInt(value, 0, 255, &v)) {
                    r.frame_size = static_cast<uint8_t>(v);
                } else if (!program && key == "reserved" && ParseInt(value, 0, 255, &v)) {
                    r.reserved_byte = static_cast<uint8_t>(v);
                } else if (key == "reserved16" && ParseInt(value, 0, 65535, &v)) {
                    r.reserved_short = static_cast<uint16_t>(v);
                } else {
                    return fail("bad header field '" + t + "'");
                }
            }
            in_record = true;
            continue;
        }

        ScriptRecord& r = p.record;
        if (word == "end" && tok.size() == 1) {
            for (const Pending::Use& u : p.label_uses) {
                int index = p.Label(u.name);
                r.code[u.at] = static_cast<uint8_t>(index);
            }
            for (size_t i = 0; i < r.labels.size(); ++i) {
                if (p.label_explicit[i]) continue;
                if (p.label_defined[i] < 0) {
                    std::string name;
                    for (auto& kv : p.label_names)
                        if (kv.second == static_cast<int>(i)) name = kv.first;
                    return fail("label '" + name + "' is never placed");
                }
                r.labels[i] = p.label_defined[i];
            }
            if (r.labels.size() > 255) return fail("more than 255 labels");
            if (r.constants.size() > 255) return fail("more than 255 constants");
            r.constant_count = static_cast<uint8_t>(r.constants.size());
            r.label_count = static_cast<uint8_t>(r.labels.size());
            r.code_size = static_cast<uint32_t>(r.code.size());
            records->push_back(r);
            in_record = false;
            continue;
        }
        if (word == "const") {
            // const [NAME] TYPE VALUE...
            size_t i = 1;
            std::string name;
            static const char* kinds[] = {"int", "text", "float", "vector", "type"};
            auto is_kind = [&](const std::string& s) {
                for (const char* k : kinds)
                    if (s == k) return true;
                return false;
            };
            if (i < tok.size() && !tok[i].quoted && !is_kind(tok[i].text)) name = tok[i++].text;
            if (i >= tok.size()) return fail("const needs a type");
            std::string kind = tok[i++].text;
            ScriptConstantEntry c;
            size_t values = tok.size() - i;
            long long v;
            if (kind == "int" && values == 1 && ParseInt(tok[i].text, INT32_MIN, UINT32_MAX, &v)) {
                c.type = kScriptConstInt;
                c.integer = static_cast<int32_t>(static_cast<uint32_t>(v));
            } else if (kind == "text" && values == 1 && tok[i].quoted) {
                c.type = kScriptConstText;
                c.text = tok[i].text;
                if (c.text.size() > kScriptMaxFileText) return fail("text longer than 254 characters");
                if (c.text.find('\0') != std::string::npos) return fail("text holds a zero byte");
            } else if (kind == "float" && values == 1 && ParseFloat(tok[i].text, &c.number)) {
                c.type = kScriptConstFloat;
            } else if (kind == "vector" && values == 3 && ParseFloat(tok[i].text, &c.vector[0]) &&
                       ParseFloat(tok[i + 1].text, &c.vector[1]) &&
                       ParseFloat(tok[i + 2].text, &c.vector[2])) {
                c.type = kScriptConstVector;
            } else if (kind == "type" && values == 1 && ParseInt(tok[i].text, 4, 255, &v)) {
                c.type = static_cast<uint8_t>(v);
            } else {
                return fail("bad constant");
            }
            if (!name.empty()) {
                if (p.constant_names.count(name)) return fail("constant '" + name + "' declared twice");
                p.constant_names[name] = static_cast<int>(r.constants.size());
            }
            r.constants.push_back(c);
            continue;
        }
        if (word == "label") {
            if (tok.size() != 2 && !(tok.size() == 4 && tok[2].text == "@"))
                return fail("label NAME [@ OFFSET]");
            const std::string& name = tok[1].text;
            if (p.label_names.count(name)) return fail("label '" + name + "' declared twice");
            int index = p.Label(name);
            if (tok.size() == 4) {
                long long v;
                if (!ParseInt(tok[3].text, INT32_MIN, UINT32_MAX, &v)) return fail("bad label offset");
                r.labels[index] = static_cast<int32_t>(static_cast<uint32_t>(v));
                p.label_explicit[index] = true;
            }
            continue;
        }
        if (word == ".byte") {
            for (size_t i = 1; i < tok.size(); ++i) {
                long long v;
                if (!ParseInt(tok[i].text, 0, 255, &v)) return fail("bad byte '" + tok[i].text + "'");
                r.code.push_back(static_cast<uint8_t>(v));
            }
            continue;
        }
        size_t first = 0;
        if (!tok[0].quoted && word.size() > 1 && word.back() == ':') {
            std::string name = word.substr(0, word.size() - 1);
            int index = p.Label(name);
            if (p.label_explicit[index] || p.label_defined[index] >= 0)
                return fail("label '" + name + "' placed twice");
            p.label_defined[index] = static_cast<int>(r.code.size());
            first = 1;
            if (tok.size() == 1) continue;
        }
        const Token& m = tok[first];
        int found = m.quoted ? -1 : ScriptOpcodeByMnemonic(m.text);
        if (found < 0) return fail("unknown instruction '" + m.text + "'");
        uint8_t op = static_cast<uint8_t>(found);
        ScriptOperands kind = ScriptOpcode(op).operands;
        size_t given = tok.size() - first - 1;
        size_t wanted = static_cast<size_t>(ScriptOperandBytes(kind));
        if (given != wanted)
            return fail(std::string(ScriptOpcode(op).name) + " takes " + std::to_string(wanted) +
                        " operand(s)");
        r.code.push_back(op);
        for (size_t i = 0; i < wanted; ++i) {
            const Token& a = tok[first + 1 + i];
            long long v;
            if (kind == kOperandsLabel) {
                if (!a.quoted && a.text.size() > 1 && a.text[0] == '#') {
                    if (!ParseInt(a.text.substr(1), 0, 255, &v)) return fail("bad label index");
                    r.code.push_back(static_cast<uint8_t>(v));
                } else {
                    p.label_uses.push_back({r.code.size(), a.text, line_number});
                    r.code.push_back(0);
                }
            } else if (kind == kOperandsConstant) {
                if (a.quoted) {
                    int index = -1;
                    for (size_t c = 0; c < r.constants.size(); ++c)
                        if (r.constants[c].type == kScriptConstText && r.constants[c].text == a.text) {
                            index = static_cast<int>(c);
                            break;
                        }
                    if (index < 0) {
                        if (a.text.size() > kScriptMaxFileText)
                            return fail("text longer than 254 characters");
                        if (a.text.find('\0') != std::string::npos) return fail("text holds a zero byte");
                        ScriptConstantEntry c;
                        c.type = kScriptConstText;
                        c.text = a.text;
                        index = static_cast<int>(r.constants.size());
                        r.constants.push_back(c);
                    }
                    if (index > 255) return fail("more than 255 constants");
                    r.code.push_back(static_cast<uint8_t>(index));
                } else if (p.constant_names.count(a.text)) {
                    r.code.push_back(static_cast<uint8_t>(p.constant_names[a.text]));
                } else if (ParseInt(a.text, 0, 255, &v)) {
                    r.code.push_back(static_cast<uint8_t>(v));
                } else {
                    return fail("unknown constant '" + a.text + "'");
                }
            } else {
                if (!ParseInt(a.text, 0, 255, &v)) return fail("bad operand '" + a.text + "'");
                r.code.push_back(static_cast<uint8_t>(v));
            }
        }
    }
    if (in_record) {
        line_number = p.start_line;
        return fail("record '" + p.record.name + "' has no end");
    }
    return true;
}
