// z1tool commands for the world: collide and slide against a model, and the
// sky's colours and directions at a time of day and weather.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "collision/collision.h"
#include "command.h"
#include "entities/objectentity.h"
#include "json.h"
#include "models/z1model/z1model.h"
#include "settings/settings.h"
#include "utility/datafile.h"
#include "world/area.h"
#include "world/sky.h"

namespace {

bool ParseFloat(const std::string& text, float& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    out = static_cast<float>(v);
    return true;
}

bool ParseInt(const std::string& text, long lo, long hi, int& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

// A settings record for the tool's run when the program has none.
struct ToolSettings {
    ToolSettings() {
        if (!g_settings) {
            own = new Settings();
            g_settings = own;
        }
    }
    ~ToolSettings() {
        if (own) {
            g_settings = nullptr;
            delete own;
        }
    }
    Settings* own = nullptr;
};

int RunCollide(const std::vector<std::string>& args) {
    const char* name = "collide";
    std::vector<std::string> words;
    int frames = 1;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--frames") {
            if (i + 1 >= args.size() || !ParseInt(args[i + 1], 0, 1000000, frames))
                return z1tool::Usage(name);
            ++i;
        } else {
            words.push_back(args[i]);
        }
    }
    if (words.size() != 7) return z1tool::Usage(name);
    float v[6];
    for (int i = 0; i < 6; ++i)
        if (!ParseFloat(words[i + 1], v[i])) return z1tool::Usage(name);

    if (!z1tool::CheckInput(words[0])) return z1tool::kFailed;
    ToolSettings settings;
    Z1Model* model = new Z1Model();
    if (!model->LoadPath(words[0].c_str()) || !model->IsLoaded()) {
        delete model;
        return z1tool::FailFile(words[0], "is not a model file the engine loads");
    }
    int result = z1tool::kOk;
    {
        Area area;
        ObjectEntity* object = new ObjectEntity(model, "collider", 0.0f, 0.0f, 0.0f);
        object->checkCollision = true;
        object->UpdateBounds();
        if (!area.AddToSceneTree(object)) {
            delete object;
            result = z1tool::Fail("cannot place model " + words[0]);
        } else {
            area.Register(object);
            uint8_t wasOn = g_settings->collisionOn;
            g_settings->collisionOn = 1;
            Collider collider(VECTOR(40.0f, 90.0f, 40.0f), VECTOR(0.0f, -30.0f, 0.0f));
            collider.traverse = [&area](CollisionPacket* p) { area.Collide(p); };
            VECTOR position(v[0], v[1], v[2]);
            const VECTOR move(v[3], v[4], v[5]);
            for (int f = 0; f < frames; ++f) {
                position = collider.CheckCollision(position, move);
                std::printf("%s %s %s\n", json::Float(position.x).c_str(), json::Float(position.y).c_str(),
                            json::Float(position.z).c_str());
            }
            g_settings->collisionOn = wasOn;
        }
    }  // the area deletes the object, never the model
    delete model;
    return result;
}

std::string Triple(const float c[3]) {
    return "[" + json::Float(c[0]) + ", " + json::Float(c[1]) + ", " + json::Float(c[2]) + "]";
}

std::string Triple(const VECTOR& v) {
    const float c[3] = {v.x, v.y, v.z};
    return Triple(c);
}

int RunSky(const std::vector<std::string>& args) {
    const char* name = "sky";
    if (args.size() != 3) return z1tool::Usage(name);
    int time, weather;
    if (!ParseInt(args[1], -1000000000L, 1000000000L, time) ||
        !ParseInt(args[2], -1000000000L, 1000000000L, weather))
        return z1tool::Usage(name);
    std::string bytes;
    if (!z1tool::ReadInput(args[0], &bytes) || !z1tool::CheckText(args[0], bytes)) return z1tool::kFailed;
    ToolSettings settings;
    Sky sky;
    DataFile file;
    if (!file.Open(args[0].c_str())) return z1tool::FailFile(args[0], "cannot be opened");
    sky.Parse(file);
    // Without a frame the sky has no colours to give.
    if (sky.frames.empty()) return z1tool::FailFile(args[0], "holds no weather frame");
    SkyColors c = sky.ColorsAt(time, weather);
    std::printf(
        "{\"background\": %s, \"fog\": %s, \"ambient\": %s, \"layer\": %s, \"sun\": %s, \"sunlight\": %s, "
        "\"sun_direction\": %s, \"moon_direction\": %s}\n",
        Triple(c.background).c_str(), Triple(c.fog).c_str(), Triple(c.ambient).c_str(),
        Triple(c.layer).c_str(), Triple(c.sun).c_str(), Triple(c.sunlight).c_str(),
        Triple(Sky::SunDirection(time)).c_str(), Triple(Sky::MoonDirection(time)).c_str());
    return z1tool::kOk;
}

}  // namespace

Z1TOOL_COMMAND(
    "collide", "MODEL.z1 X Y Z DX DY DZ [--frames N]",
    "move a body by (DX, DY, DZ) per frame against the model placed at the origin; prints x y z per frame",
    RunCollide);
Z1TOOL_COMMAND(
    "sky", "DAYCYCLE.ini TIME WEATHER",
    "print the sky colours (0-255) and the sun and moon directions at a time of day and weather as JSON",
    RunSky);
