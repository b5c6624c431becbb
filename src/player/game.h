// The game object: the player's state outside the camera. A quest log of
// named flags, an inventory of named items drawn as a row of icons, one
// timed on-screen message, the script runtime's game calls, and the scene
// load with its loading pictures.
#ifndef ZENDAR_PLAYER_GAME_H
#define ZENDAR_PLAYER_GAME_H

#include <cstdint>

#include "math/zmath.h"
#include "utility/list.h"
#include "utility/zstring.h"

class GfxDriver;
class InterfaceImage;
class PlayerCamera;

// Inventory icons: one row from the left, this far apart.
constexpr int kIconX = 50;
constexpr int kIconStep = 37;
constexpr int kIconY = 440;
constexpr int kIconSize = 32;

extern const char* const kQuestLogMessage;  // "Your quest log has been updated.."

class Game {
public:
    // The camera may be null (tools, tests): the vector call then does nothing.
    explicit Game(PlayerCamera* camera);
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    bool HasItem(const char* name) const;
    void AddItem(const char* name);
    // The first entry of that name; nothing when none is held.
    void RemoveItem(const char* name);
    bool QuestFlagDefined(const char* flag) const;
    // Shows the quest-log message for 3 seconds, then appends the flag (a
    // flag set twice is there twice).
    void SetQuestFlag(const char* flag);
    void ShowMessage(const char* text, float seconds);
    // Empty once the message's time has run out.
    String CurrentMessage();
    // One icon per inventory entry at (50 + 37 i, 440), 32 x 32.
    void DrawInventory();

    // The script runtime's game calls and game vector calls, by the codes
    // of imports/enginecalls.h.
    void ScriptCall(int code, const char* text, int value);
    void ScriptVectorCall(int code, const char* text, const VECTOR& v);

    // Shows the loading pictures, reads "area\" + name into the world and
    // goes back to walking.
    void LoadScene(const char* name);

    const List<String>& QuestLog() const { return questLog; }
    const List<String>& Inventory() const { return inventory; }
    PlayerCamera* Camera() const { return camera; }

    float messageStart = 0.0f;
    float messageDuration = 0.0f;
    String messageText;
    int32_t spare = 0;

private:
    List<String> questLog;
    List<String> inventory;
    PlayerCamera* camera;
    // Icons by item name: made once, moved to their slot on each draw.
    List<InterfaceImage*> icons;
    GfxDriver* iconDriver = nullptr;
    InterfaceImage* Icon(const char* name);
};

// The process-wide game object; null until start-up creates it.
extern Game* g_game;

#endif
