// Collide and slide over a 100,000-triangle bumpy terrain: the world's
// CheckCollision (the terrain placed in the area as a colliding object)
// against Irrlicht's ellipsoid collision
// (ISceneCollisionManager::getCollisionResultPosition over a triangle
// selector of the same triangles, null device), in one run, with the same
// ellipsoid radii (40, 90, 40), the same moves and the same gravity.
// Each walker feeds its own result back in as the next position, as the game
// does with its player body.
//   bench_collision [calls]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <irrlicht.h>

#include "bench_common.h"
#include "collision/collision.h"
#include "models/z1model/z1file.h"
#include "settings/settings.h"
#include "terrain.h"
#include "world/area.h"
#include "world/world.h"

namespace {

const VECTOR kRadii(40.0f, 90.0f, 40.0f);
const VECTOR kGravity(0.0f, -30.0f, 0.0f);
constexpr float kStep = 8.0f;        // units a call: about 280 a second at 35 calls a second
constexpr int kCirclePeriod = 1400;  // calls for one full turn

// The moves: kStep units a call in x-z towards a point that goes round a
// circle (radius kStep * period / 2 pi, about 1780 units) over the hills,
// kLead calls ahead of the walker. Steering keeps each walker on the terrain
// however far its engine lets it slide downhill; both engines get the same
// rule.
constexpr int kLead = 10;
struct Course {
    float cx = 0.0f, cz = 0.0f, radius = kStep * kCirclePeriod / 6.2831853f;
    VECTOR Point(int call) const {
        float a = 6.2831853f * static_cast<float>(call) / kCirclePeriod;
        return VECTOR(cx + radius * std::cos(a), 0.0f, cz + radius * std::sin(a));
    }
    VECTOR Move(int call, const VECTOR& at) const {
        VECTOR d = Point(call + kLead) - at;
        d.y = 0.0f;
        float l = VectorLength(d);
        return l > 0.0f ? d * (kStep / l) : VECTOR(kStep, 0.0f, 0.0f);
    }
};

struct WalkResult {
    bench::Times time;
    VECTOR end;
    // FNV-1a over the bits of every returned point: the same number from two
    // builds means the same walk, point for point.
    uint64_t trail = 1469598103934665603ull;
    double clearance = 0.0;  // mean height of the returned point above the ground below it
    double minClearance = 1e9;
    int calls = 0;
};

void Note(WalkResult& r, const VECTOR& p) {
    unsigned char bits[sizeof p];
    std::memcpy(bits, &p, sizeof p);
    for (unsigned char b : bits) r.trail = (r.trail ^ b) * 1099511628211ull;
    double c = p.y - bench::TerrainGrid::Height(p.x, p.z);
    r.clearance += c;
    if (c < r.minClearance) r.minClearance = c;
}

WalkResult WalkZendar(World& world, const VECTOR& start, const Course& course, int calls) {
    WalkResult r;
    VECTOR p = start;
    bench::Stopwatch w;
    for (int i = 0; i < calls; ++i) {
        p = world.CheckCollision(p, course.Move(i, p));
        Note(r, p);
    }
    r.time = w.Elapsed();
    r.end = p;
    r.calls = calls;
    r.clearance /= calls;
    return r;
}

WalkResult WalkIrrlicht(irr::scene::ISceneCollisionManager* collision,
                        irr::scene::ITriangleSelector* selector, const VECTOR& start, const Course& course,
                        int calls) {
    using irr::core::vector3df;
    WalkResult r;
    vector3df p(start.x, start.y, start.z);
    const vector3df radii(kRadii.x, kRadii.y, kRadii.z);
    const vector3df gravity(kGravity.x, kGravity.y, kGravity.z);
    irr::core::triangle3df hitTriangle;
    vector3df hitPosition;
    bool falling = false;
    irr::scene::ISceneNode* hitNode = nullptr;
    bench::Stopwatch w;
    for (int i = 0; i < calls; ++i) {
        const VECTOR m = course.Move(i, VECTOR(p.X, p.Y, p.Z));
        p = collision->getCollisionResultPosition(selector, p, radii, vector3df(m.x, m.y, m.z), hitTriangle,
                                                  hitPosition, falling, hitNode, 0.0005f, gravity);
        Note(r, VECTOR(p.X, p.Y, p.Z));
    }
    r.time = w.Elapsed();
    r.end = VECTOR(p.X, p.Y, p.Z);
    r.calls = calls;
    r.clearance /= calls;
    return r;
}

void PrintWalk(const char* what, const WalkResult& r) {
    std::printf("%-34s %7d calls  wall %8.1f ms  cpu %8.1f ms  %9.0f calls/s (cpu)  %7.1f us/call\n", what,
                r.calls, r.time.wall * 1e3, r.time.cpu * 1e3, r.calls / r.time.cpu,
                r.time.cpu * 1e6 / r.calls);
    std::printf("%-34s end (%.0f, %.0f, %.0f), returned point above ground: mean %.1f, lowest %.1f\n", "",
                r.end.x, r.end.y, r.end.z, r.clearance, r.minClearance);
}

// Best of several walks by CPU time (the end point is the same every time).
template <class Walk>
WalkResult BestOf(int runs, Walk walk) {
    WalkResult best = walk();
    for (int i = 1; i < runs; ++i) {
        WalkResult r = walk();
        if (r.time.cpu < best.time.cpu) best.time.cpu = r.time.cpu;
        if (r.time.wall < best.time.wall) best.time.wall = r.time.wall;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int calls = argc > 1 ? std::atoi(argv[1]) : 12000;
    if (calls <= 0 || calls > 10000000) {
        std::fprintf(stderr, "usage: bench_collision [calls 1..10^7]\n");
        return 2;
    }
    const int runs = 3;

    Settings settings;
    settings.write_log = 0;
    settings.collisionOn = 1;
    g_settings = &settings;
    bench::NullDriver driver;
    g_gfxdriver = &driver;

    bench::TempGameDir dir("bench_collision");
    if (!dir.Ok()) {
        std::fprintf(stderr, "bench_collision: cannot make a temporary folder\n");
        return 1;
    }
    dir.MakeFolder("z1");
    dir.MakeFolder("area");
    SetBasePath((dir.Path() + "/").c_str());

    bench::TerrainGrid grid;
    Z1Scene scene = bench::TerrainScene(grid);
    if (!Z1WriteFile((dir / "z1/terrain.z1").c_str(), scene)) {
        std::fprintf(stderr, "bench_collision: cannot write the terrain\n");
        return 1;
    }

    // The engine: the terrain as an object of the area, the world's collider
    // (radii 40, 90, 40; gravity 30 a call, doubling while falling).
    Area area;
    if (!area.AddObject("terrain.z1", "terrain", 0.0f, 0.0f, 0.0f, nullptr)) {
        std::fprintf(stderr, "bench_collision: the terrain did not load\n");
        return 1;
    }
    World world;
    world.Initialise((dir / "daycycle.ini").c_str());  // no sky file: the sky stays at its defaults

    // Irrlicht: the same triangles in one mesh buffer, null device.
    irr::SIrrlichtCreationParameters parameters;
    parameters.DriverType = irr::video::EDT_NULL;
    parameters.LoggingLevel = irr::ELL_NONE;
    irr::IrrlichtDevice* device = irr::createDeviceEx(parameters);
    if (!device) {
        std::fprintf(stderr, "bench_collision: no Irrlicht null device\n");
        return 1;
    }
    irr::scene::ISceneManager* smgr = device->getSceneManager();
    irr::scene::SMeshBuffer* buffer = new irr::scene::SMeshBuffer();
    const Z1Mesh& mesh = scene.objects[0].meshLists[0].meshes[0];
    for (const VERTEX& v : mesh.vertices)
        buffer->Vertices.push_back(irr::video::S3DVertex(v.x, v.y, v.z, v.nx, v.ny, v.nz,
                                                         irr::video::SColor(255, 255, 255, 255), v.tu, v.tv));
    for (uint16_t i : mesh.indices) buffer->Indices.push_back(i);
    buffer->recalculateBoundingBox();
    irr::scene::SMesh* irrMesh = new irr::scene::SMesh();
    irrMesh->addMeshBuffer(buffer);
    irrMesh->recalculateBoundingBox();
    buffer->drop();
    irr::scene::ITriangleSelector* octree = smgr->createOctreeTriangleSelector(irrMesh, nullptr, 32);
    irr::scene::ITriangleSelector* plain = smgr->createTriangleSelector(irrMesh, nullptr);
    irr::scene::ISceneCollisionManager* collision = smgr->getSceneCollisionManager();

    // Start on the circle, 60 units clear of the ground: a body that starts
    // touching a slope counts as embedded, and the collider sends it back to
    // its last safe position, which before any free move is the origin.
    Course course;
    course.cx = grid.Width() * 0.5f;
    course.cz = grid.Depth() * 0.5f;
    const float radius = course.radius;
    VECTOR start = course.Point(0);
    start.y = bench::TerrainGrid::Height(start.x, start.z) + kRadii.y + 60.0f;
    std::printf(
        "terrain: %d triangles (%d x %d quads of %.0f units); ellipsoid (%.0f, %.0f, %.0f), gravity %.0f a"
        " call, moves of %.0f units steered round a circle of radius %.0f; best of %d runs\n",
        grid.Triangles(), grid.columns, grid.rows, grid.spacing, kRadii.x, kRadii.y, kRadii.z, -kGravity.y,
        kStep, radius, runs);

    settings.colliderCount = 0;
    WalkResult ours = BestOf(runs, [&] { return WalkZendar(world, start, course, calls); });
    double trianglesPerCall =
        static_cast<double>(settings.colliderCount) / (static_cast<double>(calls) * runs);
    WalkResult irrOctree =
        BestOf(runs, [&] { return WalkIrrlicht(collision, octree, start, course, calls); });
    // The plain selector hands every triangle to every call: a shorter walk.
    const int plainCalls = calls / 50 > 0 ? calls / 50 : 1;
    WalkResult irrPlain =
        BestOf(1, [&] { return WalkIrrlicht(collision, plain, start, course, plainCalls); });

    PrintWalk("Zendar World::CheckCollision", ours);
    std::printf("%-34s %.0f triangles tested a call (both passes); trail %016llx\n", "", trianglesPerCall,
                static_cast<unsigned long long>(ours.trail));
    PrintWalk("Irrlicht, octree selector", irrOctree);
    PrintWalk("Irrlicht, plain selector", irrPlain);
    std::printf("ratio Zendar / Irrlicht octree: %.2fx (cpu), %.2fx (wall)\n",
                irrOctree.time.cpu / ours.time.cpu * ours.calls / irrOctree.calls,
                irrOctree.time.wall / ours.time.wall * ours.calls / irrOctree.calls);
    std::printf("ratio Zendar / Irrlicht plain:  %.2fx (cpu)\n",
                (irrPlain.time.cpu / irrPlain.calls) / (ours.time.cpu / ours.calls));

    plain->drop();
    octree->drop();
    irrMesh->drop();
    device->drop();
    g_gfxdriver = nullptr;
    g_settings = nullptr;
    return 0;
}
