// A non-player character: an object that owns a conversation and animates
// its face (blinking, a further facial movement, talking) with morph weights.
#ifndef ZENDAR_ENTITIES_NPCENTITY_H
#define ZENDAR_ENTITIES_NPCENTITY_H

#include "dialog/dialogmanager.h"
#include "entities/objectentity.h"

constexpr int kMorphWeightCount = 10;
// Faces animate only within this distance of the camera.
constexpr float kFaceAnimationDistance = 500.0f;
// How long facial movement 9 holds at its top before easing back.
constexpr float kMovementHoldSeconds = 0.3f;
// A figure counts at most this tall when its eyes are placed.
constexpr float kTallestFigure = 200.0f;

class NPCEntity : public ObjectEntity, public DialogCharacter {
public:
    NPCEntity(Z1Model* model, const char* name, float x, float y, float z);
    ~NPCEntity() override;

    void Render(CPlane* frustum) override;
    Entity* Clone() override;
    void Save(DataFile* file) override;
    void Load(DataFile* file, int version) override;
    void Collide(CollisionPacket* packet) override;
    void Activate() override;
    void DescribeProperties(PropertySheet& sheet) override;
    void ApplyProperties(const PropertySheet& sheet) override;

    // Stores the file name and binds "dialogs\" + file through the dialog
    // manager; an empty name leaves the NPC without a conversation.
    void SetDialog(const char* file);
    // The conversation presentation calls this when the NPC speaks a line.
    void StartTalking(float duration) override;
    const char* GetConversationName() override { return Name(); }
    void GetConversationFrame(float position[3], float xAxis[3], float zAxis[3]) override;
    // Nine tenths of the figure's height (its box above its position);
    // what it holds above its head (a spear) counts to 200 units at most.
    float GetConversationEyeHeight() override;
    // One step of the three facial state machines at time t (seconds).
    void AnimateFace(float t);

    char* dialogFile;
    DialogBinding* dialog;
    float* morphWeights;

    bool blinkActive;
    float blinkDirection;
    float blinkLast;

    bool moveActive;
    float moveDirection;
    float moveNext;

    bool talkActive;
    float talkDirection;
    int talkIndex;
    float talkPeak;
    float talkStart;
    float talkDuration;
    float talkLast;

protected:
    void DrawModel(CPlane* frustum) override;
};

#endif
