// The model side of collision: a placed model's triangles under its world
// matrix. Kept apart so that the rest of collision does not depend on the
// loaded-model class.
#include "collision/collision.h"
#include "collision/collisionlinks.h"
#include "utility/log.h"

void WorldCollisionLink::CollideModel(CollisionPacket* packet, Z1Model* model, const MATRIX& world) {
    if (!packet || !model) return;
    packet->SetWorldMatrix(world);
    static bool said = false;
    if (!said) {
        said = true;
        LogLine("WARNING: model runtime not linked - placed models are not collided");
    }
}
