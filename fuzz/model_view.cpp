#include "model_view.h"

#include "camera/playercamera.h"
#include "collision/collision.h"
#include "culling/cplane.h"
#include "fuzz_common.h"
#include "collision/rayquery.h"

namespace fuzz {

void UseModel(Z1Model& model, int frames) {
    if (!model.IsLoaded()) return;
    static PlayerCamera* camera = nullptr;
    if (!camera) camera = new PlayerCamera(1.5707964f, 5000);
    const float* b = model.box;
    VECTOR centre((b[0] + b[3]) * 0.5f, (b[1] + b[4]) * 0.5f, (b[2] + b[5]) * 0.5f);
    camera->LookAt(VECTOR(centre.x - 300.0f, centre.y + 100.0f, centre.z - 300.0f), centre, 0.0f);
    camera->UpdateFrustum();
    FuzzDriver& driver = Driver();
    driver.SetViewMatrix(&camera->view);
    float weights[kMorphWeights];
    for (int i = 0; i < kMorphWeights; ++i) weights[i] = 0.1f * static_cast<float>(i);
    // The world's alpha list, as the area's frame fills it: without one each
    // draw would make and zero a list of its own.
    static AlphaList* alpha = new AlphaList();
    for (int f = 0; f < frames; ++f) {
        driver.BeginScene();
        alpha->Reset();
        g_alpha_list = alpha;
        model.UpdateAnimation();
        model.Draw(camera->frustum, centre);
        model.Draw(nullptr, VECTOR(0, 0, 0), weights);
        alpha->Render();
        g_alpha_list = nullptr;
        driver.EndScene();
        NextFrame();
    }
    MATRIX identity;
    MatrixIdentity(identity);
    RayQuery query;
    query.start = VECTOR(b[0] - 10.0f, centre.y, centre.z);
    query.end = VECTOR(b[3] + 10.0f, centre.y, centre.z);
    query.direction = query.end - query.start;
    VectorNormalize(query.direction);
    query.pickMode = true;
    model.RayTest(&query, identity);

    Collider collider(VECTOR(40.0f, 90.0f, 40.0f), VECTOR(0.0f, -30.0f, 0.0f));
    collider.traverse = [&model, &identity](CollisionPacket* packet) {
        packet->SetWorldMatrix(identity);
        model.Collide(packet);
    };
    collider.CheckCollision(VECTOR(centre.x, b[4] + 50.0f, centre.z), VECTOR(10.0f, -80.0f, 5.0f));

    VECTOR spawn;
    model.FindSpawnPoint("start", spawn);
    if (model.data && !model.data->materials.empty()) {
        const Z1Material& m = model.data->materials[0];
        model.SwapTexture(m.maps[Z1_SLOT_TEXTURE].bitmap.c_str(), "textures\\night.bmp", true);
        model.SwapTexture("textures\\night.bmp", m.maps[Z1_SLOT_TEXTURE].bitmap.c_str(), false);
    }
}

}  // namespace fuzz
