// A door: an object that swings (degrees) or slides (units) along one axis
// when activated, possibly locked until the player holds its key item.
#ifndef ZENDAR_ENTITIES_DOORENTITY_H
#define ZENDAR_ENTITIES_DOORENTITY_H

#include "entities/objectentity.h"

enum : uint8_t {
    DOOR_SWINGING = 0,
    DOOR_SLIDING = 1
};

class DoorEntity : public ObjectEntity {
public:
    DoorEntity(Z1Model* model, const char* name, float x, float y, float z);
    ~DoorEntity() override;

    void Render(CPlane* frustum) override;
    Entity* Clone() override;
    void Save(DataFile* file) override;
    void Load(DataFile* file, int version) override;
    void Collide(CollisionPacket* packet) override;
    void Activate() override;
    void DescribeProperties(PropertySheet& sheet) override;
    void ApplyProperties(const PropertySheet& sheet) override;

    // One animation step at the current millisecond clock.
    void Animate();
    void SetKey(const char* text) { SetText(&key, text); }

    bool moving;
    float progress;
    uint32_t lastTime;
    uint8_t doorType;
    uint8_t axis;
    float displacement;
    float speed;
    bool reverseDirection;
    bool open;
    bool doorLocked;
    char* key;
};

// "Swinging", "Sliding" or "Unknown type"; "x", "y", "z" or "Unknown axis".
const char* DoorTypeName(int type);
const char* DoorAxisName(int axis);

#endif
