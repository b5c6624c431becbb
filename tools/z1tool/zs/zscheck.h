// The script language's checker: names resolved, value kinds worked out and
// checked, constants folded with the machine's own arithmetic, locals given
// their slots, unused locals and unreachable code found. It writes what it
// finds on the tree for the code generator.
#ifndef ZENDAR_TOOLS_Z1TOOL_ZS_ZSCHECK_H
#define ZENDAR_TOOLS_Z1TOOL_ZS_ZSCHECK_H

#include <cstdint>

#include "zsast.h"

// The engine calls a script can make, by the names the language gives them.
struct ZsEngineCall {
    const char* name;  // "world.trigger", "game.showMessage", ...
    uint8_t opcode;    // ScriptOp::world, game, worldvec or gamevec
    int32_t code;      // the engine-call code (imports/enginecalls.h)
    bool takesText;    // the first argument is the name or text; otherwise the null text is passed
    ZsType value;      // the last argument: kInt, kVector, or kVoid (0 is passed)
};

extern const ZsEngineCall kZsEngineCalls[];
extern const int kZsEngineCallCount;

void CheckZs(Unit& unit, Diagnostics& diag);

// The machine's own arithmetic, shared by the checker's folding and the tests.
int32_t ZsFloatToInt(float f);
// Whether a float comparison holds: the sign of a - b, worked out in single
// precision, with -0 counted as 0. op is one of kEq kNe kLt kGt kLe kGe.
bool ZsFloatCompare(Tok op, float a, float b);

#endif
