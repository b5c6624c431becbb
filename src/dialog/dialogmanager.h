// The dialog manager: the cache of loaded dialogs, the parameter API, the
// conversation bindings of the characters, the active conversation and the
// step that turns actions into text boxes and game changes.
//
// The game side (the conversation view and camera, the game object, script
// start-up) is reached through the game's imports (imports/gameimports.h);
// the character is the one interface below.
#ifndef ZENDAR_DIALOG_DIALOGMANAGER_H
#define ZENDAR_DIALOG_DIALOGMANAGER_H

#include <vector>

#include "dialog/dialoginstance.h"
#include "imports/gameimports.h"
#include "utility/arraysequence.h"
#include "utility/zstring.h"

// ---------------------------------------------------------------------------
// The speaking character.

// The character that owns a conversation binding (the game's NPC entity).
class DialogCharacter {
public:
    virtual ~DialogCharacter() {}
    // The name shown as the speaker of its npc lines.
    virtual const char* GetConversationName() = 0;
    // Moves the mouth for the given number of seconds.
    virtual void StartTalking(float seconds) = 0;
    // Position and the local X and Z axes (unit axes through the
    // character's orientation), for the conversation camera.
    virtual void GetConversationFrame(float position[3], float xAxis[3], float zAxis[3]) = 0;
    // How high its eyes are above its position: the conversation camera
    // frames the head and shoulders around them.
    virtual float GetConversationEyeHeight() { return kDefaultEyeHeight; }
    static constexpr float kDefaultEyeHeight = 165.0f;
};

// The environment proxy initialisation installs: the game object answers.
class GameEnvironmentProxy : public EnvironmentProxy {
public:
    bool questFlagDefined(const String& questFlag) override;
    bool hasItem(short itemCount, const String& itemName) override;
};

// ---------------------------------------------------------------------------
// Cache and parameter API.
DIALOG* getDialog(const char* dialogName);
ArraySequence<unsigned char>* getParameterTypes(const char* dialogName);
ArraySequence<String>* getParameterNames(const char* dialogName);
void setDialogPath(int pathCount, const char** dialogPath);
void preloadDialog(const char* dialogName);

int DialogCacheBucketCount();
int DialogCacheCount();
// Forgets every cached dialog (tools and tests; the game never drops one).
void ClearDialogCache();

// ---------------------------------------------------------------------------
// A character's conversation.
class DialogBinding {
public:
    DialogBinding(const char* dialogName, DialogCharacter* character);
    ~DialogBinding();
    DialogBinding(const DialogBinding&) = delete;
    DialogBinding& operator=(const DialogBinding&) = delete;

    String* dialogName;          // "dialogs\" + the character's dialog name
    String* reserved = nullptr;  // always null
    DialogCharacter* character;  // borrowed
    std::vector<ParameterValue*> parameterValues;
    DialogInstanceImplementation* instance = nullptr;
};

// The presentation step ends after this many actions without a text box.
constexpr int kMaxActionsPerView = 1000;

class DialogManager {
public:
    // Once per process: "Dialog.log" becomes the error stream and the game
    // proxy answers conditions.
    static void Initialise();
    static bool Initialised();

    static DialogInstanceImplementation* Instantiate(const char* dialogName, ParameterValue** values);
    static bool Bind(DialogBinding* binding);
    static void SetActive(DialogBinding* binding);
    static DialogBinding* Active();
    // The presentation step; the caller owns the returned text box.
    static DialogTextBox* NextTextBox();
    static void Answer(int selection);
    static Action* CurrentAction();
};

#endif
