// modelgen GAMEFOLDER: builds the demo village's models into GAMEFOLDER/z1:
// the ground, houses and tavern whose windows the day cycle lights at night,
// the lamp post, the walled yard with its gate, the tower, the villagers, the
// camp fire and torches, and the three marker models of the editor.
//
// Units: a person is 180 high; y is up; a model's front is its -z side.
// Every texture named here is drawn by texgen.
#include <cmath>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "builder.h"

namespace {

std::string g_folder;
int g_written = 0;
bool g_failed = false;

void Save(const ModelBuilder& m, const std::string& file) {
    std::string path = g_folder + "/" + file;
    if (!m.Write(path)) {
        std::fprintf(stderr, "modelgen: cannot write %s\n", path.c_str());
        g_failed = true;
        return;
    }
    ++g_written;
}

const V3 kFront{0, 0, -1}, kBack{0, 0, 1}, kLeft{-1, 0, 0}, kRight{1, 0, 0}, kUp{0, 1, 0};

// ------------------------------------------------------------------ ground

// A square of 24 x 24 tiles of 400 units: grass, with cobbles on the square
// round the camp fire and on the road east to the gate.
void Ground() {
    ModelBuilder m("ground");
    int grass = m.Texture("village\\grass.bmp");
    int cobbles = m.Texture("village\\cobbles.bmp");
    const float tile = 400, half = 4800;
    for (int j = 0; j < 24; ++j)
        for (int i = 0; i < 24; ++i) {
            float x0 = -half + i * tile, z0 = -half + j * tile;
            float cx = x0 + tile * 0.5f, cz = z0 + tile * 0.5f;
            bool square = std::fabs(cx) < 800 && std::fabs(cz) < 800;
            bool road = cx > 0 && cx < 1600 && std::fabs(cz) < 400;
            int mat = square || road ? cobbles : grass;
            m.Quad(mat, {x0, 0, z0 + tile}, {x0 + tile, 0, z0 + tile}, {x0 + tile, 0, z0}, {x0, 0, z0}, kUp,
                   mat == grass ? 2.0f : 4.0f, mat == grass ? 2.0f : 4.0f);
        }
    Save(m, "ground.z1");
}

// ------------------------------------------------------------------ houses

struct HouseStyle {
    float width, depth, wall, ridge;  // x size, z size, wall height, roof ridge height
    int storeys;
    const char* window;  // the night-lit texture the model is made with
    float windowW, windowH;
    bool chimney;
};

// A window or door set 1 unit in front of a wall so it never fights the
// wall for depth.
void OnWall(ModelBuilder& m, int mat, V3 centre, V3 facing, float w, float h) {
    V3 out = facing * 1.0f;
    V3 side = facing.z != 0 ? V3{facing.z < 0 ? 1.0f : -1.0f, 0, 0} : V3{0, 0, facing.x > 0 ? 1.0f : -1.0f};
    V3 c = centre + out;
    V3 hw = side * (w * 0.5f);
    V3 hh{0, h * 0.5f, 0};
    m.Quad(mat, c - hw + hh, c + hw + hh, c + hw - hh, c - hw - hh, facing);
}

void House(const std::string& file, const HouseStyle& s) {
    ModelBuilder m(file);
    int plaster = m.Texture("village\\plaster.bmp");
    int roof = m.Texture("village\\roof.bmp");
    int wood = m.Texture("village\\wood.bmp");
    int stone = m.Texture("village\\stone.bmp");
    int window = m.Texture(s.window);
    const float hx = s.width * 0.5f, hz = s.depth * 0.5f;

    // Walls on a low stone plinth.
    m.Box(stone, {-hx - 6, 0, -hz - 6}, {hx + 6, 30, hz + 6}, 120, false);
    m.TiledQuad(plaster, {-hx, s.wall, -hz}, {hx, s.wall, -hz}, {hx, 30, -hz}, {-hx, 30, -hz}, kFront, 140);
    m.TiledQuad(plaster, {hx, s.wall, hz}, {-hx, s.wall, hz}, {-hx, 30, hz}, {hx, 30, hz}, kBack, 140);
    m.TiledQuad(plaster, {-hx, s.wall, hz}, {-hx, s.wall, -hz}, {-hx, 30, -hz}, {-hx, 30, hz}, kLeft, 140);
    m.TiledQuad(plaster, {hx, s.wall, -hz}, {hx, s.wall, hz}, {hx, 30, hz}, {hx, 30, -hz}, kRight, 140);

    // Gable roof, ridge along x, with an overhang; the gables are plaster.
    const float o = 30;
    V3 ridgeL{-hx - o, s.ridge, 0}, ridgeR{hx + o, s.ridge, 0};
    float slope = std::hypot(hz + o, s.ridge - (s.wall - 15));
    m.Quad(roof, ridgeL, ridgeR, {hx + o, s.wall - 15, -hz - o}, {-hx - o, s.wall - 15, -hz - o}, {0, 1, -1},
           (s.width + 2 * o) / 160, slope / 160);
    m.Quad(roof, ridgeR, ridgeL, {-hx - o, s.wall - 15, hz + o}, {hx + o, s.wall - 15, hz + o}, {0, 1, 1},
           (s.width + 2 * o) / 160, slope / 160);
    // Undersides so the roof is solid from below too.
    m.Quad(wood, ridgeL, ridgeR, {hx + o, s.wall - 15, -hz - o}, {-hx - o, s.wall - 15, -hz - o}, {0, -1, 1});
    m.Quad(wood, ridgeR, ridgeL, {-hx - o, s.wall - 15, hz + o}, {hx + o, s.wall - 15, hz + o}, {0, -1, -1});
    float gv = (s.ridge - s.wall) / 140;
    m.Triangle(plaster, {-hx, s.wall, -hz}, {-hx, s.wall, hz}, {-hx, s.ridge, 0}, kLeft, 0, gv, s.depth / 140,
               gv, s.depth / 280, 0);
    m.Triangle(plaster, {hx, s.wall, hz}, {hx, s.wall, -hz}, {hx, s.ridge, 0}, kRight, 0, gv, s.depth / 140,
               gv, s.depth / 280, 0);

    // Door in the middle of the front, windows beside it and on every side.
    m.Box(wood, {-55, 30, -hz - 4}, {55, 230, -hz}, 110, false);
    const float storeyH = (s.wall - 30) / s.storeys;
    for (int st = 0; st < s.storeys; ++st) {
        float y = 30 + storeyH * (st + 0.55f);
        for (float x = -hx + s.windowW; x <= hx - s.windowW * 0.9f; x += s.windowW * 2.2f) {
            if (st == 0 && std::fabs(x) < 55 + s.windowW * 0.6f) continue;  // the door
            OnWall(m, window, {x, y, -hz}, kFront, s.windowW, s.windowH);
        }
        for (float x = -hx + s.windowW; x <= hx - s.windowW * 0.9f; x += s.windowW * 2.2f)
            OnWall(m, window, {x, y, hz}, kBack, s.windowW, s.windowH);
        OnWall(m, window, {-hx, y, 0}, kLeft, s.windowW, s.windowH);
        OnWall(m, window, {hx, y, 0}, kRight, s.windowW, s.windowH);
    }
    if (s.chimney) {
        float cx = hx * 0.55f;
        m.Box(stone, {cx - 35, s.wall, 20}, {cx + 35, s.ridge + 90, 90}, 100, false);
        m.SpawnPoint("chimney", {cx, s.ridge + 95, 55});
    }
    Save(m, file);
}

void Tower() {
    ModelBuilder m("_tower01");
    int stone = m.Texture("village\\stone.bmp");
    int roof = m.Texture("village\\roof.bmp");
    int wood = m.Texture("village\\wood.bmp");
    int window = m.Texture("base_windows\\window03c.bmp");
    m.Box(stone, {-150, 0, -150}, {150, 700, 150}, 150, false);
    m.Box(stone, {-170, 700, -170}, {170, 730, 170}, 150);
    m.Pyramid(roof, {-180, 730, -180}, {180, 730, 180}, 980, 160);
    m.Box(wood, {-55, 0, -154}, {55, 220, -150}, 110, false);
    for (float y : {380.0f, 600.0f}) {
        OnWall(m, window, {0, y, -150}, kFront, 70, 90);
        OnWall(m, window, {0, y, 150}, kBack, 70, 90);
        OnWall(m, window, {-150, y, 0}, kLeft, 70, 90);
        OnWall(m, window, {150, y, 0}, kRight, 70, 90);
    }
    Save(m, "_tower01.Z1");
}

// ------------------------------------------------------------------- props

void LampPost() {
    ModelBuilder m("_lamppost01");
    int iron = m.Texture("village\\iron.bmp");
    int stone = m.Texture("village\\stone.bmp");
    // Made lit: the day cycle swaps in the dark glass by day.
    int glass = m.Texture("Items\\lamp_post01\\lamp_glass02.bmp");
    m.Box(stone, {-22, 0, -22}, {22, 20, 22}, 60, false);
    m.Box(iron, {-7, 20, -7}, {7, 262, 7}, 60, false);
    m.Box(iron, {-24, 262, -24}, {24, 268, 24}, 60);
    m.Box(glass, {-20, 268, -20}, {20, 318, 20}, 40, false);
    m.Pyramid(iron, {-26, 318, -26}, {26, 318, 26}, 345, 60);
    m.SpawnPoint("light", {0, 295, 0});
    Save(m, "_lamppost01.Z1");
}

// A stone wall piece 1000 long (x from 0), 300 high and 60 thick.
void Wall() {
    ModelBuilder m("wall");
    int stone = m.Texture("village\\stone.bmp");
    m.Box(stone, {0, 0, -30}, {1000, 300, 30}, 150, false);
    for (float x = 20; x < 1000; x += 90) m.Box(stone, {x, 300, -30}, {x + 50, 340, 30}, 150);
    Save(m, "wall.z1");
}

// The gate leaf: hinged at the model's origin, 240 wide along x.
void Gate() {
    ModelBuilder m("gate");
    int wood = m.Texture("village\\wood.bmp");
    int iron = m.Texture("village\\iron.bmp");
    m.Box(wood, {0, 0, -8}, {240, 290, 8}, 120);
    for (float y : {50.0f, 240.0f}) {
        m.Box(iron, {4, y, -11}, {236, y + 14, -8}, 60, false);
        m.Box(iron, {4, y, 8}, {236, y + 14, 11}, 60, false);
    }
    Save(m, "gate.z1");
}

// A posts-and-lintel frame round the gate opening, 240 wide along x.
void GateFrame() {
    ModelBuilder m("gateframe");
    int stone = m.Texture("village\\stone.bmp");
    m.Box(stone, {-40, 0, -40}, {0, 380, 40}, 100, false);
    m.Box(stone, {240, 0, -40}, {280, 380, 40}, 100, false);
    m.Box(stone, {-40, 300, -40}, {280, 380, 40}, 100);
    Save(m, "gateframe.z1");
}

void Campfire() {
    ModelBuilder m("campfire");
    int stone = m.Texture("village\\stone.bmp");
    int wood = m.Texture("village\\wood.bmp");
    for (int k = 0; k < 10; ++k) {
        float a = k * 6.2831853f / 10;
        float x = std::cos(a) * 55, z = std::sin(a) * 55;
        m.Box(stone, {x - 12, 0, z - 12}, {x + 12, 18, z + 12}, 40, false);
    }
    m.Box(wood, {-40, 4, -7}, {40, 16, 7}, 60, false);
    m.Box(wood, {-7, 14, -40}, {7, 26, 40}, 60, false);
    Save(m, "campfire.z1");
}

void Torch() {
    ModelBuilder m("torch");
    int wood = m.Texture("village\\wood.bmp");
    int iron = m.Texture("village\\iron.bmp");
    m.Box(wood, {-5, 0, -5}, {5, 200, 5}, 60, false);
    m.Box(iron, {-12, 200, -12}, {12, 215, 12}, 30);
    m.SpawnPoint("flame", {0, 218, 0});
    Save(m, "torch.z1");
}

void Barrel() {
    ModelBuilder m("barrel");
    int wood = m.Texture("village\\wood.bmp");
    int iron = m.Texture("village\\iron.bmp");
    m.Box(wood, {-26, 0, -26}, {26, 75, 26}, 60);
    for (float y : {12.0f, 58.0f}) m.Box(iron, {-28, y, -28}, {28, y + 5, 28}, 30, false);
    Save(m, "barrel.z1");
}

// A villager, 180 high, facing -z; the tunic tells them apart.
void Villager(const std::string& file, const char* tunic, bool helmet) {
    ModelBuilder m(file);
    int cloth = m.Texture(std::string("characters\\") + tunic);
    int leather = m.Texture("characters\\leather.bmp");
    int face = m.Texture("characters\\face.bmp");
    int skin = m.Colour(0.84f, 0.67f, 0.53f);
    int iron = m.Texture("village\\iron.bmp");
    m.Box(leather, {-22, 0, -12}, {-4, 85, 10}, 40);  // legs
    m.Box(leather, {4, 0, -12}, {22, 85, 10}, 40);
    m.Box(cloth, {-26, 80, -14}, {26, 150, 14}, 60);   // body
    m.Box(cloth, {-38, 95, -10}, {-26, 148, 10}, 60);  // arms
    m.Box(cloth, {26, 95, -10}, {38, 148, 10}, 60);
    m.Box(skin, {-38, 80, -8}, {-27, 95, 8}, 60);  // hands
    m.Box(skin, {27, 80, -8}, {38, 95, 8}, 60);
    m.Box(skin, {-6, 150, -6}, {6, 155, 6}, 60);  // neck
    // Head: the face looks forward; the other sides are hair and skin.
    m.Quad(face, {-14, 182, -15}, {14, 182, -15}, {14, 155, -15}, {-14, 155, -15}, kFront);
    m.Box(skin, {-14, 155, -14}, {14, 182, 14}, 40, true);
    if (helmet) {
        m.Box(iron, {-16, 176, -16}, {16, 186, 16}, 30);
        m.Pyramid(iron, {-16, 186, -16}, {16, 186, 16}, 200, 30);
    }
    Save(m, file);
}

// --------------------------------------------------------- editor markers

void Marker(const std::string& file, const char* texture, int shape) {
    ModelBuilder m(file);
    int mat = m.Texture(std::string("editor\\") + texture);
    if (shape == 0) {  // light: a double pyramid
        m.Pyramid(mat, {-10, 0, -10}, {10, 0, 10}, 14, 20);
        // The lower half points down: its faces look outwards and down.
        m.Triangle(mat, {-10, 0, -10}, {10, 0, -10}, {0, -14, 0}, {0, -0.5f, -1}, 0, 0, 1, 0, 0.5f, 1);
        m.Triangle(mat, {10, 0, -10}, {10, 0, 10}, {0, -14, 0}, {1, -0.5f, 0}, 0, 0, 1, 0, 0.5f, 1);
        m.Triangle(mat, {10, 0, 10}, {-10, 0, 10}, {0, -14, 0}, {0, -0.5f, 1}, 0, 0, 1, 0, 0.5f, 1);
        m.Triangle(mat, {-10, 0, 10}, {-10, 0, -10}, {0, -14, 0}, {-1, -0.5f, 0}, 0, 0, 1, 0, 0.5f, 1);
    } else if (shape == 1) {  // camera: a body and a lens looking along +x
        m.Box(mat, {-12, -8, -8}, {12, 8, 8}, 24);
        m.Box(mat, {12, -5, -5}, {20, 5, 5}, 24);
    } else {  // particle emitter: an upward pyramid on a slab
        m.Box(mat, {-10, -3, -10}, {10, 0, 10}, 20);
        m.Pyramid(mat, {-8, 0, -8}, {8, 0, 8}, 16, 20);
    }
    Save(m, file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: modelgen GAMEFOLDER\n");
        return 2;
    }
    g_folder = std::string(argv[1]) + "/z1";
    if ((mkdir(argv[1], 0755) != 0 && errno != EEXIST) ||
        (mkdir(g_folder.c_str(), 0755) != 0 && errno != EEXIST)) {
        std::fprintf(stderr, "modelgen: cannot make %s\n", g_folder.c_str());
        return 1;
    }

    Ground();
    House("_house01a.Z1", {500, 400, 280, 460, 1, "base_windows\\window03c.bmp", 60, 70, false});
    House("_house02a.Z1", {380, 340, 250, 400, 1, "base_windows\\window03c.bmp", 55, 65, true});
    House("_tavern01.Z1", {720, 460, 440, 640, 2, "base_windows\\window02c.bmp", 80, 80, true});
    Tower();
    LampPost();
    Wall();
    Gate();
    GateFrame();
    Campfire();
    Torch();
    Barrel();
    Villager("guard.z1", "tunic_blue.bmp", true);
    Villager("innkeeper.z1", "tunic_green.bmp", false);
    Villager("storyteller.z1", "tunic_red.bmp", false);
    Marker("e_light.z1", "light.bmp", 0);
    Marker("e_cam.z1", "camera.bmp", 1);
    Marker("e_particle.z1", "particle.bmp", 2);

    if (g_failed) return 1;
    std::printf("modelgen: %d models\n", g_written);
    return 0;
}
