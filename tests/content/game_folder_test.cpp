// The demo game folder the build makes beside zendar1: every file the engine
// asks for by a fixed name is there and reads with the engine's own readers,
// and the village plays as designed (the guard's key opens the locked gate).
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_program.h"
#include "common/test_files.h"
#include "entities/doorentity.h"
#include "entities/npcentity.h"
#include "entities/objectentity.h"
#include "camera/playercamera.h"
#include "gfxdriver/opengldriver/image.h"
#include "gfxdriver/texturelist.h"
#include "gui/font.h"
#include "imports/gameimports.h"
#include "models/z1model/z1model.h"
#include "settings/settings.h"
#include "utility/basepath.h"
#include "utility/fileio.h"
#include "utility/log.h"
#include "world/area.h"
#include "world/sky.h"
#include "world/world.h"

namespace {

const std::string kGame = ZENDAR_BIN_DIR;

std::string Native(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

// Opens a data path the way every engine reader does.
bool Opens(const std::string& dataPath) {
    FILE* f = OpenFile((kGame + "/" + dataPath).c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

using test_common::ReadFile;

std::string RunCommand(const std::string& command, int* status) {
    test_common::ProgramRun run = test_common::RunProgram(command);
    *status = run.status;
    return run.out;
}

// Every file below folder (relative to the game folder), recursively.
void ListFiles(const std::string& folder, std::vector<std::string>* out) {
    DIR* d = opendir((kGame + "/" + folder).c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        std::string rel = folder + "/" + name;
        struct stat st;
        if (stat((kGame + "/" + rel).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode))
            ListFiles(rel, out);
        else
            out->push_back(rel);
    }
    closedir(d);
}

// The game folder as base path, a settings record and a log with the gate
// open, so a test can say what the engine's readers complained about.
class GameFolder : public ::testing::Test {
protected:
    void SetUp() override {
        saved_base_ = GetBasePath() ? GetBasePath() : "";
        SetBasePath((kGame + "/").c_str());
        log_path_ = ::testing::TempDir() + "zendar_content_" + std::to_string(::getpid()) + ".log";
        saved_log_ = g_log;
        saved_settings_ = g_settings;
        log_ = new Log(log_path_.c_str());
        g_log = log_;
        g_settings = &settings_;
        settings_.write_log = 1;
    }
    void TearDown() override {
        g_log = saved_log_;
        g_settings = saved_settings_;
        delete log_;
        std::remove(log_path_.c_str());
        SetBasePath(saved_base_.c_str());
    }
    std::string LogText() const { return ReadFile(log_path_); }
    // Log lines that report a failure.
    std::vector<std::string> ErrorLines() const {
        std::vector<std::string> bad;
        std::istringstream lines(LogText());
        std::string line;
        while (std::getline(lines, line)) {
            std::string lower = line;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            // The scene tree's growing past its first box is not a fault.
            if (lower.find("enlarging") != std::string::npos) continue;
            if (lower.find("error") != std::string::npos || lower.find("could not") != std::string::npos ||
                lower.find("does not exist") != std::string::npos)
                bad.push_back(line);
        }
        return bad;
    }

    Settings settings_;

private:
    std::string saved_base_, log_path_;
    Log* log_ = nullptr;
    Log* saved_log_ = nullptr;
    Settings* saved_settings_ = nullptr;
};

// Texture pairs the engine registers by fixed names (colour, alpha map or "").
struct Pair {
    const char* colour;
    const char* alpha;
};
const Pair kFixedTextures[] = {
    {"textures\\interface\\pointer01.bmp", "textures\\interface\\pointer01a.bmp"},
    {"textures\\interface\\crosshair.bmp", "textures\\interface\\crosshair_alpha.bmp"},
    {"textures\\interface\\loading\\loading01.bmp", ""},
    {"textures\\interface\\loading\\loading02.bmp", ""},
    {"textures\\interface\\loading\\loading03.bmp", ""},
    {"textures\\interface\\textbox\\field01.bmp", "textures\\interface\\textbox\\field01a.bmp"},
    {"textures\\interface\\textbox\\edge01.bmp", "textures\\interface\\textbox\\edge01a.bmp"},
    {"textures\\sky\\moon\\moon01.bmp", "textures\\sky\\moon\\moon01_alpha.bmp"},
    {"textures\\sky\\moon\\moon15.bmp", "textures\\sky\\moon\\moon15_alpha.bmp"},
    {"textures\\sky\\sun\\sun_white.bmp", "textures\\sky\\sun\\sun_alpha.bmp"},
    {"textures\\sky\\sun\\sun.bmp", "textures\\sky\\sun\\sun_a.bmp"},
    {"textures\\lens_fx\\glow01.bmp", "textures\\lens_fx\\glow01_a.bmp"},
    {"textures\\lens_fx\\star01.bmp", "textures\\lens_fx\\star01alpha.bmp"},
    {"textures\\effects\\particles\\particles01orange.bmp",
     "textures\\effects\\particles\\particles01orange_a.bmp"},
    {"textures\\effects\\particles\\smoke02.bmp", "textures\\effects\\particles\\smoke02_a.bmp"},
};

// Loads a texture as the OpenGL driver does; "" when it loads, else why not.
// A texture list loads when it names frames and every frame loads.
std::string LoadTexture(const std::string& colour, const std::string& alpha) {
    if (IsTextureListName(colour.c_str())) {
        TextureList list;
        if (!ReadTextureList(colour, &list)) return colour + " does not open";
        if (list.frames.size() < 2) return colour + " is not animated";
        for (const std::string& frame : list.frames) {
            const std::string why = LoadTexture(frame, alpha);
            if (!why.empty()) return colour + ": " + why;
        }
        return "";
    }
    Image image;
    bool hasAlpha = false;
    if (!LoadTexturePixels(colour.c_str(), alpha.empty() ? nullptr : alpha.c_str(), &image, &hasAlpha))
        return colour + " does not load";
    if (hasAlpha != !alpha.empty()) return colour + ": alpha map not merged";
    // The mipmapped upload resamples anything else; the game's art is made
    // to the power-of-two sizes so nothing is blurred.
    auto pow2 = [](int v) { return v > 0 && (v & (v - 1)) == 0; };
    if (!pow2(image.width) || !pow2(image.height)) return colour + " is not a power-of-two size";
    return "";
}

TEST_F(GameFolder, FixedTexturesLoadWithTheirAlphaMaps) {
    for (const Pair& p : kFixedTextures) EXPECT_EQ(LoadTexture(p.colour, p.alpha), "") << p.colour;
    // One moon alpha map per day of the month, each the moon's size.
    for (int day = 0; day < kMoonPhases; ++day)
        EXPECT_EQ(LoadTexture("textures\\sky\\moon\\moon01.bmp", kMoonAlphaMaps[day]), "")
            << kMoonAlphaMaps[day];
    // Both states of every night light (the swap registers them without alpha).
    std::set<std::string> swapped;
    for (int i = 0; i < kNightLightCount; ++i) {
        swapped.insert(kNightLights[i].dayTexture);
        swapped.insert(kNightLights[i].nightTexture);
    }
    for (const std::string& t : swapped) EXPECT_EQ(LoadTexture(t, ""), "") << t;
    EXPECT_TRUE(ErrorLines().empty()) << LogText();
}

TEST_F(GameFolder, FontHasTheSkinsTheGameSelectsAndEveryPrintableGlyph) {
    Font font("font_herald.ini");
    ASSERT_TRUE(font.loaded);
    EXPECT_TRUE(font.SelectSkin("yellow"));
    EXPECT_TRUE(font.SelectSkin("white"));
    int skins = 0;
    for (const FontSkin* s = font.Skins(); s; s = s->next) {
        ++skins;
        EXPECT_EQ(LoadTexture(s->texture, "textures\\font\\herald_alpha.bmp"), "") << s->texture;
    }
    EXPECT_EQ(skins, 2);
    for (int c = 33; c < 127; ++c) {
        EXPECT_TRUE(font.HasGlyph(static_cast<unsigned char>(c))) << static_cast<char>(c);
        EXPECT_GT(font.CharacterAdvance(static_cast<unsigned char>(c)), 0) << static_cast<char>(c);
    }
    // Wide letters are wider than narrow ones: the widths are the face's own.
    EXPECT_GT(font.CharacterAdvance('W'), font.CharacterAdvance('i'));
}

TEST_F(GameFolder, EveryBitmapPassesTheReader) {
    std::vector<std::string> files;
    ListFiles("textures", &files);
    ASSERT_GT(files.size(), 80u);
    std::set<std::string> bitmaps, framed;
    int lists = 0;
    for (const std::string& f : files) {
        // A texture list names frames beside it, each a bitmap like the others.
        if (IsTextureListName(f.c_str())) {
            ++lists;
            TextureList list;
            ASSERT_TRUE(ReadTextureList(f, &list)) << f;
            EXPECT_GE(list.frames.size(), 2u) << f;
            EXPECT_GT(list.interval, 0u) << f;
            for (const std::string& frame : list.frames) {
                EXPECT_TRUE(Opens(frame)) << f << " names " << frame;
                framed.insert(Native(frame));
            }
            continue;
        }
        ASSERT_EQ(f.substr(f.size() - 4), ".bmp") << f;
        bitmaps.insert(f);
        BitmapInfo info;
        const char* why = ReadBitmapInfo((kGame + "/" + f).c_str(), &info);
        EXPECT_EQ(why, nullptr) << f << ": " << (why ? why : "");
        EXPECT_EQ(info.bit_count, 24) << f;
        Image image;
        EXPECT_TRUE(LoadImage(&image, (kGame + "/" + f).c_str(), 32)) << f;
    }
    EXPECT_GE(lists, 1);
    for (const std::string& frame : framed) EXPECT_EQ(bitmaps.count(frame), 1u) << frame;
}

TEST_F(GameFolder, SettingsSelectOpenGLAndNameAnExistingScript) {
    settings_.Parse("z1.ini");
    EXPECT_EQ(settings_.renderer, 1);
    EXPECT_EQ(settings_.write_log, 1);
    EXPECT_EQ(settings_.fog, 1);
    ASSERT_STRNE(settings_.script.c_str(), "");
    EXPECT_TRUE(Opens(settings_.script.c_str())) << settings_.script.c_str();
    EXPECT_TRUE(LogText().find("********* PARSING SETTINGS ***********") != std::string::npos);
}

TEST_F(GameFolder, DayCycleParsesAndNamesExistingCloudTextures) {
    Sky sky;
    ASSERT_TRUE(sky.Parse("daycycle.ini"));
    ASSERT_EQ(sky.frames.size(), 3u);
    EXPECT_EQ(sky.frames[0].weather, 0);
    EXPECT_EQ(sky.frames[2].weather, 100);
    for (const WeatherFrame& f : sky.frames) {
        EXPECT_EQ(LoadTexture(f.texture1, f.alpha1), "") << f.texture1;
        EXPECT_EQ(LoadTexture(f.texture2, f.alpha2), "") << f.texture2;
    }
    // Noon is bright and midnight dark in clear weather.
    SkyColors noon = sky.ColorsAt(12000, 0), night = sky.ColorsAt(0, 0);
    EXPECT_GT(noon.background[2], 200.0f);
    EXPECT_LT(night.background[2], 60.0f);
    EXPECT_EQ(LogText().find("Error loading weather keyframe"), std::string::npos);
}

TEST_F(GameFolder, EveryModelLoadsWithoutAnErrorLine) {
    std::vector<std::string> files;
    ListFiles("z1", &files);
    ASSERT_GE(files.size(), 26u);
    for (const std::string& f : files) {
        std::string name = f.substr(3);
        // Beside the models: their extra settings files.
        if (name.size() > 3 && name.compare(name.size() - 3, 3, ".ex") == 0) continue;
        Z1Model model;
        EXPECT_TRUE(model.Load(name.c_str())) << name;
        EXPECT_TRUE(model.loaded) << name;
        // Every texture a model names is in the game folder and loads.
        int textured = 0;
        for (ModelFrame* frame : model.frames)
            for (Z1SubMesh* sm : frame->submeshes) {
                if (sm->textureName.empty()) continue;  // a plain colour
                ++textured;
                EXPECT_EQ(LoadTexture(sm->textureName, ""), "") << name;
            }
        EXPECT_GT(textured, 0) << name;
    }
    EXPECT_TRUE(ErrorLines().empty()) << LogText();
}

TEST_F(GameFolder, NightLightModelsCarryTheLitTexture) {
    // Models are made lit, the state the engine starts in (lights on), so the
    // first daytime switch finds the lit texture to swap out.
    int found = 0;
    for (int i = 0; i < kNightLightCount; ++i) {
        std::string file = std::string("z1\\") + kNightLights[i].model;
        if (!Opens(file)) continue;
        ++found;
        Z1Model model;
        ASSERT_TRUE(model.Load(kNightLights[i].model));
        EXPECT_TRUE(model.SwapTexture(kNightLights[i].nightTexture, kNightLights[i].dayTexture, false))
            << kNightLights[i].model;
        EXPECT_TRUE(model.SwapTexture(kNightLights[i].dayTexture, kNightLights[i].nightTexture, true))
            << kNightLights[i].model;
    }
    EXPECT_GE(found, 5);
}

struct KeyHolder : NullImports {
    std::vector<std::string> items, messages;
    bool HasItem(const char* item) override {
        for (const std::string& i : items)
            if (i == item) return true;
        return false;
    }
    void ShowMessage(const char* text, float) override { messages.push_back(text); }
    void SetPointerMode() override {}
};

TEST_F(GameFolder, VillageLoadsWithItsModelsMarkersAndConversations) {
    Area area;
    EXPECT_TRUE(area.lightMarker->loaded);
    EXPECT_TRUE(area.cameraMarker->loaded);
    EXPECT_TRUE(area.particleMarker->loaded);
    area.Load("village.z1a");
    EXPECT_NE(LogText().find("Loading area from file 'area\\village.z1a'"), std::string::npos);
    EXPECT_EQ(area.models.Size(), 18);
    EXPECT_GE(area.entities.Size(), 40);
    EXPECT_EQ(area.lights.Size(), 7);     // six lamps and the camp fire
    EXPECT_EQ(area.particles.Size(), 6);  // fire, three smokes, two torches
    for (const char* npcName : {"guard", "innkeeper", "storyteller"}) {
        Entity* e = area.FindEntity(npcName);
        ASSERT_NE(e, nullptr) << npcName;
        ASSERT_EQ(e->type, ENTITY_NPC);
        EXPECT_NE(static_cast<NPCEntity*>(e)->dialog, nullptr) << npcName << " has no conversation";
    }
    // The tower's door opens onto the tower's hall; the tavern's sign and the
    // tower's banner swing.
    Entity* door = area.FindEntity("tower_door");
    ASSERT_NE(door, nullptr);
    EXPECT_EQ(door->type, ENTITY_DOOR);
    EXPECT_FALSE(static_cast<DoorEntity*>(door)->doorLocked);
    for (const char* swinging : {"tavern_sign", "tower_banner"})
        EXPECT_NE(area.FindEntity(swinging), nullptr);
    // The lamp and house models are known by the names of the night table.
    int lit = 0;
    for (int i = 0; i < kNightLightCount; ++i) lit += area.FindModel(kNightLights[i].model) ? 1 : 0;
    EXPECT_GE(lit, 5);
    EXPECT_TRUE(area.SwapModelTexture("_tavern01.Z1", "textures\\base_windows\\window02c.bmp",
                                      "textures\\base_windows\\window02a.bmp", 0));
    EXPECT_TRUE(ErrorLines().empty()) << LogText();
    area.Clear();
}

TEST_F(GameFolder, TowerHallHoldsTheKeeperAndTheDoorBack) {
    Area area;
    area.Load("tower.z1a");
    EXPECT_EQ(area.models.Size(), 5);
    Entity* keeper = area.FindEntity("keeper");
    ASSERT_NE(keeper, nullptr);
    ASSERT_EQ(keeper->type, ENTITY_NPC);
    EXPECT_NE(static_cast<NPCEntity*>(keeper)->dialog, nullptr);
    Entity* door = area.FindEntity("hall_door");
    ASSERT_NE(door, nullptr);
    ASSERT_EQ(door->type, ENTITY_OBJECT);
    ASSERT_NE(static_cast<ObjectEntity*>(door)->onClickScript, nullptr);
    EXPECT_STREQ(static_cast<ObjectEntity*>(door)->onClickScript, "leave_tower");
    EXPECT_EQ(area.particles.Size(), 2);  // the torches by the keeper
    EXPECT_TRUE(ErrorLines().empty()) << LogText();
    area.Clear();
    // The keeper's seal has its icon.
    EXPECT_EQ(LoadTexture("textures\\icons\\seal.bmp", ""), "");
}

// The engine moves the player only by a vector. The tower's scripts move him
// so far out that his place is lost in the rounding, back to the origin and
// on to where the next area wants him: wherever he clicked the door from, he
// ends exactly there.
TEST_F(GameFolder, TowerScriptsPlaceThePlayerWhereverHeClickedFrom) {
    settings_.Parse("z1.ini");
    int status = 0;
    std::string text = RunCommand(
        "'" + kGame + "/z1tool' script disasm '" + kGame + "/" + settings_.script.c_str() + "'", &status);
    ASSERT_EQ(status, 0) << text;
    struct Program {
        const char* name;
        VECTOR expected;
    };
    for (const Program& p :
         {Program{"enter_tower", {-320, 190, 0}}, Program{"leave_tower", {2030, 190, 0}}}) {
        SCOPED_TRACE(p.name);
        size_t at = text.find(std::string("program \"") + p.name + "\"");
        ASSERT_NE(at, std::string::npos) << text;
        std::vector<VECTOR> moves;
        std::istringstream lines(text.substr(at, text.find("\nend", at) - at));
        std::string line;
        while (std::getline(lines, line)) {
            float x, y, z;
            char name[32];
            if (std::sscanf(line.c_str(), " const %31s vector %f %f %f", name, &x, &y, &z) == 4)
                moves.push_back(VECTOR{x, y, z});
        }
        ASSERT_EQ(moves.size(), 3u);
        for (const VECTOR& from :
             {VECTOR{974, 190, 0}, VECTOR{2146.5f, 110.25f, -803.75f}, VECTOR{-4000, 300, 4000}}) {
            PlayerCamera camera(1.5f, 9000);
            camera.LookAt(from, from + VECTOR{1, 0, 0}, 0.0f);
            for (const VECTOR& v : moves) camera.MoveBy(v.x, v.y, v.z);
            EXPECT_EQ(camera.position, p.expected);
        }
    }
}

TEST_F(GameFolder, GateIsLockedUntilThePlayerHoldsTheGuardsKey) {
    KeyHolder player;
    GameImports* saved = g_imports;
    g_imports = &player;
    Area area;
    area.Load("village.z1a");
    Entity* e = area.FindEntity("gate");
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->type, ENTITY_DOOR);
    DoorEntity* gate = static_cast<DoorEntity*>(e);
    EXPECT_TRUE(gate->doorLocked);
    ASSERT_NE(gate->key, nullptr);
    EXPECT_STREQ(gate->key, "gatekey");
    gate->Activate();
    EXPECT_TRUE(gate->doorLocked);
    EXPECT_FALSE(gate->moving);
    ASSERT_EQ(player.messages.size(), 1u);
    EXPECT_EQ(player.messages[0], "The door is locked, and you don't have the key!");
    player.items.push_back("gatekey");
    gate->Activate();
    EXPECT_FALSE(gate->doorLocked);
    EXPECT_TRUE(gate->moving);
    EXPECT_EQ(player.messages.back(), "You unlock the door.");
    area.Clear();
    g_imports = saved;
}

TEST_F(GameFolder, GuardsConversationGivesTheKeyAndSetsTheQuestFlag) {
    int status = 0;
    std::string out = RunCommand(
        "'" + kGame + "/z1tool' dlg run '" + kGame + "/dialogs/gatekeeper.dlg' --choose 1,0", &status);
    ASSERT_EQ(status, 0) << out;
    size_t key = out.find("additem 1 gatekey\n");
    size_t flag = out.find("setquest gate_key_given\n");
    EXPECT_NE(key, std::string::npos) << out;
    EXPECT_NE(flag, std::string::npos) << out;
    // Asked again, the guard has nothing more to give.
    out = RunCommand("'" + kGame + "/z1tool' dlg run '" + kGame +
                         "/dialogs/gatekeeper.dlg' --choose 0 --quest gate_key_given --steps 6",
                     &status);
    EXPECT_EQ(out.find("additem"), std::string::npos) << out;
    // Every item a conversation hands out has its inventory icon.
    for (const char* item : {"gatekey", "roomkey", "charm", "barrel", "seal"})
        EXPECT_EQ(LoadTexture(std::string("textures\\icons\\") + item + ".bmp", ""), "") << item;
}

TEST_F(GameFolder, ScriptLoadsTheVillageAndPlacesThePlayerOnTheGround) {
    settings_.Parse("z1.ini");
    int status = 0;
    std::string out = RunCommand(
        "'" + kGame + "/z1tool' script run '" + kGame + "/" + settings_.script.c_str() + "' --frames 3",
        &status);
    ASSERT_EQ(status, 0) << out;
    const std::string load = "game 2 village.z1a 0\n";
    ASSERT_NE(out.find(load), std::string::npos) << out;
    EXPECT_TRUE(Opens("area\\village.z1a"));
    EXPECT_NE(out.find("game 3  1\n"), std::string::npos) << out;  // collision on
    size_t at = out.find("gamevec 0 ");
    ASSERT_NE(at, std::string::npos) << out;
    float x = 0, y = 0, z = 0;
    ASSERT_EQ(std::sscanf(out.c_str() + at, "gamevec 0 %f %f %f", &x, &y, &z), 3) << out;

    // From there the player falls onto the ground and the walk east to the
    // locked gate ends in front of it.
    settings_.collisionOn = 1;
    Area area;
    area.Load("village.z1a");
    World world;
    world.Initialise("daycycle.ini");
    VECTOR body(x, y - 80, z);
    for (int i = 0; i < 20; ++i) body = world.CheckCollision(body, VECTOR(0, 0, 0));
    EXPECT_NEAR(body.y, 90.0f * 1.05f + 15.0f, 0.5f);
    body = VECTOR(1200, body.y, 0);
    for (int i = 0; i < 40; ++i) body = world.CheckCollision(body, VECTOR(30, 0, 0));
    EXPECT_LT(body.x, 1600.0f - 8.0f - 40.0f + 1.0f);
    EXPECT_GT(body.x, 1500.0f);
    area.Clear();
}

// Walks the MPEG audio frames of a file; the play time in seconds, or -1
// when a frame header is broken or the frames do not end with the file.
double Mp3Seconds(const std::string& bytes, int* rate) {
    static const int kBitrates[2][16] = {
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
    static const int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    size_t p = 0;
    if (bytes.compare(0, 3, "ID3") == 0 && bytes.size() > 10)
        p = 10 +
            ((bytes[6] & 0x7F) << 21 | (bytes[7] & 0x7F) << 14 | (bytes[8] & 0x7F) << 7 | (bytes[9] & 0x7F));
    double seconds = 0;
    int frames = 0;
    while (p + 4 <= bytes.size()) {
        const unsigned char* h = reinterpret_cast<const unsigned char*>(bytes.data() + p);
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return -1;
        int version = (h[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
        int layer = (h[1] >> 1) & 3;    // 1: layer III
        int bitrate = h[2] >> 4, rateIndex = (h[2] >> 2) & 3, padding = (h[2] >> 1) & 1;
        if (version == 1 || layer != 1 || bitrate == 0 || bitrate == 15 || rateIndex == 3) return -1;
        int v = version == 3 ? 0 : (version == 2 ? 1 : 2);
        int kbps = kBitrates[v == 0 ? 0 : 1][bitrate];
        *rate = kRates[v][rateIndex];
        int samples = v == 0 ? 1152 : 576;
        size_t length = static_cast<size_t>(samples / 8 * kbps * 1000 / *rate + padding);
        p += length;
        seconds += static_cast<double>(samples) / *rate;
        ++frames;
    }
    return p == bytes.size() && frames > 0 ? seconds : -1;
}

TEST_F(GameFolder, MusicIsWholeMp3Streams) {
    int rate = 0;
    double intro = Mp3Seconds(ReadFile(Native(kGame + "/music\\intro.mp3")), &rate);
    EXPECT_GT(intro, 5.0);
    EXPECT_LT(intro, 15.0);
    EXPECT_EQ(rate, 22050);
    double loop = Mp3Seconds(ReadFile(Native(kGame + "/music\\loop.mp3")), &rate);
    EXPECT_GT(loop, 10.0);
    EXPECT_LT(loop, 30.0);
}

}  // namespace
