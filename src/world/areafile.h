// The area file ("Z1A", read for versions 5 to 8, written as version 8): the
// pieces shared by the area's Load and Save and by the tools, which read and
// write areas without loading the model files.
#ifndef ZENDAR_WORLD_AREAFILE_H
#define ZENDAR_WORLD_AREAFILE_H

#include <string>
#include <vector>

#include "utility/list.h"

class Area;
class DataFile;
class Entity;

constexpr int kAreaFileVersion = 8;
constexpr int kOldestAreaVersion = 5;

enum AreaReadResult {
    AREA_READ_OK = 0,
    AREA_READ_BAD_MAGIC,  // "ERROR - wrong HAL on area file"
    AREA_READ_TOO_OLD,    // version 4 or lower: the refusal box
};

constexpr const char* kAreaTooOldCaption = "Error!";
// The box that names an area file the loader cannot open and why.
constexpr const char* kAreaFileCaption = "Cannot load the area";
constexpr const char* kAreaTooOldText = "Sorry, but this file version is too old and is no longer supported.";

struct AreaHeader {
    int version = 0;
    int modelCount = 0;
    int entityCount = 0;
};

// Reads magic, version and (when the version is accepted) the two counts,
// logging as the loader does. The refusal box is the caller's.
AreaReadResult ReadAreaHeader(DataFile& file, AreaHeader& header);
// The model names; stops early at the end of the file.
std::vector<std::string> ReadAreaModelNames(DataFile& file, int count);
// An empty entity of a type code, pointing at its kind's marker model of
// markers (no marker when markers is null: the tools); null for an unknown
// code.
Entity* CreateAreaEntity(int type, const Area* markers);
// Reads the next entity record: false at the end of the file; entity is null
// for an unknown type code (whose record cannot be skipped). The code read is
// left in *type when it is given.
bool ReadAreaEntity(DataFile& file, int version, const Area* markers, Entity*& entity, int* type = nullptr);
// Links each entity with a parent type to entities[parent index] (null
// entries hold the place of records that were not kept). Indices out of
// range, null parents and links that would make an entity its own ancestor are
// skipped.
void LinkAreaParents(List<Entity*>& entities);
// Writes a version-8 file from "ready for write" on: numbers the entities
// (save index = position) and writes every record. Model entities write the
// model index they hold.
void WriteAreaFile(DataFile& file, const std::vector<std::string>& modelNames, List<Entity*>& entities);

#endif
