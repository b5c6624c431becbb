// The dialog language: a source compiled to a dialog file; one that compiles
// must load, decompile into a source that compiles to the same bytes, and
// play as a conversation.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "dialog/dialogfile.h"
#include "dialog/dialoglanguage.h"
#include "dialog_run.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    std::string source(reinterpret_cast<const char*>(data), size);
    std::vector<unsigned char> bytes;
    DialogCompileError error;
    std::vector<DialogCompileError> all;
    if (!CompileDialogSource(source, &bytes, &error, &all)) return 0;
    DIALOG dialog;
    if (!dialog.loadBytes(bytes.data(), bytes.size(), "fuzz", "dialogs\\fuzz.dlg")) {
        std::fprintf(stderr, "a compiled dialog does not load\n");
        __builtin_trap();
    }
    std::string text = DecompileDialog(dialog);
    std::vector<unsigned char> again;
    if (!CompileDialogSource(text, &again, &error) || again != bytes) {
        std::fprintf(stderr, "decompiled source does not compile back (%d:%d %s):\n%s\n", error.line,
                     error.column, error.message.c_str(), text.c_str());
        __builtin_trap();
    }
    const uint8_t choices[] = {0, 1, 2, 1, 0, 3};
    fuzz::PlayDialog(bytes.data(), bytes.size(), choices, sizeof choices, 30);
    return 0;
}
