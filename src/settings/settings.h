// Settings: the one process-wide record of configuration and run-time
// switches. The shell constructs it (defaults and base path) and parses
// "z1.ini" into it; every subsystem reads its fields directly. The settings
// sit above the utilities: they read the base path and open the log's gate,
// and the utilities never look back at them.
#ifndef ZENDAR_SETTINGS_SETTINGS_H
#define ZENDAR_SETTINGS_SETTINGS_H

#include <cstdint>
#include <string>
#include <vector>

#include "utility/basepath.h"
#include "utility/zstring.h"

class DataFile;

struct Settings {
    Settings();
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // Reads base path + file_name (the shell passes "z1.ini"); a missing file
    // leaves every default in place.
    void Parse(const char* file_name);
    // The key loop on an already opened file (tools use it on any path).
    void Parse(DataFile& file);

    // What the last Parse could not use, one line each naming the file and
    // the problem (the file could not be read, a value is no number); each
    // is in the log too, after "ERROR - ". The shell shows them to the player.
    std::vector<std::string> problems;

    // Sets every field to its default (the constructor calls it).
    void SetDefaults();

private:
    void ApplyNumericKey(const char* key, DataFile& file);
    std::string parsing_;  // the file Parse reads, for its problems

public:
    char* textureFolder = nullptr;   // "textures"
    char* modelExtension = nullptr;  // "z1"
    char* areaExtension = nullptr;   // "area"
    const char* basePath = nullptr;  // GetBasePath(): follows every override; ends with the separator

    uint8_t show_interface = 0;  // "*show_interface"
    uint8_t showDebugText = 0;
    uint8_t clock = 0;  // "*clock"
    uint8_t showHelperObjects = 0;
    uint8_t editor = 0;
    uint8_t write_log = 0;  // "*write_log": the log gate
    uint8_t collisionOn = 0;
    uint8_t confirmQuit = 0;

    int32_t colliderCount = 0;  // run time, last collision query

    int32_t back_plane = 0;          // "*back_plane"
    int32_t dungeon_back_plane = 0;  // "*dungeon_back_plane"
    int32_t tuningA = 0;             // culling
    int32_t tuningB = 0;             // culling, model runtime
    int32_t tuningC = 0;             // model runtime, entity factory
    int32_t tuningD = 0;             // scene tree

    float player_fov = 0;      // "*player_fov", degrees
    float fovRadians = 0;      // player_fov * 0.017453292
    int32_t texture_bit = 0;   // "*texture_bit"
    int32_t light_update = 0;  // "*light_update"

    uint8_t light_glows = 0;      // "*light_glows"
    uint8_t blinding_lights = 0;  // "*blinding_lights"
    uint8_t fog = 0;              // "*fog"
    uint8_t fullShading = 0;
    uint8_t renderer = 0;  // "*renderer": 0 DirectX 7, 1 OpenGL
    uint8_t active = 0;

    float editorStepFactor = 0;  // within [0.05, 1.0]
    int32_t editorStepDirection = 0;

    String script;  // "*script"

    uint8_t inverted_mouse = 0;  // "*inverted_mouse"
    int32_t mouse_speed_x = 0;   // "*mouse_speed_x"
    int32_t mouse_speed_y = 0;   // "*mouse_speed_y"

    float swayAmplitude = 0;  // radians
    float swayFrequency = 0;  // phase advance per second
    float swayReturn = 0;     // return rate factor
    float movementSpeed = 0;  // world units per second

    int32_t secondsPerDay = 0;             // set from the sky file
    int32_t startClock[4] = {0, 0, 0, 0};  // time of day, day, month, year

    uint8_t editorSelectionMode = 0;

    int32_t vmWord = 0;  // run-time word of the script machine
};

// The process-wide record; null until the shell creates it. Its write_log is
// the log's gate (utility/log.h): every Settings installs SettingsLogGate when
// it is made, so the log writes exactly while g_settings->write_log is on.
extern Settings* g_settings;
bool SettingsLogGate();

// A settings value as a C decimal integer: leading blanks, optional sign,
// digits up to the first non-digit; no digits gives 0.
int32_t SettingsInteger(const char* text);

// Why a data file cannot be read, in words that finish "'<path>' ...": "does
// not exist", "is a folder, not a file" or the system's reason; empty when
// it can be read. The path is taken as the file layer takes it (backslashes,
// letter case).
std::string WhyUnreadable(const char* path);

// Degrees to radians as the settings record computes it.
constexpr float kSettingsDegToRad = 0.017453292f;

#endif
