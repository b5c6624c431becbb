// A named marker point used by scripts and spawn points; drawn only in the
// editor, with the area's camera marker model.
#ifndef ZENDAR_ENTITIES_CAMERAENTITY_H
#define ZENDAR_ENTITIES_CAMERAENTITY_H

#include "entities/entity.h"

class CameraEntity : public Entity {
public:
    CameraEntity(Z1Model* marker, const char* name, float x, float y, float z);

    void UpdateBounds() override;
    void Render(CPlane* frustum) override;
    Entity* Clone() override;  // cameras are not copied: null
    void Save(DataFile* file) override;
    void Load(DataFile* file, int version) override;
};

#endif
