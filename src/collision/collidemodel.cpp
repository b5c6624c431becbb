// The model side of collision: a placed model's triangles under its world
// matrix (its pieces and their quadtrees end in the installed triangle tests).
#include "collision/collision.h"
#include "collision/collisionlinks.h"
#include "models/z1model/z1model.h"

void WorldCollisionLink::CollideModel(CollisionPacket* packet, Z1Model* model, const MATRIX& world) {
    if (!packet || !model) return;
    packet->SetWorldMatrix(world);
    model->Collide(packet);
}
