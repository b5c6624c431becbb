// The script assembler: text assembled into records, which must disassemble
// into text that assembles to the same records; what assembled is written
// as a compiled script file and run as the game runs it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "script_run.h"
#include "z1script/scriptasm.h"
#include "z1script/scriptfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    std::string source(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptRecord> records;
    std::string error;
    if (!AssembleScript(source, &records, &error)) return 0;
    std::string text = DisassembleScript(records);
    std::vector<ScriptRecord> again;
    if (!AssembleScript(text, &again, &error) || DisassembleScript(again) != text) {
        std::fprintf(stderr, "disassembly does not assemble back: %s\n%s\n", error.c_str(), text.c_str());
        __builtin_trap();
    }
    std::string path = fuzz::Folder() + "fuzz.scr";
    if (!WriteScriptFile(path.c_str(), records, &error)) return 0;
    fuzz::RunScriptFile(path.c_str(), 12);
    return 0;
}
