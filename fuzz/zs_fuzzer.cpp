// The script-language compiler: any text compiles or is refused with
// diagnostics, never a crash. What compiles must be code the machine
// accepts as it stands - every operand inside its tables, every jump on an
// instruction of its own record, every call naming a text - with a line map
// that rises through the code; it is then written with its map and run as
// the game runs it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "script_run.h"
#include "z1script/opcodes.h"
#include "z1script/scriptfile.h"
#include "z1script/scriptlines.h"
#include "zs.h"

namespace {

[[noreturn]] void Broken(const ScriptRecord& r, const char* why) {
    std::fprintf(stderr, "compiled record '%s': %s\n", r.name.c_str(), why);
    __builtin_trap();
}

void CheckRecord(const ScriptRecord& r) {
    if (r.constants.size() != r.constant_count || r.labels.size() != r.label_count ||
        r.code.size() != r.code_size)
        Broken(r, "counts do not match the tables");
    std::set<int32_t> starts;
    for (size_t at = 0; at < r.code.size();) {
        starts.insert(static_cast<int32_t>(at));
        uint8_t op = r.code[at];
        ScriptOperands kind = kScriptOperands.of[op];
        if (at + static_cast<size_t>(ScriptOpcodeLength(op)) > r.code.size())
            Broken(r, "an operand past the end");
        uint8_t k = ScriptOperandBytes(kind) ? r.code[at + 1] : 0;
        if (kind == kOperandsLabel && k >= r.labels.size()) Broken(r, "a label index outside the table");
        if (kind == kOperandsConstant) {
            if (k >= r.constants.size()) Broken(r, "a constant index outside the table");
            uint8_t type = r.constants[k].type;
            if (op == ScriptOp::call && type != kScriptConstText)
                Broken(r, "a call of a constant that is no text");
            if (op == ScriptOp::pushcv && type != kScriptConstVector) Broken(r, "pushcv of a scalar");
        }
        at += static_cast<size_t>(ScriptOpcodeLength(op));
    }
    for (int32_t label : r.labels)
        if (label != static_cast<int32_t>(r.code.size()) && !starts.count(label))
            Broken(r, "a jump into the middle of an instruction");
    if (r.type == kScriptProgramRecord && r.trigger >= kTriggerClick &&
        (r.constants.empty() || r.constants[0].type != kScriptConstText))
        Broken(r, "a triggered program without its pattern as constant 0");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    ZsOutput out = CompileZs(std::string(reinterpret_cast<const char*>(data), size));
    if (!out.ok) {
        if (out.diagnostics.empty()) __builtin_trap();  // refused without saying why
        return 0;
    }
    for (const ScriptRecord& r : out.records) CheckRecord(r);
    for (size_t i = 0; i < out.lines.size(); ++i)
        if (out.lines[i].offset >= out.codeSize || (i > 0 && out.lines[i].offset <= out.lines[i - 1].offset))
            __builtin_trap();
    std::string path = fuzz::Folder() + "fuzz_zs.scr";
    std::string error;
    if (!WriteScriptFile(path.c_str(), out.records, &error)) return 0;
    if (!ScriptLineMap::Write(path.c_str(), "fuzz.zs", out.lines, out.codeSize, &error)) return 0;
    fuzz::RunScriptFile(path.c_str(), 12);
    return 0;
}
