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
    int morph_targets = 0;
    int anm_frames = 0;  // frames of the bones' animation file, 0 without bones
    std::vector<std::string> warnings;
};

// out: the model file to write; the game folder is the folder above it when
// that one is called z1, else its own folder. False with a one-line message.
bool ImportModel(const std::string& source, const std::string& out, ImportReport& report, std::string* error);

#endif
