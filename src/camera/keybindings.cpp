#include "camera/keybindings.h"

#include <cstdint>

#include "camera/playercamera.h"
#include "imports/gameimports.h"
#include "input/dikeys.h"
#include "settings/settings.h"
#include "utility/log.h"
#include "world/world.h"

namespace {

PlayerCamera* s_camera = nullptr;

void SetFlag(KeyEvent* e, int flag, bool on) {
    if (!e->context) return;
    static_cast<uint8_t*>(e->context)[flag] = on ? 1 : 0;
}

// Movement.
void KeyForward(KeyEvent* e) { SetFlag(e, MOVE_FORWARD, e->pressed); }
void KeyBackward(KeyEvent* e) { SetFlag(e, MOVE_BACKWARD, e->pressed); }
void KeyStrafeA(KeyEvent* e) { SetFlag(e, MOVE_STRAFE_A, e->pressed); }
void KeyStrafeB(KeyEvent* e) { SetFlag(e, MOVE_STRAFE_B, e->pressed); }

bool CollisionOn() { return g_settings && g_settings->collisionOn; }
// The editor camera only rises and sinks while it flies free.
void KeyRise(KeyEvent* e) { SetFlag(e, MOVE_RISE, e->pressed && !CollisionOn()); }
void KeySink(KeyEvent* e) { SetFlag(e, MOVE_SINK, e->pressed && !CollisionOn()); }

void Toggle(uint8_t& flag) { flag = flag ? 0 : 1; }

// Editor toggles and settings.
void KeyEditor(KeyEvent* e) {
    if (e->pressed && g_settings) Toggle(g_settings->editor);
}
void KeyDebugText(KeyEvent* e) {
    if (e->pressed && g_settings) Toggle(g_settings->showDebugText);
}
void KeyHelpers(KeyEvent* e) {
    if (e->pressed && g_settings) Toggle(g_settings->showHelperObjects);
}
void KeyCollision(KeyEvent* e) {
    if (e->pressed && g_settings) Toggle(g_settings->collisionOn);
}
void KeyShading(KeyEvent* e) {
    if (e->pressed && g_settings) Toggle(g_settings->fullShading);
}

void SetSpeed(KeyEvent* e, float speed) {
    if (e->pressed && g_settings) g_settings->movementSpeed = speed;
}
void KeySpeed1(KeyEvent* e) { SetSpeed(e, 450.0f); }
void KeySpeed2(KeyEvent* e) { SetSpeed(e, 600.0f); }
void KeySpeed3(KeyEvent* e) { SetSpeed(e, 1000.0f); }
void KeySpeed4(KeyEvent* e) { SetSpeed(e, 8000.0f); }
void KeyFaster(KeyEvent* e) {
    if (e->pressed && g_settings) g_settings->movementSpeed += 150.0f;
}
void KeySlower(KeyEvent* e) {
    if (!e->pressed || !g_settings) return;
    g_settings->movementSpeed -= 150.0f;
    if (g_settings->movementSpeed < 0.0f) g_settings->movementSpeed = 0.0f;
}

// World clock and weather.
void KeyClockForward(KeyEvent* e) {
    if (e->pressed && g_world) g_world->AddTime(1000);
}
void KeyClockBack(KeyEvent* e) {
    if (e->pressed && g_world) g_world->AddTime(-1000);
}
void KeyWeatherBad(KeyEvent* e) {
    if (e->pressed && g_world) g_world->FadeWeather(50, 500);
}
void KeyWeatherFair(KeyEvent* e) {
    if (e->pressed && g_world) g_world->FadeWeather(0, 500);
}

// Held edit-mode keys: the mode while held, 0 on release.
void HoldEditMode(KeyEvent* e, int mode, bool clearsSums) {
    if (!g_settings) return;
    if (e->pressed) {
        g_settings->editorSelectionMode = static_cast<uint8_t>(mode);
        if (clearsSums) g_imports->EditorEnterEditMode(mode);
    } else {
        g_settings->editorSelectionMode = 0;
    }
}
void KeyLink(KeyEvent* e) { HoldEditMode(e, 4, false); }
void KeyLinkMove(KeyEvent* e) { HoldEditMode(e, 7, false); }
void KeyCopy(KeyEvent* e) { HoldEditMode(e, 5, false); }
void KeyMove(KeyEvent* e) { HoldEditMode(e, 1, true); }
void KeyRotate(KeyEvent* e) { HoldEditMode(e, 2, true); }
void KeyRotateWorld(KeyEvent* e) { HoldEditMode(e, 3, true); }
void KeyScale(KeyEvent* e) { HoldEditMode(e, 6, true); }

// The game's keys of conversations and the quest log: a press waits until
// the game frame takes it.
bool s_pressed[INPUT_KEY_COUNT] = {};
void KeyNotePress(KeyEvent* e) {
    if (e->pressed && e->code >= 0 && e->code < INPUT_KEY_COUNT) s_pressed[e->code] = true;
}
const int kNotedKeys[] = {DIK_RETURN, DIK_NUMPADENTER, DIK_SPACE, DIK_1, DIK_2, DIK_3,       DIK_4,
                          DIK_5,      DIK_6,           DIK_7,     DIK_8, DIK_9, kQuestLogKey};

// Editor commands: the editor lives with the game.
void EditorCommand(KeyEvent* e, EditorKeyCommand command) {
    if (e->pressed) g_imports->EditorCommand(command);
}
void KeyDelete(KeyEvent* e) { EditorCommand(e, EDITOR_DELETE_SELECTED); }
void KeyProperties(KeyEvent* e) { EditorCommand(e, EDITOR_EDIT_SELECTED); }
void KeySpawn(KeyEvent* e) { EditorCommand(e, EDITOR_SPAWN_DIALOG); }
void KeyScriptCall(KeyEvent* e) { EditorCommand(e, EDITOR_SCRIPT_CALL); }
void KeyLoadModel(KeyEvent* e) { EditorCommand(e, EDITOR_LOAD_MODEL); }
void KeyEntityFlag(KeyEvent* e) { EditorCommand(e, EDITOR_TOGGLE_FLAG); }
void KeyReportCamera(KeyEvent* e) {
    if (!e->pressed || !s_camera) return;
    const VECTOR& p = s_camera->position;
    VECTOR at = s_camera->LookAtPoint();
    LogLine("Position == (%f, %f, %f)", p.x, p.y, p.z);
    LogLine("LookAt == (%f, %f, %f)", at.x, at.y, at.z);
}

}  // namespace

namespace {

void BuildMovementKeys(KeyCallback* table) {
    for (int i = 0; i < INPUT_KEY_COUNT; ++i) table[i] = nullptr;
    table[DIK_UP] = KeyForward;
    table[DIK_HOME] = KeyForward;
    table[DIK_DOWN] = KeyBackward;
    table[DIK_END] = KeyBackward;
    table[DIK_LEFT] = KeyStrafeA;
    table[DIK_DELETE] = KeyStrafeA;
    table[DIK_RIGHT] = KeyStrafeB;
    table[DIK_NEXT] = KeyStrafeB;
}

}  // namespace

void BuildGameKeyTable(KeyCallback* table) {
    BuildMovementKeys(table);
    for (int key : kNotedKeys) table[key] = KeyNotePress;
}

bool TakeKeyPress(int key) {
    if (key < 0 || key >= INPUT_KEY_COUNT || !s_pressed[key]) return false;
    s_pressed[key] = false;
    return true;
}

void ClearKeyPresses() {
    for (bool& pressed : s_pressed) pressed = false;
}

const char* GameKeysHelp() {
    return "  Up / Home, Down / End      walk forward, backward\n"
           "  Left / Delete, Right / PgDn  step left, right\n"
           "  mouse                      look around\n"
           "  left button                use what the crosshair points at (talk, open, take)\n"
           "  Enter, Space or a click    next line of a conversation\n"
           "  1 to 9                     pick an answer\n"
           "  J                          quest log and items held\n"
           "  Esc                        quit (asks first)\n";
}

void BuildEditorKeyTable(KeyCallback* table) {
    BuildMovementKeys(table);
    table[DIK_PRIOR] = KeyRise;
    table[DIK_INSERT] = KeySink;
    table[DIK_M] = KeyEditor;
    table[DIK_1] = KeySpeed1;
    table[DIK_2] = KeySpeed2;
    table[DIK_3] = KeySpeed3;
    table[DIK_4] = KeySpeed4;
    table[DIK_ADD] = KeyFaster;
    table[DIK_SUBTRACT] = KeySlower;
    table[DIK_I] = KeyDebugText;
    table[DIK_H] = KeyHelpers;
    table[DIK_F5] = KeyCollision;
    table[DIK_W] = KeyShading;
    table[DIK_0] = KeyClockForward;
    table[DIK_9] = KeyClockBack;
    table[DIK_B] = KeyWeatherBad;
    table[DIK_G] = KeyWeatherFair;
    table[DIK_L] = KeyLink;
    table[DIK_A] = KeyLinkMove;
    table[DIK_SPACE] = KeyCopy;
    table[DIK_LSHIFT] = KeyMove;
    table[DIK_LCONTROL] = KeyRotate;
    table[DIK_Z] = KeyRotateWorld;
    table[DIK_X] = KeyScale;
    table[DIK_D] = KeyDelete;
    table[DIK_F12] = KeyLoadModel;
    table[DIK_P] = KeyReportCamera;
    table[DIK_F1] = KeyProperties;
    table[DIK_F10] = KeySpawn;
    table[DIK_F11] = KeyScriptCall;
    table[DIK_T] = KeyEntityFlag;
}

bool InstallKeyBindings(InputDriver* driver, bool editor) {
    if (!driver) return false;
    KeyCallback table[INPUT_KEY_COUNT];
    if (editor)
        BuildEditorKeyTable(table);
    else
        BuildGameKeyTable(table);
    return driver->SetKeyBindings(table);
}

void SetReportedCamera(PlayerCamera* camera) { s_camera = camera; }

PlayerCamera* ReportedCamera() { return s_camera; }
