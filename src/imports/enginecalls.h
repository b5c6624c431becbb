// Engine-call codes: the middle one of the three values a script pushes
// before an engine-call opcode says what the world or the game is asked to
// do, and the import table's world and game calls (imports/gameimports.h)
// receive it as their code. These are the only place the numbers are
// written; the script machine, the receivers and the tools name them. A code
// missing here does nothing wherever it arrives.
#ifndef ZENDAR_IMPORTS_ENGINECALLS_H
#define ZENDAR_IMPORTS_ENGINECALLS_H

#include <cstdint>

// ScriptOp::world (name, code, integer), acted on by the area's script hooks.
// The integer is not used.
enum ScriptWorldCall : int32_t {
    kWorldCallTrigger = 4,  // activate the named entity, then unlock it
    kWorldCallUnlock = 5,   // unlock the named entity if it is a door
};

// ScriptOp::worldvec (name, code, vector), acted on by the area's script hooks.
enum ScriptWorldVectorCall : int32_t {
    kWorldVectorCallRotate = 1,  // turn the named entity by the vector's angles
    kWorldVectorCallMove = 2,    // move the named entity to the vector
};

// ScriptOp::game (text, code, integer): the game object's script calls.
enum ScriptGameCall : int32_t {
    kGameCallSpare = 0,          // keep the integer in the game's spare field
    kGameCallShowMessage = 1,    // the text on screen for (integer) seconds
    kGameCallLoadScene = 2,      // load the area file named by the text
    kGameCallCollisionOn = 3,    // settings' collision flag = (integer != 0)
    kGameCallMovementSpeed = 4,  // settings' movement speed = the integer
    kGameCallAddItem = 5,        // add the item named by the text
    kGameCallSetQuestFlag = 6,   // set the quest flag named by the text
};

// ScriptOp::gamevec (text, code, vector).
enum ScriptGameVectorCall : int32_t {
    kGameVectorCallMoveCamera = 0,  // move the player camera by the vector
};

#endif
