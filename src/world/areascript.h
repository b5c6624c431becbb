// The scripts' world calls acted out on the running area's script hooks:
// trigger and unlock (the world opcode), rotate and move (worldvec). The game's
// import table hands them here.
#ifndef ZENDAR_WORLD_AREASCRIPT_H
#define ZENDAR_WORLD_AREASCRIPT_H

#include "math/zmath.h"

void AreaScriptCall(int code, const char* name, int value);
void AreaScriptVectorCall(int code, const char* name, const VECTOR& v);

#endif
