#include "game/importtable.h"

#include "camera/mousemode.h"
#include "editor/editor.h"
#include "os/dialogs.h"
#include "gui/font.h"
#include "imports/gameimports.h"
#include "player/conversationview.h"
#include "player/game.h"
#include "world/areascript.h"
#include "z1script/scriptsystem.h"

namespace {

class GameImportTable : public NullImports {
public:
    bool HasItem(const char* item) override {
        return g_game ? g_game->HasItem(item) : NullImports::HasItem(item);
    }
    void AddItem(const char* item) override {
        if (g_game)
            g_game->AddItem(item);
        else
            NullImports::AddItem(item);
    }
    void RemoveItem(const char* item) override {
        if (g_game)
            g_game->RemoveItem(item);
        else
            NullImports::RemoveItem(item);
    }
    bool QuestFlagDefined(const char* flag) override {
        return g_game ? g_game->QuestFlagDefined(flag) : NullImports::QuestFlagDefined(flag);
    }
    void SetQuestFlag(const char* flag) override {
        if (g_game)
            g_game->SetQuestFlag(flag);
        else
            NullImports::SetQuestFlag(flag);
    }
    void ShowMessage(const char* text, float seconds) override {
        if (g_game)
            g_game->ShowMessage(text, seconds);
        else
            NullImports::ShowMessage(text, seconds);
    }
    void SetPointerMode() override { SetMouseMode(MOUSE_POINTER); }

    void StartScript(const char* name) override { StartScriptByName(name); }
    void WorldCall(int code, const char* name, int value) override { AreaScriptCall(code, name, value); }
    void WorldVectorCall(int code, const char* name, const VECTOR& v) override {
        AreaScriptVectorCall(code, name, v);
    }
    void GameCall(int code, const char* text, int value) override {
        if (g_game)
            g_game->ScriptCall(code, text, value);
        else
            NullImports::GameCall(code, text, value);
    }
    void GameVectorCall(int code, const char* text, const VECTOR& v) override {
        if (g_game)
            g_game->ScriptVectorCall(code, text, v);
        else
            NullImports::GameVectorCall(code, text, v);
    }

    void ErrorBox(const char* caption, const char* text) override { ::ErrorBox(caption, text); }

    DialogTextBox* CreateConversationView(int x, int y) override {
        return new ConversationView(g_font, x, y);
    }
    void PlaceConversationCamera(const float eye[3], const float target[3]) override {
        ::PlaceConversationCamera(eye, target);
    }

    // The editor keys are bound in editor mode only, where the editor exists.
    void EditorEnterEditMode(int mode) override {
        InstallEditor();
        g_editor->EnterEditMode(mode);
    }
    void EditorCommand(EditorKeyCommand command) override {
        InstallEditor();
        switch (command) {
        case EDITOR_DELETE_SELECTED: g_editor->DeleteSelected(); break;
        case EDITOR_EDIT_SELECTED: g_editor->EditSelected(); break;
        case EDITOR_SPAWN_DIALOG: g_editor->SpawnDialog(); break;
        case EDITOR_SCRIPT_CALL: g_editor->ScriptCallDialog(); break;
        case EDITOR_LOAD_MODEL: g_editor->LoadModel(); break;
        case EDITOR_TOGGLE_FLAG: g_editor->ToggleSelectedFlag(); break;
        }
    }
};

GameImportTable s_table;

}  // namespace

void InstallGameImports() { SetGameImports(&s_table); }
