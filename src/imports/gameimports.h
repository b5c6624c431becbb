// The engine's one table of calls that go up into the game. Modules low in
// the tree (models, dialog, z1script, world, camera) cannot link the game, yet
// need a few things only the game has: the game object's inventory, quest log
// and message line, the mouse mode, scene loading, script start-up, the
// platform's error box, the conversation's view and camera, and the editor's
// commands on its keys. They ask g_imports; the game installs its table once
// at start-up (game/gameimports.cpp). Until then, and in tools and tests, the
// null table answers: it writes one log line per call and holds nothing, so a
// missing game shows in the log instead of failing silently.
#ifndef ZENDAR_IMPORTS_GAMEIMPORTS_H
#define ZENDAR_IMPORTS_GAMEIMPORTS_H

#include <vector>

#include "math/zmath.h"
#include "utility/zstring.h"

// The on-screen form of one conversation view: the dialog manager fills it
// line by line, the game frame shows it and feeds it the mouse.
class DialogTextBox {
public:
    virtual ~DialogTextBox() {}
    // colour is the font skin ("white", "yellow"); selectable is 0 or 1.
    virtual void AddLine(const char* colour, const char* text, int selectable) = 0;
};

// A view that only keeps its lines (tools, tests, and the null table's view).
class DialogTextLines : public DialogTextBox {
public:
    struct Line {
        String colour;
        String text;
        int selectable;
    };
    void AddLine(const char* colour, const char* text, int selectable) override;
    std::vector<Line> lines;
};

// The editor's commands on its keys (editor mode only).
enum EditorKeyCommand {
    EDITOR_DELETE_SELECTED,  // D: delete the selection after the "Warning!" question
    EDITOR_EDIT_SELECTED,    // F1: the selected entity's property dialog
    EDITOR_SPAWN_DIALOG,     // F10: the "Spawn Dialog"
    EDITOR_SCRIPT_CALL,      // F11: the "Call script function:" dialog
    EDITOR_LOAD_MODEL,       // F12: the "Load Z1 Model" file dialog
    EDITOR_TOGGLE_FLAG,      // T: the selected entity's editor flag
};

class GameImports {
public:
    virtual ~GameImports() {}

    // The game object: inventory and quest log (names, no counts), and the
    // one timed message line.
    virtual bool HasItem(const char* item) = 0;
    virtual void AddItem(const char* item) = 0;
    virtual void RemoveItem(const char* item) = 0;
    virtual bool QuestFlagDefined(const char* flag) = 0;
    virtual void SetQuestFlag(const char* flag) = 0;
    virtual void ShowMessage(const char* text, float seconds) = 0;
    // The mouse goes to pointer mode: a conversation starts.
    virtual void SetPointerMode() = 0;

    // Starts the script program of that name (a conversation's executescript).
    virtual void StartScript(const char* name) = 0;
    // The compiled scripts' engine calls, codes as the script machine reads
    // them (imports/enginecalls.h): world calls (the world and worldvec
    // opcodes) act on the area's entities; game calls (game and gamevec) on
    // the game object, the settings record, the scene and the player camera.
    // Texts are never null.
    virtual void WorldCall(int code, const char* name, int value) = 0;
    virtual void WorldVectorCall(int code, const char* name, const VECTOR& v) = 0;
    virtual void GameCall(int code, const char* text, int value) = 0;
    virtual void GameVectorCall(int code, const char* text, const VECTOR& v) = 0;

    // The platform's modal error box; the caller pauses the graphics driver
    // around it.
    virtual void ErrorBox(const char* caption, const char* text) = 0;

    // The conversation: a new view at (x, y) of the 640 x 480 screen (the
    // caller owns it), and the camera it is seen through, placed at eye
    // looking at target and applied to the graphics driver.
    virtual DialogTextBox* CreateConversationView(int x, int y) = 0;
    virtual void PlaceConversationCamera(const float eye[3], const float target[3]) = 0;

    // The editor's keys: a drag mode (1 move, 2 rotate, 3 rotate about the
    // world's axes, 6 scale) was entered, so its summed mouse values start
    // again; and the editor's commands.
    virtual void EditorEnterEditMode(int mode) = 0;
    virtual void EditorCommand(EditorKeyCommand command) = 0;
};

// The table before the game installs its own: one log line per call, nothing
// held, nothing shown. Tests derive from it to record the calls they watch.
class NullImports : public GameImports {
public:
    bool HasItem(const char* item) override;
    void AddItem(const char* item) override;
    void RemoveItem(const char* item) override;
    bool QuestFlagDefined(const char* flag) override;
    void SetQuestFlag(const char* flag) override;
    void ShowMessage(const char* text, float seconds) override;
    void SetPointerMode() override;
    void StartScript(const char* name) override;
    void WorldCall(int code, const char* name, int value) override;
    void WorldVectorCall(int code, const char* name, const VECTOR& v) override;
    // Still applies the settings-record calls (ApplyScriptSettingsCall).
    void GameCall(int code, const char* text, int value) override;
    void GameVectorCall(int code, const char* text, const VECTOR& v) override;
    void ErrorBox(const char* caption, const char* text) override;
    // A view that keeps its lines.
    DialogTextBox* CreateConversationView(int x, int y) override;
    void PlaceConversationCamera(const float eye[3], const float target[3]) override;
    void EditorEnterEditMode(int mode) override;
    void EditorCommand(EditorKeyCommand command) override;
};

// Never null.
extern GameImports* g_imports;
// Installs a table (not owned); null puts the null table back.
void SetGameImports(GameImports* imports);

// A table installed for the life of a scope (tools and tests); the one
// before comes back at its end.
class ScopedGameImports {
public:
    explicit ScopedGameImports(GameImports* imports) : saved_(g_imports) { SetGameImports(imports); }
    ~ScopedGameImports() { SetGameImports(saved_); }
    ScopedGameImports(const ScopedGameImports&) = delete;
    ScopedGameImports& operator=(const ScopedGameImports&) = delete;

private:
    GameImports* saved_;
};

// The game calls that change the settings record (kGameCallCollisionOn and
// kGameCallMovementSpeed) work with or without a game: every import table
// applies them. False for every other code and when there is no settings
// record.
bool ApplyScriptSettingsCall(int code, int value);

#endif
