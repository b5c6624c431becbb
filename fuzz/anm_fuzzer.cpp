// Animation files: "anims\fuzz.anm" played by a skinned model that names it
// (z1\fuzz.z1 plays anims\fuzz.anm), posed and drawn over frames long enough
// to cross several animation frames.
#include <cstddef>
#include <cstdint>

#include "fuzz_common.h"
#include "fuzz_scenes.h"
#include "model_view.h"
#include "models/z1model/z1model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    static bool written = Z1WriteFile((fuzz::Folder() + "z1/fuzz.z1").c_str(), fuzz::SkinnedFigure());
    if (!written) __builtin_trap();
    fuzz::WriteFile("anims/fuzz.anm", data, size);
    Z1Model model;
    if (model.Load("fuzz.z1")) fuzz::UseModel(model, 4);
    return 0;
}
