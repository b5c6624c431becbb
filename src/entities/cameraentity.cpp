#include "entities/cameraentity.h"

#include "entities/modelaccess.h"

CameraEntity::CameraEntity(Z1Model* marker, const char* name_, float x, float y, float z)
    : Entity(ENTITY_CAMERA, marker, x, y, z, name_) {
    float markerBox[6] = {-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f};
    ModelBox(model, markerBox);
    box[0] = markerBox[0] + x;
    box[1] = markerBox[1] + y;
    box[2] = markerBox[2] + z;
    box[3] = markerBox[3] + x;
    box[4] = markerBox[4] + y;
    box[5] = markerBox[5] + z;
}

void CameraEntity::UpdateBounds() {
    float markerBox[6] = {-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f};
    ModelBox(model, markerBox);
    TransformBox(box, markerBox, transform);
}

void CameraEntity::Render(CPlane* frustum) { DrawMarker(frustum); }

Entity* CameraEntity::Clone() { return nullptr; }

void CameraEntity::Save(DataFile* file) { SaveCommon(file); }
void CameraEntity::Load(DataFile* file, int version) { LoadCommon(file, version); }
