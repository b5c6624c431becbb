#include "player/gamelinks.h"

#include "camera/mousemode.h"
#include "camera/playercamera.h"
#include "gfxdriver/gfxdriver.h"
#include "gui/font.h"
#include "player/game.h"
#include "settings/settings.h"
#include "world/world.h"
#include "world/worldlinks.h"
#include "z1script/scriptcalls.h"
#include "z1script/scriptsystem.h"

void ConversationView::AddLine(const char* colour, const char* text, int selectable) {
    AddEntry(text, colour, selectable != 0);
}

TextBox* ConversationTextBox(DialogTextBox* view) {
    ConversationView* conversation = dynamic_cast<ConversationView*>(view);
    return conversation ? static_cast<TextBox*>(conversation) : nullptr;
}

PlayerCamera* ConversationCamera() {
    static PlayerCamera* camera = nullptr;
    if (!camera) {
        float fov = g_settings ? g_settings->fov_radians : 0.0f;
        int backPlane = g_settings ? g_settings->back_plane : 0;
        camera = new PlayerCamera(fov, backPlane);
    }
    return camera;
}

void DrawFontText(float x, float y, const char* text) {
    if (g_font) g_font->DrawText(static_cast<int>(x), static_cast<int>(y), "%s", text ? text : "");
}

namespace {

// Without a game object the presentation's own defaults answer (and log).
class GamePresentation : public DialogPresentation {
public:
    DialogTextBox* CreateTextBox(int x, int y) override { return new ConversationView(g_font, x, y); }

    void PlaceConversationCamera(const float eye[3], const float target[3]) override {
        PlayerCamera* camera = ConversationCamera();
        if (g_settings) {
            camera->SetFieldOfView(g_settings->fov_radians);
            camera->SetFarPlane(g_settings->back_plane);
        }
        camera->LookAt(VECTOR(eye[0], eye[1], eye[2]), VECTOR(target[0], target[1], target[2]), 0.0f);
        camera->UpdateFrustum();
        if (g_gfxdriver) {
            g_gfxdriver->SetViewMatrix(&camera->view);
            g_gfxdriver->SetProjection(camera->fieldOfView, camera->aspect, camera->nearPlane,
                                       camera->farPlane);
        }
    }

    bool QuestFlagDefined(const char* flag) override {
        return g_game ? g_game->QuestFlagDefined(flag) : DialogPresentation::QuestFlagDefined(flag);
    }
    bool HasItem(const char* item) override {
        return g_game ? g_game->HasItem(item) : DialogPresentation::HasItem(item);
    }
    void SetQuestFlag(const char* flag) override {
        if (g_game)
            g_game->SetQuestFlag(flag);
        else
            DialogPresentation::SetQuestFlag(flag);
    }
    void AddItem(const char* item) override {
        if (g_game)
            g_game->AddItem(item);
        else
            DialogPresentation::AddItem(item);
    }
    void RemoveItem(const char* item) override {
        if (g_game)
            g_game->RemoveItem(item);
        else
            DialogPresentation::RemoveItem(item);
    }
    void StartScript(const char* name) override { StartScriptByName(name); }
};

class GameScriptCalls : public ScriptGame {
public:
    void ScriptCall(int code, const char* text, int value) override {
        if (g_game)
            g_game->ScriptCall(code, text, value);
        else
            ScriptGame::ScriptCall(code, text, value);
    }
    void ScriptVectorCall(int code, const char* text, const VECTOR& v) override {
        if (g_game)
            g_game->ScriptVectorCall(code, text, v);
        else
            ScriptGame::ScriptVectorCall(code, text, v);
    }
};

class GameWorldLink : public GameLink {
public:
    bool HasItem(const char* item) override {
        return g_game ? g_game->HasItem(item) : GameLink::HasItem(item);
    }
    void ShowMessage(const char* text, float seconds) override {
        if (g_game)
            g_game->ShowMessage(text, seconds);
        else
            GameLink::ShowMessage(text, seconds);
    }
    void SetPointerMode() override { SetMouseMode(MOUSE_POINTER); }
};

GamePresentation g_presentation;
GameScriptCalls g_scriptCalls;
GameWorldLink g_worldLink;
GameLink* g_previousWorldLink = nullptr;

}  // namespace

void InstallGameLinks() {
    SetDialogPresentation(&g_presentation);
    SetScriptGame(&g_scriptCalls);
    if (g_gameLink != &g_worldLink) {
        g_previousWorldLink = g_gameLink;
        g_gameLink = &g_worldLink;
    }
    if (g_world && !g_world->drawText) g_world->drawText = DrawFontText;
}

void RemoveGameLinks() {
    SetDialogPresentation(nullptr);
    SetScriptGame(nullptr);
    if (g_gameLink == &g_worldLink) g_gameLink = g_previousWorldLink;
}
