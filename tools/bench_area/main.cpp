// Writes 20 small prop models (z1\) and an area of 10,000 objects using them
// (area\, through the area's own Save) into a temporary game folder, then
// times, best of several runs each:
//   - reading the area file's bytes with fread (the floor),
//   - loading it as the game does (Area::Load: the models it names, every
//     entity read and put in the scene tree),
//   - one pick through the screen centre (Area::SelectEntity) at the game's
//     click range and at the editor's.
//   bench_area [entities] [runs]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_common.h"
#include "entities/entity.h"
#include "models/z1model/z1file.h"
#include "props.h"
#include "settings/settings.h"
#include "world/area.h"
#include "collision/rayquery.h"

namespace {

constexpr int kModels = 20;
constexpr float kSpacing = 60.0f;

std::string ModelName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "prop%02d.z1", i);
    return name;
}

int Depth(const SceneNode* n) { return !n || n->isLeaf ? 0 : 1 + Depth(n->children[0]); }

struct PickResult {
    bench::Times best;
    int picks = 0;
    const Entity* hit = nullptr;
    float distance = 0.0f;
};

PickResult TimePicks(Area& area, const VECTOR& eye, int range, int runs) {
    PickResult r;
    const int picks = 50;
    std::vector<bench::Times> times;
    for (int run = 0; run < runs; ++run) {
        bench::Stopwatch w;
        for (int i = 0; i < picks; ++i) {
            RayQuery* q = area.SelectEntity(eye, range);
            if (q) {
                r.hit = q->hitEntity;
                r.distance = q->bestDistance;
            }
            delete q;
        }
        bench::Times t = w.Elapsed();
        t.wall /= picks;
        t.cpu /= picks;
        times.push_back(t);
    }
    r.best = bench::Best(times);
    r.picks = picks * runs;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    int entities = argc > 1 ? std::atoi(argv[1]) : 10000;
    int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (entities <= 0 || entities > 1000000 || runs <= 0 || runs > 1000) {
        std::fprintf(stderr, "usage: bench_area [entities 1..10^6] [runs 1..1000]\n");
        return 2;
    }

    Settings settings;
    settings.write_log = 0;
    g_settings = &settings;
    bench::NullDriver driver;
    g_gfxdriver = &driver;

    bench::TempGameDir dir("bench_area");
    if (!dir.Ok()) {
        std::fprintf(stderr, "bench_area: cannot make a temporary folder\n");
        return 1;
    }
    dir.MakeFolder("z1");
    dir.MakeFolder("area");
    SetBasePath((dir.Path() + "/").c_str());

    // Props of different sizes and detail: 12 k^2 triangles, k = 1..4.
    int propTriangles = 0;
    for (int i = 0; i < kModels; ++i) {
        int k = 1 + i % 4;
        Z1Scene s =
            bench::PropScene("prop" + std::to_string(i), 10.0f + i, 15.0f + 2 * (i % 5), 12.0f + (i % 7), k);
        propTriangles += 12 * k * k;
        if (!Z1WriteFile((dir / ("z1/" + ModelName(i))).c_str(), s)) {
            std::fprintf(stderr, "bench_area: cannot write %s\n", ModelName(i).c_str());
            return 1;
        }
    }

    // The area: a square grid in rows, as an editor session might lay it.
    const int side = [entities] {
        int s = 1;
        while (s * s < entities) ++s;
        return s;
    }();
    {
        Area area;
        for (int n = 0; n < entities; ++n) {
            int col = n % side, row = n / side;
            char name[32];
            std::snprintf(name, sizeof name, "obj%06d", n);
            int model = (col * 7 + row * 3) % kModels;
            if (!area.AddObject(ModelName(model).c_str(), name, col * kSpacing, 0.0f, row * kSpacing,
                                nullptr)) {
                std::fprintf(stderr, "bench_area: cannot place %s\n", name);
                return 1;
            }
        }
        area.Save("bench.area");
    }
    // The same entities with the grid's two far corners first: the scene
    // tree's root covers the whole grid after the second entity and never has
    // to be rebuilt larger.
    {
        Area area;
        std::vector<int> order;
        order.push_back(0);
        if (entities > 1) order.push_back(entities - 1);
        for (int n = 1; n < entities - 1; ++n) order.push_back(n);
        for (int n : order) {
            int col = n % side, row = n / side;
            char name[32];
            std::snprintf(name, sizeof name, "obj%06d", n);
            int model = (col * 7 + row * 3) % kModels;
            area.AddObject(ModelName(model).c_str(), name, col * kSpacing, 0.0f, row * kSpacing, nullptr);
        }
        area.Save("corners.area");
    }
    std::vector<char> bytes;
    const std::string areaPath = dir / "area/bench.area";
    size_t size = bench::ReadAllBytes(areaPath, bytes);
    if (size == 0) {
        std::fprintf(stderr, "bench_area: the area was not written\n");
        return 1;
    }
    std::printf(
        "area: %d entities on a %d x %d grid (spacing %.0f), %d models (%d triangles together), %zu bytes;"
        " %d runs each\n",
        entities, side, side, kSpacing, kModels, propTriangles, size, runs);

    std::vector<bench::Times> readRuns, loadRuns, cornerRuns;
    int loadedEntities = 0, loadedModels = 0, depth = 0;
    for (int i = 0; i < runs; ++i) {
        {
            bench::Stopwatch w;
            std::vector<char> buffer;
            bench::ReadAllBytes(areaPath, buffer);
            readRuns.push_back(w.Elapsed());
        }
        Area* area = new Area();
        bench::Stopwatch w;
        area->Load("bench.area");
        loadRuns.push_back(w.Elapsed());
        loadedEntities = area->entities.Size();
        loadedModels = area->models.Size();
        depth = Depth(area->root);
        delete area;
        area = new Area();
        bench::Stopwatch c;
        area->Load("corners.area");
        cornerRuns.push_back(c.Elapsed());
        delete area;
    }
    if (loadedEntities != entities || loadedModels != kModels) {
        std::fprintf(stderr, "bench_area: loaded %d entities and %d models\n", loadedEntities, loadedModels);
        return 1;
    }
    bench::Times read = bench::Best(readRuns), load = bench::Best(loadRuns);
    bench::PrintTimes("read bytes (fread)", read);
    bench::PrintTimes("load (Area::Load, models included)", load);
    std::printf("load / read bytes: %.0fx wall, %.0fx cpu; %.2f us cpu a entity; scene tree depth %d\n",
                load.wall / read.wall, read.cpu > 0 ? load.cpu / read.cpu : 0.0, load.cpu * 1e6 / entities,
                depth);
    bench::Times corners = bench::Best(cornerRuns);
    bench::PrintTimes("load, far corners first (no tree rebuilds)", corners);

    // Picks on a loaded scene: eye beside a corner of the grid, a little above
    // the props, looking along the diagonal and down onto a prop some 800
    // units away (inside both ranges).
    Area area;
    area.Load("bench.area");
    VECTOR eye(-100.0f, 60.0f, -100.0f);
    VECTOR at(600.0f, 0.0f, 600.0f);
    MATRIX view;
    MatrixLookAt(view, eye, at, VECTOR(0, 1, 0));
    driver.SetViewMatrix(&view);
    const int ranges[2] = {kGamePickDistance, kEditorPickDistance};
    const char* labels[2] = {"pick, game range", "pick, editor range"};
    for (int i = 0; i < 2; ++i) {
        PickResult r = TimePicks(area, eye, ranges[i], runs);
        char what[64];
        std::snprintf(what, sizeof what, "%s (%d)", labels[i], ranges[i]);
        bench::PrintTimesUs(what, r.best);
        std::printf("    hit %s at %.1f\n", r.hit ? r.hit->Name() : "nothing", r.distance);
    }
    // Looking at the sky: the ray leaves the scene tree at once.
    MatrixLookAt(view, eye, eye + VECTOR(0.0f, 1.0f, 0.3f), VECTOR(0, 1, 0));
    driver.SetViewMatrix(&view);
    PickResult sky = TimePicks(area, eye, kEditorPickDistance, runs);
    bench::PrintTimesUs("pick into the sky (editor range)", sky.best);

    g_gfxdriver = nullptr;
    g_settings = nullptr;
    return 0;
}
