// Converts a model in any format assimp reads into the engine's model file,
// with its textures as bitmaps under the game folder's textures\.
#ifndef ZENDAR_TOOLS_Z1TOOL_MODEL_IMPORT_H
#define ZENDAR_TOOLS_Z1TOOL_MODEL_IMPORT_H

#include <string>
#include <vector>

struct ImportReport {
    int objects = 0;
    int meshes = 0;
    int materials = 0;
    int textures = 0;
    int bones = 0;
    int morphTargets = 0;
    int anmFrames = 0;                   // frames of the bones' animation file, 0 without bones
    float scale = 1.0f;                  // the scale applied to the source
    float size[3] = {0.0f, 0.0f, 0.0f};  // the written model's extents in x, y and z, in units
    std::vector<std::string> warnings;
};

// A model made in another program comes in its own unit (often metres, so a
// person 1.8 high); the engine's unit puts the player's eye 80 above the
// ground, a person about 180 tall.
struct ImportOptions {
    float scale = 1.0f;   // every length times this
    float height = 0.0f;  // > 0: scaled so that the model's largest extent is this many units (scale ignored)
};

// out: the model file to write; the game folder is the folder above it when
// that one is called z1, else its own folder. False with a one-line message.
bool ImportModel(const std::string& source, const std::string& out, ImportReport& report, std::string* error,
                 const ImportOptions& options = ImportOptions());

#endif
