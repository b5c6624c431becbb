// modelgen GAMEFOLDER: builds the demo game's models into GAMEFOLDER/z1 and
// its characters' animations into GAMEFOLDER/anims: the ground, houses and
// tavern whose windows the day cycle lights at night, the lamp post, the
// walled yard with its gate, the tower and its door, the tower's hall with
// its bell (the second area), the villagers and the tower's keeper (skinned,
// with faces that blink and talk), the camp fire and torches, the tavern's
// swinging sign and the tower's banner (node tracks), and the three marker
// models of the editor.
//
// Units: a person is 180 high; y is up; a model's front is its -z side.
// Every texture named here is drawn by texgen.
//
// Index of this file:
// [SECTION] Saving
// [SECTION] Ground
// [SECTION] Houses
// [SECTION] Props
// [SECTION] Editor markers
// [SECTION] Main
#include <cmath>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "builder.h"
#include "figure.h"

// ---------------------------------------------------------------------------
// [SECTION] Saving
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

// ---------------------------------------------------------------------------
// [SECTION] Ground
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

// ---------------------------------------------------------------------------
// [SECTION] Houses
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
    int window = m.Texture("base_windows\\window03c.bmp");
    m.Box(stone, {-150, 0, -150}, {150, 700, 150}, 150, false);
    m.Box(stone, {-170, 700, -170}, {170, 730, 170}, 150);
    m.Pyramid(roof, {-180, 730, -180}, {180, 730, 180}, 980, 160);
    // The doorway: dark behind the door, framed in stone. The door itself
    // is an entity of its own (tower_door.z1) that swings open.
    int dark = m.Colour(0.04f, 0.035f, 0.03f);
    m.Quad(dark, {-55, 220, -150.5f}, {55, 220, -150.5f}, {55, 0, -150.5f}, {-55, 0, -150.5f}, kFront);
    m.Box(stone, {-72, 0, -164}, {-55, 238, -150}, 100, false);
    m.Box(stone, {55, 0, -164}, {72, 238, -150}, 100, false);
    m.Box(stone, {-72, 220, -164}, {72, 242, -150}, 100, false);
    for (float y : {380.0f, 600.0f}) {
        OnWall(m, window, {0, y, -150}, kFront, 70, 90);
        OnWall(m, window, {0, y, 150}, kBack, 70, 90);
        OnWall(m, window, {-150, y, 0}, kLeft, 70, 90);
        OnWall(m, window, {150, y, 0}, kRight, 70, 90);
    }
    Save(m, "_tower01.Z1");
}

// The tower's door: hinged at the model's origin, 110 wide along x, 220
// high; the same leaf closes the hall from the inside.
void TowerDoor() {
    ModelBuilder m("tower_door");
    int wood = m.Texture("village\\wood.bmp");
    int iron = m.Texture("village\\iron.bmp");
    m.Box(wood, {0, 0, -4}, {110, 218, 4}, 110);
    for (float y : {30.0f, 180.0f}) {
        m.Box(iron, {4, y, -6}, {100, y + 10, -4}, 40, false);
        m.Box(iron, {4, y, 4}, {100, y + 10, 6}, 40, false);
    }
    m.Box(iron, {86, 100, -10}, {96, 112, -4}, 20);  // the ring
    Save(m, "tower_door.z1");
}

// The tower's hall, the second area: eight stone walls round the origin
// (their inner faces 420 from the middle), a floor of flags, a beamed
// ceiling, windows, shelves of the old lord's books and his table. Every
// face looks inwards, so the walls hold the player in.
void TowerHall() {
    ModelBuilder m("tower_hall");
    int stone = m.Texture("village\\stone.bmp");
    int floor = m.Texture("village\\cobbles.bmp");
    int wood = m.Texture("village\\wood.bmp");
    int window = m.Texture("base_windows\\window03c.bmp", 1.0f);
    const float R = 420, H = 520, corner = R / std::cos(3.14159265f / 8);
    m.TiledQuad(floor, {-R - 40, 0, R + 40}, {R + 40, 0, R + 40}, {R + 40, 0, -R - 40}, {-R - 40, 0, -R - 40},
                kUp, 120);
    m.TiledQuad(wood, {-R - 40, H, -R - 40}, {R + 40, H, -R - 40}, {R + 40, H, R + 40}, {-R - 40, H, R + 40},
                {0, -1, 0}, 160);
    for (int k = 0; k < 8; ++k) {
        float a0 = (k - 0.5f) * 3.14159265f / 4, a1 = (k + 0.5f) * 3.14159265f / 4;
        V3 p{std::cos(a0) * corner, 0, std::sin(a0) * corner},
            q{std::cos(a1) * corner, 0, std::sin(a1) * corner};
        V3 inward{-std::cos(k * 3.14159265f / 4), 0, -std::sin(k * 3.14159265f / 4)};
        m.TiledQuad(stone, {p.x, H, p.z}, {q.x, H, q.z}, q, p, inward, 150);
        // A plinth round the foot of the wall.
        V3 pi = p + inward * 14, qi = q + inward * 14;
        m.TiledQuad(stone, {pi.x, 24, pi.z}, {qi.x, 24, qi.z}, qi, pi, inward, 100);
        m.TiledQuad(stone, {p.x, 24, p.z}, {q.x, 24, q.z}, {qi.x, 24, qi.z}, {pi.x, 24, pi.z}, kUp, 100);
        if (k == 4) continue;  // the west wall holds the door
        V3 c = (p + q) * 0.5f + inward * 1.5f;
        V3 along = (q - p) * (1.0f / Length(q - p));
        for (float side : {-1.0f, 1.0f}) {
            if (k % 2 == 1 && side > 0) continue;
            V3 w = c + along * (side * 70);
            V3 hw = along * 32;
            m.Quad(window, V3{w.x, 430, w.z} - hw, V3{w.x, 430, w.z} + hw, V3{w.x, 330, w.z} + hw,
                   V3{w.x, 330, w.z} - hw, inward);
        }
    }
    // Beams under the ceiling, running north-south.
    for (float x : {-240.0f, 0.0f, 240.0f})
        m.Box(wood, {x - 14, H - 34, -R - 40}, {x + 14, H, R + 40}, 80, true);
    // The frame of the door in the west wall.
    m.Box(stone, {-R - 10, 0, -72}, {-R + 12, 238, -57}, 100, false);
    m.Box(stone, {-R - 10, 0, 57}, {-R + 12, 238, 72}, 100, false);
    m.Box(stone, {-R - 10, 220, -72}, {-R + 12, 242, 72}, 100, false);
    // Shelves of books along the north-east wall, and a table with an open book.
    int colours[4] = {m.Colour(0.45f, 0.12f, 0.1f), m.Colour(0.15f, 0.25f, 0.4f),
                      m.Colour(0.2f, 0.35f, 0.18f), m.Colour(0.5f, 0.4f, 0.22f)};
    int paper = m.Colour(0.9f, 0.86f, 0.74f);
    const float sx = 120, sz = 330;
    m.Box(wood, {sx - 110, 0, sz}, {sx + 110, 230, sz + 40}, 80);
    for (int shelf = 0; shelf < 4; ++shelf) {
        float y = 12 + shelf * 54;
        float x = sx - 104;
        for (int b = 0; x < sx + 98; ++b) {
            float w = 7 + (b * 7 % 5), h = 34 + (b * 13 % 12);
            m.Box(colours[(b + shelf) % 4], {x, y, sz - 6}, {x + w, y + h, sz + 2}, 40, false);
            x += w + 1;
        }
    }
    m.Box(wood, {60, 72, -300}, {200, 80, -220}, 60);
    for (float x : {66.0f, 188.0f})
        for (float z : {-294.0f, -232.0f}) m.Box(wood, {x, 0, z}, {x + 6, 72, z + 6}, 60, false);
    m.Quad(paper, {100, 81, -270}, {160, 81, -270}, {160, 81, -245}, {100, 81, -245}, kUp);
    Save(m, "tower_hall.z1");
}

// The tower's bell, cracked on the floor of the hall since the night it fell.
void Bell() {
    ModelBuilder m("bell");
    int bronze = m.Texture("village\\bronze.bmp");
    int dark = m.Colour(0.12f, 0.09f, 0.05f);
    std::vector<float> round;
    for (int k = 0; k < 16; ++k) {
        float a = (k + 0.5f) * 6.2831853f / 16;
        round.push_back(std::cos(a));
        round.push_back(std::sin(a));
    }
    m.Loft(bronze, round,
           {{0, 62, 62, -1},
            {8, 60, 60, -1},
            {30, 48, 48, -1},
            {70, 40, 40, -1},
            {100, 37, 37, -1},
            {118, 28, 28, -1},
            {124, 12, 12, -1}},
           2, 60, false, true);
    m.Box(bronze, {-6, 124, -16}, {6, 144, 16}, 30);  // the crown
    // Inside the mouth, dark.
    m.Quad(dark, {-50, 1, 50}, {50, 1, 50}, {50, 1, -50}, {-50, 1, -50}, kUp);
    // The crack, a dark line down the front.
    m.Quad(dark, {-2, 64, -44.5f}, {2, 64, -44.5f}, {3, 6, -60.5f}, {-1, 6, -60.5f}, kFront);
    Save(m, "bell.z1");
}

// ---------------------------------------------------------------------------
// [SECTION] Props
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
    // A bed of glowing embers under the logs: an animated texture list.
    int embers = m.Texture("village\\embers.ifl", 1.0f);
    m.Quad(embers, {-42, 1, -42}, {42, 1, -42}, {42, 1, 42}, {-42, 1, 42}, {0, 1, 0});
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

// The tavern's sign: an iron bracket out from the wall (the model's origin,
// the wall along x) and a painted board hanging from it that swings in the
// wind by its node track.
void Sign() {
    ModelBuilder m("sign");
    int iron = m.Texture("village\\iron.bmp");
    int wood = m.Texture("village\\wood.bmp");
    int board = m.Texture("village\\sign.bmp");
    m.Box(iron, {-6, 240, -3}, {6, 312, 0}, 30);
    m.Box(iron, {-2, 300, -118}, {2, 306, -3}, 30);
    m.Box(iron, {-1.5f, 262, -6}, {1.5f, 266, -62}, 30);  // the stay, level under the bar
    m.Object("board");
    for (float z : {-34.0f, -96.0f}) m.Box(iron, {-1, 272, z - 1}, {1, 300, z + 1}, 30, false);
    m.Box(wood, {-2.5f, 196, -112}, {2.5f, 274, -18}, 60);
    m.Quad(board, {-2.6f, 274, -18}, {-2.6f, 274, -112}, {-2.6f, 196, -112}, {-2.6f, 196, -18}, kLeft);
    m.Quad(board, {2.6f, 274, -112}, {2.6f, 274, -18}, {2.6f, 196, -18}, {2.6f, 196, -112}, kRight);
    // A gusty swing about the bar, three seconds and a fifth a round.
    std::vector<int> ticks;
    std::vector<float> angles;
    for (int frame = 0; frame <= 80; frame += 4) {
        float t = frame / 80.0f * 6.2831853f;
        ticks.push_back(frame * 160);
        angles.push_back(0.24f * std::sin(t) + 0.07f * std::sin(3 * t));
    }
    m.Swing({0, 303, 0}, {0, 0, 1}, ticks, angles);
    Save(m, "sign.z1");
}

// A banner on a pole (the origin, the pole's foot) that flaps about it.
void Banner() {
    ModelBuilder m("banner");
    int wood = m.Texture("village\\wood.bmp");
    int iron = m.Texture("village\\iron.bmp");
    int cloth = m.Texture("village\\banner.bmp");
    m.Box(wood, {-3, 0, -3}, {3, 210, 3}, 60);
    m.Pyramid(iron, {-5, 210, -5}, {5, 210, 5}, 226, 20);
    m.Object("cloth");
    m.Quad(cloth, {3, 205, 0}, {118, 200, 0}, {118, 140, 0}, {3, 135, 0}, kFront);
    m.Quad(cloth, {118, 200, 0}, {3, 205, 0}, {3, 135, 0}, {118, 140, 0}, kBack, -1, 1);
    std::vector<int> ticks;
    std::vector<float> angles;
    for (int frame = 0; frame <= 60; frame += 3) {
        float t = frame / 60.0f * 6.2831853f;
        ticks.push_back(frame * 160);
        angles.push_back(0.35f * std::sin(t) + 0.12f * std::sin(2 * t + 1.0f));
    }
    m.Swing({0, 0, 0}, {0, 1, 0}, ticks, angles);
    Save(m, "banner.z1");
}

// ---------------------------------------------------------------------------
// [SECTION] Editor markers
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

// ---------------------------------------------------------------------------
// [SECTION] Main
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
    TowerDoor();
    TowerHall();
    Bell();
    Sign();
    Banner();
    const FigureStyle figures[] = {
        {"guard",
         "tunic_blue.bmp",
         {0.25f, 0.17f, 0.1f},
         false,
         true,
         true,
         false,
         false,
         GESTURE_HALT,
         6.0f},
        {"innkeeper",
         "tunic_green.bmp",
         {0.36f, 0.22f, 0.12f},
         false,
         false,
         false,
         true,
         false,
         GESTURE_RUB_HANDS,
         5.2f},
        {"storyteller",
         "tunic_red.bmp",
         {0.72f, 0.72f, 0.74f},
         true,
         false,
         false,
         false,
         false,
         GESTURE_SWEEP,
         7.2f},
        {"keeper", "robe.bmp", {0.9f, 0.9f, 0.88f}, true, false, false, false, true, GESTURE_OPEN_ARMS, 6.4f},
    };
    for (const FigureStyle& f : figures) {
        if (WriteFigure(argv[1], f))
            ++g_written;
        else
            g_failed = true;
    }
    Marker("e_light.z1", "light.bmp", 0);
    Marker("e_cam.z1", "camera.bmp", 1);
    Marker("e_particle.z1", "particle.bmp", 2);

    if (g_failed) return 1;
    std::printf("modelgen: %d models\n", g_written);
    return 0;
}
