// The scripts' world calls acted out on the area's script hooks: trigger and
// unlock (opcode 0x46), rotate and move (opcode 0x4C).
#ifndef ZENDAR_WORLD_AREASCRIPT_H
#define ZENDAR_WORLD_AREASCRIPT_H

#include "z1script/scriptcalls.h"

class AreaScriptWorld : public ScriptWorld {
public:
    void ScriptCall(int code, const char* name, int value) override;
    void ScriptVectorCall(int code, const char* name, const VECTOR& v) override;
};

// The process-wide instance; the intro screen hands it to the script system
// once the script file is loaded (g_scripts->SetWorld).
ScriptWorld* GetAreaScriptWorld();

#endif
