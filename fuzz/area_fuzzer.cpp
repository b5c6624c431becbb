// Area files: read as the editor reopens an area (the area cleared, then
// "area\fuzz.z1a" loaded into it), then one frame of the world's use: drawn
// through the frustum, lights and particles updated, a click through the
// screen centre at the game's and the editor's reach, a line of sight, the
// player's ellipsoid moved through it, and script hooks on an entity.
//
// Loading the village's own models with every input would make each run
// cost a model load per entity kind; the model harness reads models. Here
// every model the game folder holds is a small box of the same name, and
// the editor's three marker models are the real ones.
#include <dirent.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "../tools/bench_common/props.h"
#include "camera/playercamera.h"
#include "collision/collision.h"
#include "entities/entity.h"
#include "fuzz_common.h"
#include "world/area.h"
#include "collision/rayquery.h"

namespace {

// Marker models as they are; every other model of the game folder as a box.
void MakeModels() {
    for (const char* marker : {"z1/e_light.z1", "z1/e_cam.z1", "z1/e_particle.z1"})
        fuzz::CopyGameFile(marker);
    std::string folder = fuzz::GameFolder() + "z1";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    int k = 1;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name.size() < 4 || name.compare(0, 2, "e_") == 0) continue;
        std::string lower = name.substr(name.size() - 3);
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower != ".z1") continue;
        Z1Scene box = bench::PropScene(name, 20.0f, 30.0f, 20.0f, 1 + k++ % 2);
        Z1WriteFile((fuzz::Folder() + "z1/" + name).c_str(), box);
    }
    closedir(dir);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    static Area* area = nullptr;
    static PlayerCamera* camera = nullptr;
    if (!area) {
        MakeModels();
        area = new Area();
        camera = new PlayerCamera(1.5707964f, 5000);
    }
    fuzz::WriteFile("area/fuzz.z1a", data, size);
    area->Load("fuzz.z1a");

    fuzz::FuzzDriver& driver = fuzz::Driver();
    VECTOR eye(0.0f, 150.0f, -400.0f), at(0.0f, 0.0f, 0.0f);
    if (area->entities.Size() > 0) {
        const VECTOR& p = area->entities[0]->position;
        at = p;
        eye = VECTOR(p.x - 300.0f, p.y + 150.0f, p.z - 300.0f);
    }
    camera->LookAt(eye, at, 0.0f);
    camera->UpdateFrustum();
    driver.SetViewMatrix(&camera->view);
    driver.BeginScene();
    area->UpdateLights(false, eye);
    area->UpdateParticles(0.016f);
    area->Render(eye, at - eye, camera->frustum);
    driver.EndScene();
    fuzz::NextFrame();

    delete area->SelectEntity(eye, kGamePickDistance);
    delete area->SelectEntity(eye, kEditorPickDistance);
    area->LineOfSight(eye, at);
    Collider collider(VECTOR(40.0f, 90.0f, 40.0f), VECTOR(0.0f, -30.0f, 0.0f));
    collider.CheckCollision(eye, (at - eye) * 0.5f);
    if (area->entities.Size() > 0) {
        const char* name = area->entities[area->entities.Size() - 1]->name;
        for (int code = 1; code <= 5; ++code) area->ScriptHook(code, name, 0.5f, 10.0f, -10.0f);
        area->FindEntity(name);
    }
    // Cleared as the editor clears it before the next area: each input then
    // frees what it made, so what it does not free is a leak LeakSanitizer
    // can name (and libFuzzer does not run every input twice looking for one).
    area->Clear();
    return 0;
}
