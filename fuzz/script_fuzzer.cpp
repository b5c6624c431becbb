// Compiled script files: loaded as the intro screen loads the settings'
// script file, then run by the scheduler (script_run.cpp).
#include <cstddef>
#include <cstdint>

#include "fuzz_common.h"
#include "script_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    std::string path = fuzz::WriteFile("fuzz.scr", data, size);
    fuzz::RunScriptFile(path.c_str(), 24);
    return 0;
}
