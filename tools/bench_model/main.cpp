// Writes a 100,000-triangle terrain with the model writer into a temporary
// game folder, then times, best of several runs each:
//   - reading the file's bytes with fread (the floor),
//   - parsing it into a Z1Scene (Z1ReadFile),
//   - loading it as the game does (Z1Model::Load through a driver that draws
//     nothing: parse, pieces, textures handed over, quadtree),
//   - building the piece's quadtree alone (tuning values A and B of the
//     settings defaults).
//   bench_model [runs]
#include <malloc.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_common.h"
#include "culling/quadtree.h"
#include "models/z1model/z1file.h"
#include "models/z1model/z1model.h"
#include "settings/settings.h"
#include "terrain.h"

namespace {

// Page faults of the process so far (every page of fresh memory costs one).
long MinorFaults() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 7;
    if (runs <= 0 || runs > 1000) {
        std::fprintf(stderr, "usage: bench_model [runs 1..1000]\n");
        return 2;
    }

    // Every run reuses the memory the one before freed, for the read's
    // buffer as for the load: by default glibc hands large freed blocks back
    // to the system, and then whichever step allocates in large blocks pays a
    // page fault per fresh page while the other does not, and the ratio
    // measures the allocator instead of the work.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);

    Settings settings;  // defaults: tuning A 500, B 100
    settings.write_log = 0;
    g_settings = &settings;
    bench::NullDriver driver;
    g_gfxdriver = &driver;

    bench::TempGameDir dir("bench_model");
    if (!dir.Ok()) {
        std::fprintf(stderr, "bench_model: cannot make a temporary folder\n");
        return 1;
    }
    dir.MakeFolder("z1");
    SetBasePath((dir.Path() + "/").c_str());

    bench::TerrainGrid grid;
    {
        Z1Scene scene = bench::TerrainScene(grid);
        if (!Z1WriteFile((dir / "z1/terrain.z1").c_str(), scene)) {
            std::fprintf(stderr, "bench_model: cannot write the model\n");
            return 1;
        }
    }
    std::vector<char> bytes;
    size_t size = bench::ReadAllBytes(dir / "z1/terrain.z1", bytes);
    std::printf("model: %d triangles, %d vertices, %zu bytes; tuning A %d, B %d; %d runs each\n",
                grid.Triangles(), grid.Vertices(), size, QuadTreeTuningA(), QuadTreeTuningB(), runs);

    std::vector<bench::Times> readRuns, parseRuns, loadRuns, treeRuns;
    int nodes = 0, textures = 0, faces = 0;
    long loadFaults = 0, treeFaults = 0;
    QuadTree::Bytes treeBytes{};
    size_t meshBytes = 0;
    bool ok = true;
    for (int i = 0; i < runs && ok; ++i) {
        {
            bench::Stopwatch w;
            std::vector<char> buffer;
            size_t n = bench::ReadAllBytes(dir / "z1/terrain.z1", buffer);
            readRuns.push_back(w.Elapsed());
            ok = ok && n == size;
        }
        {
            bench::Stopwatch w;
            Z1Scene scene;
            Z1ReadResult r = Z1ReadFile("terrain.z1", scene);
            parseRuns.push_back(w.Elapsed());
            ok = ok && r == Z1_READ_OK && scene.faceTotal == grid.Triangles();
        }
        {
            driver.textures_generated = 0;
            const long faults = MinorFaults();
            bench::Stopwatch w;
            Z1Model* model = new Z1Model();
            bool loaded = model->Load("terrain.z1");
            loadRuns.push_back(w.Elapsed());
            loadFaults = MinorFaults() - faults;
            textures = driver.textures_generated;
            ok = ok && loaded && model->SubMeshCount() == 1;
            if (ok) {
                Z1SubMesh* sm = model->frames[0]->submeshes[0];
                faces = sm->faceCount;
                ok = sm->quadtree != nullptr;
                const long before = MinorFaults();
                bench::Stopwatch t;
                QuadTree* tree =
                    new QuadTree(sm->vertices, sm->vertexCount, sm->indices, sm->faceCount, sm->box);
                tree->Build();
                treeRuns.push_back(t.Elapsed());
                treeFaults = MinorFaults() - before;
                nodes = tree->NodeCount();
                treeBytes = tree->Held();
                meshBytes = sizeof(VERTEX) * sm->vertexCount + sizeof(uint16_t) * 3 * sm->faceCount;
                delete tree;
            }
            delete model;
        }
    }
    if (!ok) {
        std::fprintf(stderr, "bench_model: the model did not load back as written\n");
        return 1;
    }

    bench::Times read = bench::Best(readRuns), parse = bench::Best(parseRuns), load = bench::Best(loadRuns),
                 tree = bench::Best(treeRuns);
    bench::PrintTimes("read bytes (fread)", read);
    bench::PrintTimes("parse (Z1ReadFile)", parse);
    bench::PrintTimes("load (Z1Model::Load, quadtree included)", load);
    bench::PrintTimes("quadtree build alone", tree);
    std::printf("piece: %d faces, quadtree %d nodes, %d texture(s) handed to the driver\n", faces, nodes,
                textures);
    std::printf("page faults (last run): load %ld, quadtree build alone %ld\n", loadFaults, treeFaults);
    std::printf(
        "quadtree memory %.2f MB for a mesh of %.2f MB (vertices and indices), %.2fx: index lists %.2f MB, "
        "shared vertices %.2f MB, leaf masks %.2f MB, marks of merged nodes %.2f MB, nodes %.2f MB\n",
        treeBytes.Total() / 1e6, meshBytes / 1e6, static_cast<double>(treeBytes.Total()) / meshBytes,
        treeBytes.indices / 1e6, treeBytes.vertices / 1e6, treeBytes.masks / 1e6, treeBytes.marks / 1e6,
        treeBytes.nodes / 1e6);
    std::printf("load / read bytes: %.1fx wall, %.1fx cpu; load MB/s %.1f; bytes MB/s %.1f\n",
                load.wall / read.wall, read.cpu > 0 ? load.cpu / read.cpu : 0.0, size / load.wall / 1e6,
                size / read.wall / 1e6);
    g_gfxdriver = nullptr;
    g_settings = nullptr;
    return 0;
}
