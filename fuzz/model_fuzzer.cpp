// Model files: loaded by name from "z1\" as the area loads its models, then
// drawn for two frames, picked and collided with (model_view.cpp).
#include <cstddef>
#include <cstdint>

#include "fuzz_common.h"
#include "model_view.h"
#include "models/z1model/z1model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    fuzz::WriteFile("z1/fuzz.z1", data, size);
    Z1Model model;
    if (model.Load("fuzz.z1")) fuzz::UseModel(model, 2);
    return 0;
}
