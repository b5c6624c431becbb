// The fixed models some harnesses load their fuzzed file beside, and the
// seed maker writes matching seeds for: a skinned figure for animation files
// and a model with named materials for extra settings files.
#ifndef ZENDAR_FUZZ_FUZZ_SCENES_H
#define ZENDAR_FUZZ_FUZZ_SCENES_H

#include <string>
#include <vector>

#include "models/z1model/z1file.h"

namespace fuzz {

// Four bones in a chain, a strip of quads along them with every vertex bound
// to one bone (one unbound), and a morph target.
Z1Scene SkinnedFigure();
constexpr int kFigureBones = 4;

// Two standard materials (textured, one two-sided) and a multi-material with
// three sub-materials, each on its own mesh.
Z1Scene MaterialShowcase();
// Every material and sub-material name of the showcase.
std::vector<std::string> ShowcaseMaterialNames();

}  // namespace fuzz

#endif
