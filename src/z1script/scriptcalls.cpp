#include "z1script/scriptcalls.h"

#include "settings/settings.h"
#include "utility/log.h"

void ScriptWorld::ScriptCall(int code, const char* name, int value) {
    LogLine("script world call %i on '%s' (%i)", code, name, value);
}

void ScriptWorld::ScriptVectorCall(int code, const char* name, const VECTOR& v) {
    LogLine("script world vector call %i on '%s' (%f, %f, %f)", code, name, v.x, v.y, v.z);
}

void ScriptGame::ScriptCall(int code, const char* text, int value) {
    LogLine("script game call %i '%s' (%i)", code, text, value);
    ApplyScriptSettingsCall(code, value);
}

void ScriptGame::ScriptVectorCall(int code, const char* text, const VECTOR& v) {
    LogLine("script game vector call %i '%s' (%f, %f, %f)", code, text, v.x, v.y, v.z);
}

bool ApplyScriptSettingsCall(int code, int value) {
    if (!g_settings) return false;
    if (code == 3) {
        g_settings->collision_on = value != 0;
        return true;
    }
    if (code == 4) {
        g_settings->movement_speed = static_cast<float>(value);
        return true;
    }
    return false;
}

bool ScriptCallPrompt::Ask(char* text, int size) {
    if (size > 0) text[0] = 0;
    LogLine("script call dialog is not available");
    return false;
}
