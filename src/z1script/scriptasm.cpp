#include "z1script/scriptasm.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

struct OpcodeTable {
    ScriptOpcodeInfo info[256];
    std::string names[256];

    void Set(int op, const char* name, ScriptOperands operands) {
        names[op] = name;
        info[op] = {names[op].c_str(), operands};
    }

    OpcodeTable() {
        // Opcodes without a meaning of their own are named after their value,
        // so that every byte has exactly one mnemonic.
        char buf[16];
        for (int op = 0; op < 256; ++op) {
            std::snprintf(buf, sizeof buf, "nop.%02x", op);
            Set(op, buf, kOperandsNone);
        }
        Set(0x00, "nop", kOperandsNone);
        Set(0x01, "mod255", kOperandsNone);
        Set(0x02, "mul", kOperandsNone);
        Set(0x03, "neg", kOperandsNone);
        Set(0x04, "mod", kOperandsNone);
        Set(0x05, "sub", kOperandsNone);
        Set(0x06, "div", kOperandsNone);
        Set(0x07, "add", kOperandsNone);
        Set(0x08, "addl", kOperandsLocalAndByte);
        Set(0x09, "jmp", kOperandsLabel);
        Set(0x0A, "jz", kOperandsLabel);
        Set(0x0B, "jnz", kOperandsLabel);
        Set(0x0C, "jteq", kOperandsLabel);
        Set(0x0D, "jtne", kOperandsLabel);
        Set(0x0E, "jz.0e", kOperandsLabel);
        Set(0x0F, "jnz.0f", kOperandsLabel);
        Set(0x10, "jeq", kOperandsLabel);
        Set(0x11, "jgt", kOperandsLabel);
        Set(0x12, "jlt", kOperandsLabel);
        Set(0x13, "jle", kOperandsLabel);
        Set(0x14, "jge", kOperandsLabel);
        Set(0x15, "jne", kOperandsLabel);
        Set(0x16, "retv", kOperandsNone);
        Set(0x17, "retv.17", kOperandsNone);
        Set(0x6D, "retv.6d", kOperandsNone);
        Set(0x18, "ret", kOperandsNone);
        Set(0x19, "pushl", kOperandsLocal);
        Set(0x23, "pushl.23", kOperandsLocal);
        Set(0x2D, "pushl.2d", kOperandsLocal);
        Set(0x1E, "storel", kOperandsLocal);
        Set(0x28, "storel.28", kOperandsLocal);
        Set(0x32, "storel.32", kOperandsLocal);
        Set(0x63, "storel.63", kOperandsLocal);
        Set(0x37, "dup", kOperandsNone);
        Set(0x38, "pop", kOperandsNone);
        Set(0x39, "swap", kOperandsNone);
        for (int i = 0; i < 6; ++i) {
            std::snprintf(buf, sizeof buf, "push%d", i);
            Set(0x3A + i, buf, kOperandsNone);
        }
        Set(0x40, "pushc", kOperandsConstant);
        Set(0x41, "pushc.41", kOperandsConstant);
        Set(0x42, "pushc.42", kOperandsConstant);
        Set(0x43, "pushnull", kOperandsNone);
        Set(0x44, "call", kOperandsConstant);
        for (int op : {0x45, 0x47, 0x49, 0x4A, 0x4B, 0x4D, 0x4F, 0x50, 0x53, 0x54, 0x55}) {
            std::snprintf(buf, sizeof buf, "ecall.%02x", op);
            Set(op, buf, kOperandsNone);
        }
        Set(0x46, "world", kOperandsNone);
        Set(0x48, "game", kOperandsNone);
        Set(0x4C, "worldvec", kOperandsNone);
        Set(0x4E, "gamevec", kOperandsNone);
        Set(0x51, "sleep", kOperandsNone);
        Set(0x52, "wait", kOperandsNone);
        Set(0x56, "rand", kOperandsNone);
        Set(0x57, "randrange", kOperandsNone);
        Set(0x58, "fadd", kOperandsNone);
        Set(0x59, "concat", kOperandsNone);
        Set(0x5A, "itof", kOperandsNone);
        Set(0x5B, "itos", kOperandsNone);
        Set(0x5C, "ftoi", kOperandsNone);
        Set(0x5D, "ftos", kOperandsNone);
        Set(0x5E, "stoi", kOperandsNone);
        Set(0x5F, "stof", kOperandsNone);
        Set(0x60, "pushcv", kOperandsConstant);
        Set(0x61, "storelv", kOperandsLocal);
        Set(0x62, "pushlv", kOperandsLocal);
        Set(0x64, "storely", kOperandsLocal);
        Set(0x65, "storelz", kOperandsLocal);
        Set(0x66, "pushlx", kOperandsLocal);
        Set(0x67, "pushly", kOperandsLocal);
        Set(0x68, "pushlz", kOperandsLocal);
        Set(0x69, "vec", kOperandsNone);
        Set(0x6A, "fmul", kOperandsNone);
        Set(0x6B, "fsub", kOperandsNone);
        Set(0x6C, "fdiv", kOperandsNone);
        Set(0x6E, "pusharg", kOperandsNone);
        Set(0x6F, "fneg", kOperandsNone);
    }
};

const OpcodeTable& Table() {
    static const OpcodeTable table;
    return table;
}

int OperandBytes(ScriptOperands o) {
    switch (o) {
    case kOperandsNone: return 0;
    case kOperandsLocalAndByte: return 2;
    default: return 1;
    }
}

// ---------------------------------------------------------------- text form

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Shortest decimal that reads back to the same bits; raw bits otherwise.
std::string FloatText(float f) {
    char buf[48];
    if (std::isfinite(f)) {
        for (int precision = 6; precision <= 9; ++precision) {
            std::snprintf(buf, sizeof buf, "%.*g", precision, static_cast<double>(f));
            float back = std::strtof(buf, nullptr);
            if (std::memcmp(&back, &f, 4) == 0) return buf;
        }
    }
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    std::snprintf(buf, sizeof buf, "bits:0x%08x", bits);
    return buf;
}

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
    static const char* names[] = {"never", "init", "click", "collision", "pickup"};
    for (int i = 0; i < 5; ++i)
        if (s == names[i]) return i;
    long long v;
    if (ParseInt(s, 0, 255, &v)) return static_cast<int>(v);
    return -1;
}

const char* TriggerWord(int t) {
    static const char* names[] = {"never", "init", "click", "collision", "pickup"};
    return t >= 0 && t < 5 ? names[t] : nullptr;
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

const ScriptOpcodeInfo& ScriptOpcode(uint8_t opcode) { return Table().info[opcode]; }

int ScriptOpcodeLength(uint8_t opcode) { return 1 + OperandBytes(Table().info[opcode].operands); }

bool AssembleScript(const std::string& source, std::vector<ScriptRecord>* records, std::string* error) {
    records->clear();
    std::map<std::string, int> mnemonics;
    for (int op = 0; op < 256; ++op) mnemonics[Table().info[op].name] = op;

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
        auto found = m.quoted ? mnemonics.end() : mnemonics.find(m.text);
        if (found == mnemonics.end()) return fail("unknown instruction '" + m.text + "'");
        uint8_t op = static_cast<uint8_t>(found->second);
        ScriptOperands kind = Table().info[op].operands;
        size_t given = tok.size() - first - 1;
        size_t wanted = kind == kOperandsNone ? 0 : kind == kOperandsLocalAndByte ? 2 : 1;
        if (given != wanted)
            return fail(std::string(Table().info[op].name) + " takes " + std::to_string(wanted) +
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

std::string DisassembleScript(const std::vector<ScriptRecord>& records) {
    std::string out;
    char buf[512];
    // Where each record's code lands in the loaded segment, so that the
    // offsets in fault lines can be found here.
    uint64_t segment_offset = 0;
    for (const ScriptRecord& r : records) {
        if (r.type != kScriptFunctionRecord && r.type != kScriptProgramRecord) {
            std::snprintf(buf, sizeof buf, ".type %d\n\n", r.type);
            out += buf;
            continue;
        }
        if (r.type == kScriptFunctionRecord) {
            std::snprintf(buf, sizeof buf, " params=%d frame=%d", r.param_count, r.frame_size);
            out += "function " + Quote(r.name) + buf;
            if (r.reserved_byte) out += " reserved=" + std::to_string(r.reserved_byte);
        } else {
            out += "program " + Quote(r.name) + " locals=" + std::to_string(r.local_count);
            const char* t = TriggerWord(r.trigger);
            out += " trigger=" + (t ? std::string(t) : std::to_string(r.trigger));
            if (r.synchronized == 1)
                out += " sync";
            else if (r.synchronized)
                out += " sync=" + std::to_string(r.synchronized);
        }
        if (r.reserved_short) out += " reserved16=" + std::to_string(r.reserved_short);
        out += "  ; code at " + std::to_string(segment_offset) + "\n";
        segment_offset += r.code.size();

        for (size_t i = 0; i < r.constants.size(); ++i) {
            const ScriptConstantEntry& c = r.constants[i];
            std::snprintf(buf, sizeof buf, "  const c%zu ", i);
            out += buf;
            switch (c.type) {
            case kScriptConstInt: out += "int " + std::to_string(c.integer); break;
            case kScriptConstText: out += "text " + Quote(c.text); break;
            case kScriptConstFloat: out += "float " + FloatText(c.number); break;
            case kScriptConstVector:
                out += "vector " + FloatText(c.vector[0]) + " " + FloatText(c.vector[1]) + " " +
                       FloatText(c.vector[2]);
                break;
            default: out += "type " + std::to_string(c.type); break;
            }
            out += "\n";
        }

        // Instruction boundaries decide which labels can be placed in the
        // code; the others keep their offset explicitly.
        const size_t size = r.code.size();
        std::vector<bool> boundary(size + 1, false);
        std::vector<bool> raw(size, false);
        for (size_t at = 0; at < size;) {
            int length = ScriptOpcodeLength(r.code[at]);
            boundary[at] = true;
            if (at + length > size) {
                for (size_t k = at; k < size; ++k) raw[k] = true;
                at = size;
            } else {
                at += length;
            }
        }
        boundary[size] = true;
        std::multimap<size_t, size_t> placed;
        for (size_t i = 0; i < r.labels.size(); ++i) {
            int32_t l = r.labels[i];
            if (l >= 0 && static_cast<size_t>(l) <= size && boundary[l] &&
                !(l < static_cast<int32_t>(size) && raw[l])) {
                std::snprintf(buf, sizeof buf, "  label L%zu\n", i);
                placed.emplace(static_cast<size_t>(l), i);
            } else {
                std::snprintf(buf, sizeof buf, "  label L%zu @ %d\n", i, l);
            }
            out += buf;
        }

        auto place_labels = [&](size_t at) {
            auto range = placed.equal_range(at);
            for (auto it = range.first; it != range.second; ++it) {
                std::snprintf(buf, sizeof buf, "L%zu:\n", it->second);
                out += buf;
            }
        };
        for (size_t at = 0; at < size;) {
            place_labels(at);
            uint8_t op = r.code[at];
            if (raw[at]) {
                out += "  .byte";
                for (; at < size; ++at) {
                    std::snprintf(buf, sizeof buf, " 0x%02x", r.code[at]);
                    out += buf;
                }
                out += "\n";
                break;
            }
            const ScriptOpcodeInfo& info = ScriptOpcode(op);
            std::string text = std::string("  ") + info.name;
            std::string note;
            switch (info.operands) {
            case kOperandsNone: break;
            case kOperandsLabel: {
                uint8_t L = r.code[at + 1];
                if (L < r.labels.size())
                    text += " L" + std::to_string(L);
                else
                    text += " #" + std::to_string(L);
                break;
            }
            case kOperandsConstant: {
                uint8_t k = r.code[at + 1];
                text += " " + std::to_string(k);
                if (k < r.constants.size()) {
                    const ScriptConstantEntry& c = r.constants[k];
                    if (c.type == kScriptConstText)
                        note = Quote(c.text);
                    else if (c.type == kScriptConstInt)
                        note = std::to_string(c.integer);
                    else if (c.type == kScriptConstFloat)
                        note = FloatText(c.number);
                }
                break;
            }
            case kOperandsLocal: text += " " + std::to_string(r.code[at + 1]); break;
            case kOperandsLocalAndByte:
                text += " " + std::to_string(r.code[at + 1]) + " " + std::to_string(r.code[at + 2]);
                break;
            }
            std::snprintf(buf, sizeof buf, "%-24s ; %u", text.c_str(), static_cast<unsigned>(at));
            out += buf;
            if (!note.empty()) out += "  " + note;
            out += "\n";
            at += ScriptOpcodeLength(op);
        }
        place_labels(size);
        out += "end\n\n";
    }
    return out;
}
