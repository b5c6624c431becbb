// A placed model: drawn (optionally with the indoor lighting setup), clicked
// (runs its on-click script) and collided with (mesh or bounding box).
#ifndef ZENDAR_ENTITIES_OBJECTENTITY_H
#define ZENDAR_ENTITIES_OBJECTENTITY_H

#include "entities/entity.h"

class ObjectEntity : public Entity {
public:
    ObjectEntity(Z1Model* model, const char* name, float x, float y, float z);
    ~ObjectEntity() override;

    void UpdateBounds() override;
    void Render(CPlane* frustum) override;
    Entity* Clone() override;
    void Save(DataFile* file) override;
    void Load(DataFile* file, int version) override;
    void RayTest(RayQuery* query) override;
    void Collide(CollisionPacket* packet) override;
    void Activate() override;
    void DescribeProperties(PropertySheet& sheet) override;
    void ApplyProperties(const PropertySheet& sheet) override;

    void SetScale(const VECTOR& s);
    // scale x transform: the matrix the object is drawn and collided with.
    MATRIX WorldMatrix() const;
    void SetOnClickScript(const char* text) { SetText(&onClickScript, text); }
    void SetOnCollideScript(const char* text) { SetText(&onCollideScript, text); }

    bool checkCollision;
    VECTOR scale;
    MATRIX scaleMatrix;
    char* onClickScript;
    char* onCollideScript;
    bool collideWithBox;
    int modelIndex;

protected:
    ObjectEntity(uint8_t type, Z1Model* model, const char* name, float x, float y, float z);
    // Copy for Clone: model, position, locked, transform, check collision.
    ObjectEntity(const ObjectEntity& other);
    // The model itself, with the world matrix already set (NPCs add their
    // morph weights).
    virtual void DrawModel(CPlane* frustum);
    void SaveObject(DataFile* file);
    void LoadObject(DataFile* file, int version);
};

#endif
