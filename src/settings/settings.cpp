#include "settings/settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "utility/datafile.h"
#include "utility/fileio.h"
#include "utility/log.h"

Settings* g_settings = nullptr;

bool SettingsLogGate() { return g_settings && g_settings->write_log; }

namespace {
// Digits after the blanks and the sign, as the integer rule reads them.
bool HasDigits(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '+' || *text == '-') ++text;
    return *text >= '0' && *text <= '9';
}

char* Copy(const char* s) {
    size_t n = std::strlen(s);
    char* c = new char[n + 1];
    std::memcpy(c, s, n + 1);
    return c;
}
}  // namespace

Settings::Settings() {
    SetLogGate(SettingsLogGate);
    basePath = GetBasePath();
    LogLine("Base path is %s", basePath);
    SetDefaults();
}

Settings::~Settings() {
    // The three folder names live as long as the process in the original
    // design; a Settings made by a tool or test releases them.
    delete[] textureFolder;
    delete[] modelExtension;
    delete[] areaExtension;
}

void Settings::SetDefaults() {
    if (!textureFolder) textureFolder = Copy("textures");
    if (!modelExtension) modelExtension = Copy("z1");
    if (!areaExtension) areaExtension = Copy("area");
    show_interface = 1;
    showDebugText = 1;
    clock = 1;
    showHelperObjects = 1;
    editor = 0;
    write_log = 1;
    collisionOn = 0;
    confirmQuit = 1;
    back_plane = 5000;
    dungeon_back_plane = 5000;
    tuningA = 500;
    tuningB = 100;
    tuningC = 2500;
    tuningD = 5000;
    player_fov = 90.0f;
    fovRadians = 1.5707964f;
    texture_bit = 0;
    light_update = 10;
    light_glows = 1;
    blinding_lights = 1;
    fog = 1;
    fullShading = 1;
    renderer = 0;
    active = 1;
    editorStepFactor = 1.0f;
    editorStepDirection = 0;
    script = "";
    inverted_mouse = 0;
    mouse_speed_x = 2;
    mouse_speed_y = 3;
    swayAmplitude = 0.01f;
    swayFrequency = 10.0f;
    swayReturn = 5.0f;
    movementSpeed = 1050.0f;
    secondsPerDay = 1800;
    startClock[0] = 7000;
    startClock[1] = 1;
    startClock[2] = 1;
    startClock[3] = 2001;
    editorSelectionMode = 0;
}

namespace {

// Windows' stat takes no folder with a separator at its end.
bool IsFolder(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void Problem(std::vector<std::string>& problems, const std::string& text) {
    LogLine("ERROR - %s", text.c_str());
    problems.push_back(text);
}

}  // namespace

void Settings::Parse(const char* file_name) {
    problems.clear();
    if (!file_name) return;
    std::string path = std::string(GetBasePath()) + file_name;
    DataFile file;
    // A folder opens as a stream that reads nothing: it is told apart first.
    std::string why = WhyUnreadable(path.c_str());
    if (!why.empty() || !file.Open(path.c_str())) {
        // The game folder itself missing (a mistyped --base) is the problem to name first.
        if (*GetBasePath() && !IsFolder(GetBasePath()))
            Problem(problems, std::string("the game folder '") + GetBasePath() + "' does not exist");
        Problem(problems, "settings file '" + path + "' " + (why.empty() ? "cannot be read" : why) +
                              ": every setting keeps its default");
        return;
    }
    Parse(file);
}

void Settings::Parse(DataFile& file) {
    if (!file.IsOpen()) return;
    parsing_ = file.Path() ? file.Path() : "";
    LogLine("********* PARSING SETTINGS ***********");
    while (char* token = file.ReadToken()) {
        if (token[0] != '*') {
            delete[] token;
            continue;
        }
        if (!std::strcmp(token, "*script")) {
            if (char* line = file.ReadLine()) {
                script = line;
                delete[] line;
            }
        } else if (!std::strcmp(token, "*write_log")) {
            write_log = 1;
        } else {
            ApplyNumericKey(token, file);
        }
        delete[] token;
    }
}

void Settings::ApplyNumericKey(const char* key, DataFile& file) {
    enum Kind {
        kBool,
        kInt,
        kRenderer,
        kFov
    };
    struct Key {
        const char* name;
        Kind kind;
        void* field;
    };
    const Key keys[] = {
        {"*inverted_mouse", kBool, &inverted_mouse},
        {"*mouse_speed_x", kInt, &mouse_speed_x},
        {"*mouse_speed_y", kInt, &mouse_speed_y},
        {"*back_plane", kInt, &back_plane},
        {"*dungeon_back_plane", kInt, &dungeon_back_plane},
        {"*player_fov", kFov, &player_fov},
        {"*texture_bit", kInt, &texture_bit},
        {"*renderer", kRenderer, &renderer},
        {"*light_glows", kBool, &light_glows},
        {"*show_interface", kBool, &show_interface},
        {"*blinding_lights", kBool, &blinding_lights},
        {"*fog", kBool, &fog},
        {"*clock", kBool, &clock},
        {"*light_update", kInt, &light_update},
    };
    for (const Key& k : keys) {
        if (std::strcmp(key, k.name) != 0) continue;
        char* text = file.ReadToken();
        if (!text) return;  // a key at the very end has no value and changes nothing
        int32_t value = SettingsInteger(text);
        if (!HasDigits(text))
            Problem(problems, "settings file '" + parsing_ + "': " + key + " '" + text +
                                  "' is not a whole number: it counts as 0");
        delete[] text;
        switch (k.kind) {
        case kBool: *static_cast<uint8_t*>(k.field) = value != 0; break;
        case kInt: *static_cast<int32_t*>(k.field) = value; break;
        case kRenderer: *static_cast<uint8_t*>(k.field) = value == 1 ? 1 : 0; break;
        case kFov:
            player_fov = static_cast<float>(value);
            fovRadians = player_fov * kSettingsDegToRad;
            break;
        }
        return;
    }
    // An unknown starred token: the next token is read as a key again.
}

std::string WhyUnreadable(const char* path) {
    const std::string resolved = ResolvePath(path);
    struct stat st;
    if (::stat(resolved.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? "does not exist" : std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "is a folder, not a file";
    FILE* f = std::fopen(resolved.c_str(), "rb");
    if (!f) return std::strerror(errno);
    std::fclose(f);
    return "";
}

int32_t SettingsInteger(const char* text) {
    // atoi's rule, without its undefined behaviour on overflow: out-of-range values saturate.
    errno = 0;
    long long v = std::strtoll(text, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}
