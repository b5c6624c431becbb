// The model's extra-settings file: "z1\fuzz.ex" beside a model with named
// materials and sub-materials, read when the model loads, then drawn over a
// few frames so the texture scrolling it sets runs.
#include <cstddef>
#include <cstdint>

#include "fuzz_common.h"
#include "fuzz_scenes.h"
#include "model_view.h"
#include "models/z1model/z1model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    static bool written = Z1WriteFile((fuzz::Folder() + "z1/fuzz.z1").c_str(), fuzz::MaterialShowcase());
    if (!written) __builtin_trap();
    fuzz::WriteFile("z1/fuzz.ex", data, size);
    Z1Model model;
    if (model.Load("fuzz.z1")) fuzz::UseModel(model, 3);
    return 0;
}
