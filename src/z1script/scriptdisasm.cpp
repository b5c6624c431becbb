// The disassembler: the records of a compiled script file as script
// assembly text.
#include "z1script/scriptasm.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "utility/quote.h"

namespace {

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

}  // namespace

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
            out += "function " + QuoteText(r.name, QuoteHighBytes::kEscape) + buf;
            if (r.reserved_byte) out += " reserved=" + std::to_string(r.reserved_byte);
        } else {
            out += "program " + QuoteText(r.name, QuoteHighBytes::kEscape) +
                   " locals=" + std::to_string(r.local_count);
            const char* t = ScriptTriggerWord(r.trigger);
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
            case kScriptConstText: out += "text " + QuoteText(c.text, QuoteHighBytes::kEscape); break;
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
                        note = QuoteText(c.text, QuoteHighBytes::kEscape);
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
