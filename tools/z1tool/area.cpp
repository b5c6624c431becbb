// z1tool area dump / area build: area files as JSON and back, through the
// engine's own record readers and writers, without loading any model.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "command.h"
#include "entities/doorentity.h"
#include "entities/lightentity.h"
#include "entities/npcentity.h"
#include "entities/objectentity.h"
#include "entities/particleentity.h"
#include "json.h"
#include "utility/datafile.h"
#include "world/areafile.h"
#include "world/entitykinds.h"

namespace {

using json::Bool;
using json::Float;
using json::Quote;

std::string Vec(const VECTOR& v) { return "[" + Float(v.x) + ", " + Float(v.y) + ", " + Float(v.z) + "]"; }

std::string Text(const char* t) { return Quote(t ? t : ""); }

std::string DumpEntity(const Entity* e, int type) {
    std::ostringstream o;
    o << "    {\"type\": " << type << ", \"type_name\": " << Quote(EntityTypeName(type));
    if (!e) {
        o << "}";
        return o.str();
    }
    o << ",\n     \"name\": " << Text(e->name) << ", \"locked\": " << Bool(e->locked)
      << ", \"parent\": " << (e->parentType != ENTITY_NONE ? e->parentIndex : -1)
      << ",\n     \"position\": " << Vec(e->position) << ",\n     \"transform\": [";
    for (int i = 0; i < 16; ++i) o << (i ? ", " : "") << Float(e->transform[i]);
    o << "]";
    // Each class adds its own fields.
    if (const ObjectEntity* ob = dynamic_cast<const ObjectEntity*>(e)) {
        o << ",\n     \"model_index\": " << ob->modelIndex
          << ", \"check_collision\": " << Bool(ob->checkCollision) << ", \"scale\": " << Vec(ob->scale)
          << ",\n     \"indoor_lighting\": " << Bool(ob->indoorLighting)
          << ", \"on_click_script\": " << Text(ob->onClickScript)
          << ", \"on_collide_script\": " << Text(ob->onCollideScript)
          << ", \"collide_with_box\": " << Bool(ob->collideWithBox);
    }
    if (const NPCEntity* npc = dynamic_cast<const NPCEntity*>(e)) {
        o << ",\n     \"dialog_file\": " << Text(npc->dialogFile);
    } else if (const DoorEntity* d = dynamic_cast<const DoorEntity*>(e)) {
        o << ",\n     \"door_type\": " << static_cast<int>(d->doorType)
          << ", \"axis\": " << static_cast<int>(d->axis) << ", \"displacement\": " << Float(d->displacement)
          << ", \"speed\": " << Float(d->speed) << ", \"reverse_direction\": " << Bool(d->reverseDirection)
          << ",\n     \"open\": " << Bool(d->open) << ", \"key\": " << Text(d->key)
          << ", \"door_locked\": " << Bool(d->doorLocked);
    } else if (const LightEntity* l = dynamic_cast<const LightEntity*>(e)) {
        o << ",\n     \"light_type\": " << l->desc.type << ", \"light_position\": " << Vec(l->desc.position)
          << ", \"direction\": " << Vec(l->desc.direction) << ",\n     \"colour\": [" << Float(l->desc.r)
          << ", " << Float(l->desc.g) << ", " << Float(l->desc.b) << "], \"range\": " << Float(l->desc.range)
          << ", \"glows\": " << Bool(l->glows) << ", \"glow_size\": " << l->glowSize
          << ",\n     \"glow_texture\": " << Text(l->glowTexture)
          << ", \"glow_alpha_map\": " << Text(l->glowAlphaMap)
          << ", \"active\": " << static_cast<int>(l->active);
    } else if (const ParticleEntity* p = dynamic_cast<const ParticleEntity*>(e)) {
        o << ",\n     \"system\": " << Text(p->systemName);
    }
    o << "}";
    return o.str();
}

int RunDump(const std::vector<std::string>& args) {
    if (args.size() != 1) return z1tool::Usage("area dump");
    if (!z1tool::CheckInput(args[0])) return z1tool::kFailed;
    SetEntityRecordsOnly(true);
    DataFile file;
    if (!file.Open(args[0].c_str())) return z1tool::FailFile(args[0], "Invalid area file - cannot load");
    AreaHeader header;
    AreaReadResult result = ReadAreaHeader(file, header);
    if (result == AREA_READ_BAD_MAGIC) return z1tool::FailFile(args[0], "ERROR - wrong HAL on area file");
    if (result == AREA_READ_TOO_OLD) return z1tool::FailFile(args[0], kAreaTooOldText);
    std::vector<std::string> models = ReadAreaModelNames(file, header.modelCount);
    std::vector<std::pair<int, Entity*>> entities;
    for (int i = 0; i < header.entityCount; ++i) {
        int type = 0;
        Entity* e = nullptr;
        if (!ReadAreaEntity(file, header.version, nullptr, e, &type)) break;
        entities.emplace_back(type, e);
    }
    file.Close();
    std::ostringstream o;
    o << "{\n  \"version\": " << header.version << ",\n  \"models\": [";
    for (size_t i = 0; i < models.size(); ++i) o << (i ? ", " : "") << Quote(models[i]);
    o << "],\n  \"entities\": [";
    for (size_t i = 0; i < entities.size(); ++i)
        o << (i ? ",\n" : "\n") << DumpEntity(entities[i].second, entities[i].first);
    o << (entities.empty() ? "]\n}\n" : "\n  ]\n}\n");
    std::fputs(o.str().c_str(), stdout);
    for (auto& p : entities) delete p.second;
    return z1tool::kOk;
}

// Reading one entity back from its JSON object.
struct Builder {
    std::string error;

    bool Fail(const std::string& where, const std::string& what) {
        if (error.empty()) error = where + ": " + what;
        return false;
    }

    const json::Value* Get(const json::Value& o, const char* key) { return o.Find(key); }

    bool Float3(const json::Value& o, const char* key, const std::string& where, VECTOR& v) {
        const json::Value* a = Get(o, key);
        if (!a) return true;
        std::string e;
        if (a->kind != json::Value::ARRAY || a->items.size() != 3)
            return Fail(where + "." + key, "expected 3 numbers");
        if (!json::FloatOf(a->items[0], v.x, &e) || !json::FloatOf(a->items[1], v.y, &e) ||
            !json::FloatOf(a->items[2], v.z, &e))
            return Fail(where + "." + key, e);
        return true;
    }

    bool Flt(const json::Value& o, const char* key, const std::string& where, float& out) {
        const json::Value* v = Get(o, key);
        std::string e;
        if (v && !json::FloatOf(*v, out, &e)) return Fail(where + "." + key, e);
        return true;
    }

    bool Int(const json::Value& o, const char* key, const std::string& where, int64_t lo, int64_t hi,
             int64_t& out) {
        const json::Value* v = Get(o, key);
        std::string e;
        if (v && !json::IntOf(*v, lo, hi, out, &e)) return Fail(where + "." + key, e);
        return true;
    }

    bool Flag(const json::Value& o, const char* key, const std::string& where, bool& out) {
        const json::Value* v = Get(o, key);
        std::string e;
        if (v && !json::BoolOf(*v, out, &e)) return Fail(where + "." + key, e);
        return true;
    }

    // Texts are written NUL-terminated and read back at most 254 bytes long.
    bool Txt(const json::Value& o, const char* key, const std::string& where, char** slot) {
        const json::Value* v = Get(o, key);
        if (!v) return true;
        std::string t, e;
        if (!json::TextOf(*v, t, &e)) return Fail(where + "." + key, e);
        if (t.find('\0') != std::string::npos || t.size() > 254)
            return Fail(where + "." + key, "text must be under 255 bytes without NUL");
        SetText(slot, t.c_str());
        return true;
    }

    Entity* Make(const json::Value& o, int index) {
        std::string where = "entities[" + std::to_string(index) + "]";
        if (o.kind != json::Value::OBJECT) {
            Fail(where, "expected an object");
            return nullptr;
        }
        int64_t type = 0;
        const json::Value* t = Get(o, "type");
        std::string e;
        if (t && json::IntOf(*t, 0, UINT8_MAX, type, &e) && !FindEntityKind(static_cast<int>(type)))
            e = "number " + t->text + " out of range";  // as for any number out of range
        if (!t || !e.empty()) {
            Fail(where + ".type", t ? e : "missing");
            return nullptr;
        }
        Entity* ent = CreateAreaEntity(static_cast<int>(type), nullptr);
        if (!Fill(o, where, ent)) {
            delete ent;
            return nullptr;
        }
        return ent;
    }

    bool Fill(const json::Value& o, const std::string& where, Entity* ent) {
        if (!Txt(o, "name", where, &ent->name)) return false;
        if (!ent->name) ent->name = CopyText("");
        if (!Flag(o, "locked", where, ent->locked)) return false;
        int64_t parent = -1;
        if (!Int(o, "parent", where, -1, INT32_MAX, parent)) return false;
        ent->parentIndex = static_cast<int>(parent);  // its type is set once every entity is read
        if (!Float3(o, "position", where, ent->position)) return false;
        if (const json::Value* m = Get(o, "transform")) {
            if (m->kind != json::Value::ARRAY || m->items.size() != 16)
                return Fail(where + ".transform", "expected 16 numbers");
            for (int i = 0; i < 16; ++i)
                if (!json::FloatOf(m->items[i], ent->transform[i], &error))
                    return Fail(where + ".transform", error);
        } else {
            // Without a transform the entity stands unrotated at its position.
            ent->transform[12] = ent->position.x;
            ent->transform[13] = ent->position.y;
            ent->transform[14] = ent->position.z;
        }
        if (ObjectEntity* ob = dynamic_cast<ObjectEntity*>(ent)) {
            int64_t mi = -1;
            if (!Int(o, "model_index", where, INT32_MIN, INT32_MAX, mi)) return false;
            ob->modelIndex = static_cast<int>(mi);
            if (!Flag(o, "check_collision", where, ob->checkCollision)) return false;
            if (!Float3(o, "scale", where, ob->scale)) return false;
            if (!Flag(o, "indoor_lighting", where, ob->indoorLighting)) return false;
            if (!Txt(o, "on_click_script", where, &ob->onClickScript)) return false;
            if (!Txt(o, "on_collide_script", where, &ob->onCollideScript)) return false;
            if (!Flag(o, "collide_with_box", where, ob->collideWithBox)) return false;
        }
        if (NPCEntity* npc = dynamic_cast<NPCEntity*>(ent)) {
            if (!Txt(o, "dialog_file", where, &npc->dialogFile)) return false;
        } else if (DoorEntity* d = dynamic_cast<DoorEntity*>(ent)) {
            int64_t n = d->doorType;
            if (!Int(o, "door_type", where, 0, 255, n)) return false;
            d->doorType = static_cast<uint8_t>(n);
            n = d->axis;
            if (!Int(o, "axis", where, 0, 255, n)) return false;
            d->axis = static_cast<uint8_t>(n);
            if (!Flt(o, "displacement", where, d->displacement) || !Flt(o, "speed", where, d->speed) ||
                !Flag(o, "reverse_direction", where, d->reverseDirection) ||
                !Flag(o, "open", where, d->open) || !Txt(o, "key", where, &d->key) ||
                !Flag(o, "door_locked", where, d->doorLocked))
                return false;
        } else if (LightEntity* l = dynamic_cast<LightEntity*>(ent)) {
            int64_t n = l->desc.type;
            if (!Int(o, "light_type", where, 0, 255, n)) return false;
            l->desc.type = static_cast<int32_t>(n);
            l->desc.position = l->position;  // unless given: the light stands where the entity does
            if (!Float3(o, "light_position", where, l->desc.position) ||
                !Float3(o, "direction", where, l->desc.direction))
                return false;
            VECTOR c(l->desc.r, l->desc.g, l->desc.b);
            if (!Float3(o, "colour", where, c)) return false;
            l->desc.r = c.x;
            l->desc.g = c.y;
            l->desc.b = c.z;
            if (!Flt(o, "range", where, l->desc.range) || !Flag(o, "glows", where, l->glows)) return false;
            n = l->glowSize;
            if (!Int(o, "glow_size", where, INT32_MIN, INT32_MAX, n)) return false;
            l->glowSize = static_cast<int>(n);
            if (!Txt(o, "glow_texture", where, &l->glowTexture) ||
                !Txt(o, "glow_alpha_map", where, &l->glowAlphaMap))
                return false;
            n = l->active;
            if (!Int(o, "active", where, 0, 255, n)) return false;
            l->active = static_cast<uint8_t>(n);
        } else if (ParticleEntity* p = dynamic_cast<ParticleEntity*>(ent)) {
            if (!Txt(o, "system", where, &p->systemName)) return false;
        }
        return true;
    }
};

int RunBuild(const std::vector<std::string>& args) {
    if (args.size() != 2) return z1tool::Usage("area build");
    std::string text;
    if (!z1tool::ReadInput(args[0], &text) || !z1tool::CheckText(args[0], text)) return z1tool::kFailed;
    SetEntityRecordsOnly(true);
    json::Value doc;
    std::string error;
    if (!json::Parse(text, doc, &error)) return z1tool::Fail(args[0] + ": " + error);
    if (doc.kind != json::Value::OBJECT) return z1tool::Fail(args[0] + ": expected an object");

    std::vector<std::string> models;
    if (const json::Value* m = doc.Find("models")) {
        if (m->kind != json::Value::ARRAY) return z1tool::Fail(args[0] + ": models: expected a list");
        for (const json::Value& v : m->items) {
            std::string name;
            if (!json::TextOf(v, name, &error) || name.size() > 254 || name.find('\0') != std::string::npos)
                return z1tool::Fail(args[0] + ": models: each name is a text under 255 bytes");
            models.push_back(name);
        }
    }
    Builder builder;
    List<Entity*> entities;
    bool ok = true;
    if (const json::Value* list = doc.Find("entities")) {
        if (list->kind != json::Value::ARRAY) return z1tool::Fail(args[0] + ": entities: expected a list");
        for (size_t i = 0; i < list->items.size() && ok; ++i) {
            Entity* e = builder.Make(list->items[i], static_cast<int>(i));
            if (!e) {
                ok = false;
                break;
            }
            entities.Add(e);
        }
    }
    if (ok) {
        for (int i = 0; i < entities.Size() && ok; ++i) {
            int p = entities[i]->parentIndex;
            if (p < 0) continue;
            if (p >= entities.Size() || p == i) {
                builder.Fail("entities[" + std::to_string(i) + "].parent", "no entity " + std::to_string(p));
                ok = false;
            } else {
                entities[i]->parentType = entities[p]->type;
            }
        }
    }
    if (ok) {
        LinkAreaParents(entities);
        for (int i = 0; i < entities.Size() && ok; ++i)
            if (entities[i]->parentIndex >= 0 && !entities[i]->parent) {
                builder.Fail("entities[" + std::to_string(i) + "].parent", "parent links form a cycle");
                ok = false;
            }
    }
    int rc = z1tool::kOk;
    if (!ok) {
        rc = z1tool::Fail(args[0] + ": " + builder.error);
    } else {
        DataFile out;
        if (!out.Open(args[1].c_str(), true)) {
            rc = z1tool::Fail("cannot create " + args[1]);
        } else {
            WriteAreaFile(out, models, entities);
            out.Close();
        }
    }
    for (Entity* e : entities) delete e;
    return rc;
}

}  // namespace

Z1TOOL_COMMAND("area dump", "FILE.z1a", "print an area file (versions 5 to 8) as JSON", RunDump);
Z1TOOL_COMMAND("area build", "FILE.json OUT.z1a",
               "write an area JSON (as area dump prints it) as a version-8 area file", RunBuild);
