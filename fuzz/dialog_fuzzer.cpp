// Dialog files: loaded as a character binds its conversation, then played
// (dialog_run.cpp), the queries answered from the input's own last bytes.
#include <cstddef>
#include <cstdint>

#include "dialog_run.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    size_t tail = size < 8 ? size : 8;
    fuzz::PlayDialog(data, size, data + size - tail, tail, 40);
    return 0;
}
