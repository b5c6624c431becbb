#include "world/areafile.h"

#include <cstring>

#include "entities/entity.h"
#include "utility/datafile.h"
#include "utility/log.h"
#include "world/area.h"
#include "world/entitykinds.h"

AreaReadResult ReadAreaHeader(DataFile& file, AreaHeader& header) {
    char* magic = file.ReadString();
    bool good = magic && std::strcmp(magic, "Z1A") == 0;
    delete[] magic;
    if (!good) {
        LogLine("ERROR - wrong HAL on area file");
        return AREA_READ_BAD_MAGIC;
    }
    header.version = file.ReadShort();
    LogLine("Loading file version %i", header.version);
    if (header.version <= 4) return AREA_READ_TOO_OLD;
    header.modelCount = file.ReadInt();
    header.entityCount = file.ReadInt();
    LogLine("Loading %i models", header.modelCount);
    LogLine("Loading %i ents", header.entityCount);
    return AREA_READ_OK;
}

std::vector<std::string> ReadAreaModelNames(DataFile& file, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count && !file.AtEnd(); ++i) {
        char* text = file.ReadString();
        if (file.AtEnd() && (!text || !text[0])) {
            delete[] text;
            break;
        }
        names.push_back(text ? text : "");
        delete[] text;
    }
    return names;
}

Entity* CreateAreaEntity(int type, const Area* markers) {
    const EntityKind* kind = FindEntityKind(type);
    if (!kind) return nullptr;
    return kind->create(markers && kind->marker ? markers->*kind->marker : nullptr);
}

bool ReadAreaEntity(DataFile& file, int version, const Area* markers, Entity*& entity, int* type) {
    entity = nullptr;
    if (file.AtEnd()) return false;
    const uint8_t code = file.ReadByte();
    if (type) *type = code;
    if (file.AtEnd()) return false;
    entity = CreateAreaEntity(code, markers);
    if (entity) entity->Load(&file, version);
    return true;
}

static bool IsAncestor(Entity* candidate, Entity* of) {
    for (Entity* e = of; e; e = e->parent)
        if (e == candidate) return true;
    return false;
}

void LinkAreaParents(List<Entity*>& entities) {
    for (int i = 0; i < entities.Size(); ++i) {
        Entity* child = entities[i];
        if (!child || child->parentType == ENTITY_NONE) continue;
        int index = child->parentIndex;
        if (index < 0 || index >= entities.Size()) continue;
        Entity* parent = entities[index];
        if (!parent || child->parent || IsAncestor(child, parent)) continue;
        child->parent = parent;
        parent->AddChild(child);
    }
}

void WriteAreaFile(DataFile& file, const std::vector<std::string>& modelNames, List<Entity*>& entities) {
    LogLine("ready for write");
    file.WriteString("Z1A");
    file.WriteShort(kAreaFileVersion);
    for (int i = 0; i < entities.Size(); ++i) entities[i]->saveIndex = i;
    LogLine("Scene contains %i models", static_cast<int>(modelNames.size()));
    LogLine("Scene contains %i entities", entities.Size());
    file.WriteInt(static_cast<int>(modelNames.size()));
    file.WriteInt(entities.Size());
    LogLine("dumping %i models", static_cast<int>(modelNames.size()));
    for (const std::string& name : modelNames) {
        LogLine("dumping modelname %s", name.c_str());
        WriteAreaText(&file, name.c_str());
    }
    LogLine("dumping %i entities", entities.Size());
    for (int i = 0; i < entities.Size(); ++i) {
        file.WriteByte(entities[i]->type);
        entities[i]->Save(&file);
    }
    LogLine("done saving");
}
