// The null import table, the engine's stub of the game: every call writes one
// log line and answers "nothing", so that tools and tests run the engine's
// lower modules without a game and a missing link still shows in the log.
#include "imports/gameimports.h"

#include "imports/enginecalls.h"
#include "settings/settings.h"
#include "utility/log.h"

namespace {

const char* Text(const char* s) { return s ? s : ""; }

const char* const kEditorCommandNames[] = {
    "delete command",     "property dialog", "spawn dialog",
    "script call dialog", "model loading",   "entity flag toggle",
};

NullImports s_nullImports;

}  // namespace

GameImports* g_imports = &s_nullImports;

void SetGameImports(GameImports* imports) { g_imports = imports ? imports : &s_nullImports; }

void DialogTextLines::AddLine(const char* colour, const char* text, int selectable) {
    lines.push_back({String(Text(colour)), String(Text(text)), selectable});
}

bool ApplyScriptSettingsCall(int code, int value) {
    if (!g_settings) return false;
    if (code == kGameCallCollisionOn) {
        g_settings->collisionOn = value != 0;
        return true;
    }
    if (code == kGameCallMovementSpeed) {
        g_settings->movementSpeed = static_cast<float>(value);
        return true;
    }
    return false;
}

bool NullImports::HasItem(const char* item) {
    LogLine("game not linked - item '%s' taken as not held", Text(item));
    return false;
}

void NullImports::AddItem(const char* item) { LogLine("game not linked - item '%s' not added", Text(item)); }

void NullImports::RemoveItem(const char* item) {
    LogLine("game not linked - item '%s' not removed", Text(item));
}

bool NullImports::QuestFlagDefined(const char* flag) {
    LogLine("game not linked - quest flag '%s' taken as not set", Text(flag));
    return false;
}

void NullImports::SetQuestFlag(const char* flag) {
    LogLine("game not linked - quest flag '%s' dropped", Text(flag));
}

void NullImports::ShowMessage(const char* text, float seconds) {
    LogLine("game not linked - message '%s' (%f s)", Text(text), seconds);
}

void NullImports::SetPointerMode() { LogLine("game not linked - mouse stays in look mode"); }

void NullImports::StartScript(const char* name) {
    LogLine("game not linked - script '%s' not started", Text(name));
}

void NullImports::WorldCall(int code, const char* name, int value) {
    LogLine("script world call %i on '%s' (%i)", code, Text(name), value);
}

void NullImports::WorldVectorCall(int code, const char* name, const VECTOR& v) {
    LogLine("script world vector call %i on '%s' (%f, %f, %f)", code, Text(name), v.x, v.y, v.z);
}

void NullImports::GameCall(int code, const char* text, int value) {
    LogLine("script game call %i '%s' (%i)", code, Text(text), value);
    ApplyScriptSettingsCall(code, value);
}

void NullImports::GameVectorCall(int code, const char* text, const VECTOR& v) {
    LogLine("script game vector call %i '%s' (%f, %f, %f)", code, Text(text), v.x, v.y, v.z);
}

void NullImports::ErrorBox(const char* caption, const char* text) {
    LogLine("game not linked - error box '%s': %s", Text(caption), Text(text));
}

DialogTextBox* NullImports::CreateConversationView(int x, int y) {
    LogLine("game not linked - conversation view at (%d, %d) kept as text", x, y);
    return new DialogTextLines();
}

void NullImports::PlaceConversationCamera(const float eye[3], const float target[3]) {
    LogLine("game not linked - no conversation camera (eye %.1f %.1f %.1f, target %.1f %.1f %.1f)", eye[0],
            eye[1], eye[2], target[0], target[1], target[2]);
}

void NullImports::EditorEnterEditMode(int mode) {
    LogLine("game not linked - editor edit mode %i dropped", mode);
}

void NullImports::EditorCommand(EditorKeyCommand command) {
    int i = static_cast<int>(command);
    const int count = static_cast<int>(sizeof kEditorCommandNames / sizeof kEditorCommandNames[0]);
    LogLine("game not linked - editor %s dropped", i >= 0 && i < count ? kEditorCommandNames[i] : "command");
}
