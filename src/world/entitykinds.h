// The kinds of entity an area holds, in one table: the type code each is
// stored under, its name, the marker model the editor draws it with, how the
// area loader makes an empty one to read a record into, and how the editor's
// spawn dialog places one. The area file, the editor and `z1tool area` tell
// kinds apart only through this table, so a new kind is one row in
// entitykinds.cpp plus its class.
#ifndef ZENDAR_WORLD_ENTITYKINDS_H
#define ZENDAR_WORLD_ENTITYKINDS_H

#include <cstdint>

#include "math/zmath.h"

class Area;
class Entity;
class Z1Model;

// What the spawn dialog offers as a kind's argument.
enum SpawnArgument : uint8_t {
    SPAWN_NOTHING,  // the list is shown disabled
    SPAWN_MODEL,    // the area's loaded models
    SPAWN_SYSTEM,   // the particle systems
};

struct EntityKind {
    uint8_t code;      // ENTITY_*: the type byte in memory and in the area file
    const char* name;  // shown by the editor and by z1tool
    // The area's marker model the kind points at and is drawn with in the
    // editor; null for the kinds that carry their own model (resolved from
    // the area's model list after loading, scalable, hit through their mesh).
    Z1Model* Area::*marker;
    SpawnArgument spawnArgument;
    // An empty entity (no name, at the origin) for a record to be read into.
    Entity* (*create)(Z1Model* marker);
    // The spawn dialog's creation helper: name placed at `at` from argument
    // (a model or system name, never empty where the kind takes one).
    Entity* (*spawn)(Area& area, const char* argument, const char* name, const VECTOR& at);
};

// Every kind, in the order the spawn dialog lists them.
extern const EntityKind kEntityKinds[];
extern const int kEntityKindCount;
// The kind of a type code; null for a code no kind has.
const EntityKind* FindEntityKind(int code);
// The kind's name; "Unknown Entity" for a code no kind has.
const char* EntityTypeName(int code);
// Whether the kind carries its own model.
bool IsModelEntityType(int code);

#endif
