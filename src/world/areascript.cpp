#include "world/areascript.h"

#include "imports/enginecalls.h"
#include "utility/log.h"
#include "world/area.h"

void AreaScriptCall(int code, const char* name, int) {
    if (!g_area) {
        LogLine("no area - script world call %i on '%s' dropped", code, name ? name : "");
        return;
    }
    if (code == kWorldCallTrigger || code == kWorldCallUnlock)
        g_area->ScriptHook(code, name, 0.0f, 0.0f, 0.0f);
}

void AreaScriptVectorCall(int code, const char* name, const VECTOR& v) {
    if (!g_area) {
        LogLine("no area - script world call %i on '%s' dropped", code, name ? name : "");
        return;
    }
    if (code == kWorldVectorCallRotate || code == kWorldVectorCallMove)
        g_area->ScriptHook(code, name, v.x, v.y, v.z);
}
