#include "settings/settings.h"

#include <cstring>

#include "utility/datafile.h"
#include "utility/log.h"

namespace {
char* Copy(const char* s) {
    size_t n = std::strlen(s);
    char* c = new char[n + 1];
    std::memcpy(c, s, n + 1);
    return c;
}
}  // namespace

Settings::Settings() {
    base_path = Copy(GetBasePath());
    LogLine("Base path is %s", base_path);
    SetDefaults();
}

Settings::~Settings() {}

void Settings::SetDefaults() {
    if (!texture_folder) texture_folder = Copy("textures");
    if (!model_extension) model_extension = Copy("z1");
    if (!area_extension) area_extension = Copy("area");
    show_interface = 1;
    show_debug_text = 1;
    clock = 1;
    show_helper_objects = 1;
    editor = 0;
    write_log = 1;
    collision_on = 0;
    confirm_quit = 1;
    back_plane = 5000;
    dungeon_back_plane = 5000;
    tuning_a = 500;
    tuning_b = 100;
    tuning_c = 2500;
    tuning_d = 5000;
    player_fov = 90.0f;
    fov_radians = 1.5707964f;
    texture_bit = 0;
    light_update = 10;
    light_glows = 1;
    blinding_lights = 1;
    fog = 1;
    full_shading = 1;
    renderer = 0;
    active = 1;
    editor_step_factor = 1.0f;
    editor_step_direction = 0;
    script = "";
    inverted_mouse = 0;
    mouse_speed_x = 2;
    mouse_speed_y = 3;
    sway_amplitude = 0.01f;
    sway_frequency = 10.0f;
    sway_return = 5.0f;
    movement_speed = 1050.0f;
    seconds_per_day = 1800;
    start_clock[0] = 7000;
    start_clock[1] = 1;
    start_clock[2] = 1;
    start_clock[3] = 2001;
    editor_selection_mode = 0;
}

void Settings::Parse(const char*) {}
void Settings::Parse(DataFile&) {}
