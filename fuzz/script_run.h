// Runs a loaded script system as the game does: the init programs the load
// started, then scheduler passes on a moving clock, with every template
// started by name and fired by each trigger type along the way.
#ifndef ZENDAR_FUZZ_SCRIPT_RUN_H
#define ZENDAR_FUZZ_SCRIPT_RUN_H

class ScriptSystem;

namespace fuzz {

// Loads path into a fresh script system and runs it for passes frames.
void RunScriptFile(const char* path, int passes);

}  // namespace fuzz

#endif
