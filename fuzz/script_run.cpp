#include "script_run.h"

#include <string>
#include <vector>

#include "fuzz_common.h"
#include "z1script/scriptsystem.h"

namespace fuzz {

void RunScriptFile(const char* path, int passes) {
    ScriptSystem scripts;
    scripts.Load(path);
    std::vector<std::string> names;
    for (ScriptTemplate* t = scripts.Templates(); t && names.size() < 16; t = t->next)
        names.push_back(t->name.c_str());
    for (int pass = 0; pass < passes; ++pass) {
        if (pass < static_cast<int>(names.size())) {
            const std::string& name = names[static_cast<size_t>(pass)];
            scripts.StartByName(name.c_str());
            scripts.FireClick(name.c_str());
            scripts.FireCollision(name.c_str());
            scripts.FirePickup(name.c_str());
        }
        scripts.RunScheduler();
        NextFrame();
    }
}

}  // namespace fuzz
