#include "world/areascript.h"

#include "utility/log.h"
#include "world/area.h"

void AreaScriptWorld::ScriptCall(int code, const char* name, int) {
    if (!g_area) {
        LogLine("no area - script world call %i on '%s' dropped", code, name ? name : "");
        return;
    }
    if (code == 4 || code == 5) g_area->ScriptHook(code, name, 0.0f, 0.0f, 0.0f);
}

void AreaScriptWorld::ScriptVectorCall(int code, const char* name, const VECTOR& v) {
    if (!g_area) {
        LogLine("no area - script world call %i on '%s' dropped", code, name ? name : "");
        return;
    }
    if (code == 1 || code == 2) g_area->ScriptHook(code, name, v.x, v.y, v.z);
}

ScriptWorld* GetAreaScriptWorld() {
    static AreaScriptWorld world;
    return &world;
}
