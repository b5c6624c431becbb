// What a script can reach outside its machine: the world's entities, the game
// object, and the editor's script-call dialog. The game fills these in; until
// it does, the defaults write one log line per call so a script's requests
// can still be followed in the log.
#ifndef ZENDAR_Z1SCRIPT_SCRIPTCALLS_H
#define ZENDAR_Z1SCRIPT_SCRIPTCALLS_H

#include "math/zmath.h"

// Opcodes 0x46 and 0x4C. The area's script hooks act on the codes: 4 trigger
// then unlock, 5 unlock (integer unused); vector 1 rotate, 2 move. Other codes
// do nothing. name is never null (the null text arrives as "").
class ScriptWorld {
public:
    virtual ~ScriptWorld() = default;
    virtual void ScriptCall(int code, const char* name, int value);
    virtual void ScriptVectorCall(int code, const char* name, const VECTOR& v);
};

// Opcodes 0x48 and 0x4E, the game object's script calls: 0 spare integer,
// 1 message for value seconds, 2 load scene, 3 collision on, 4 movement
// speed, 5 add item, 6 set quest flag; vector 0 moves the player camera.
class ScriptGame {
public:
    virtual ~ScriptGame() = default;
    virtual void ScriptCall(int code, const char* text, int value);
    virtual void ScriptVectorCall(int code, const char* text, const VECTOR& v);
};

// Game calls 3 and 4 change the settings record; the game object's own
// script call uses this too. Returns false for every other code (and when
// no settings record exists).
bool ApplyScriptSettingsCall(int code, int value);

// The editor's "Call script function:" dialog. Ask fills text (at most
// size - 1 characters and a terminator) and returns true for "Call", false
// for "Cancel".
class ScriptCallPrompt {
public:
    virtual ~ScriptCallPrompt() = default;
    virtual bool Ask(char* text, int size);
};

#endif
