#include "entities/entity.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "entities/modelaccess.h"
#include "entities/propertysheet.h"
#include "gfxdriver/gfxdriver.h"
#include "settings/settings.h"
#include "utility/datafile.h"
#include "collision/collision.h"
#include "collision/rayquery.h"

static bool s_recordsOnly = false;

void SetEntityRecordsOnly(bool on) { s_recordsOnly = on; }
bool EntityRecordsOnly() { return s_recordsOnly; }

void WriteAreaText(DataFile* file, const char* text) {
    if (!text) text = "";
    size_t n = std::strlen(text);
    if (n <= static_cast<size_t>(kAreaTextMax)) {
        file->WriteString(text);
        return;
    }
    std::string cut(text, kAreaTextMax);
    file->WriteString(cut.c_str());
}

char* CopyText(const char* text) {
    if (!text) return nullptr;
    size_t n = std::strlen(text);
    char* copy = new char[n + 1];
    std::memcpy(copy, text, n + 1);
    return copy;
}

void SetText(char** slot, const char* text) {
    char* copy = CopyText(text);
    delete[] * slot;
    *slot = copy;
}

Entity::Entity(uint8_t type_, Z1Model* model_, float x, float y, float z, const char* name_)
    : box{-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f},
      position(x, y, z),
      name(CopyText(name_)),
      locked(false),
      editorFlag(false),
      indoorLighting(false),
      parent(nullptr),
      firstChild(nullptr),
      nextSibling(nullptr),
      sceneNode(nullptr),
      type(type_),
      saveIndex(-1),
      parentType(ENTITY_NONE),
      parentIndex(-1),
      model(model_) {
    MatrixIdentity(transform);
    transform[12] = x;
    transform[13] = y;
    transform[14] = z;
}

Entity::Entity(const Entity& other)
    : box{other.box[0], other.box[1], other.box[2], other.box[3], other.box[4], other.box[5]},
      position(other.position),
      name(nullptr),
      locked(other.locked),
      editorFlag(other.editorFlag),
      indoorLighting(false),
      parent(nullptr),
      firstChild(nullptr),
      nextSibling(nullptr),
      sceneNode(nullptr),
      type(other.type),
      saveIndex(-1),
      parentType(ENTITY_NONE),
      parentIndex(-1),
      model(other.model) {
    MatrixIdentity(transform);
    transform[12] = position.x;
    transform[13] = position.y;
    transform[14] = position.z;
}

Entity::~Entity() { delete[] name; }

void Entity::SetName(const char* text) { SetText(&name, text); }

int Entity::ChildCount() const {
    int n = 0;
    for (Entity* c = firstChild; c; c = c->nextSibling) ++n;
    return n;
}

void Entity::AddChild(Entity* child) {
    if (!child) return;
    child->nextSibling = nullptr;
    if (!firstChild) {
        firstChild = child;
        return;
    }
    Entity* last = firstChild;
    while (last->nextSibling) last = last->nextSibling;
    last->nextSibling = child;
}

void Entity::RemoveChild(Entity* child) {
    Entity** link = &firstChild;
    while (*link && *link != child) link = &(*link)->nextSibling;
    if (*link) {
        *link = child->nextSibling;
        child->nextSibling = nullptr;
    }
}

void Entity::MoveTo(float x, float y, float z) {
    VECTOR offset(x - position.x, y - position.y, z - position.z);
    position = VECTOR(x, y, z);
    transform[12] = x;
    transform[13] = y;
    transform[14] = z;
    UpdateBounds();
    for (Entity* c = firstChild; c; c = c->nextSibling)
        c->MoveTo(c->position.x + offset.x, c->position.y + offset.y, c->position.z + offset.z);
}

// The upper 3x3 of m with no translation.
static MATRIX RotationPart(const MATRIX& m) {
    MATRIX r = m;
    r[12] = r[13] = r[14] = 0.0f;
    r[3] = r[7] = r[11] = 0.0f;
    r[15] = 1.0f;
    return r;
}

void Entity::RotateAxis(const VECTOR& axis, float angle) {
    MATRIX rotation;
    MatrixRotationAxis(rotation, axis, angle);
    MatrixMultiply(transform, rotation, transform);
    UpdateBounds();
    if (!firstChild) return;
    // The local axis in world space: a rotation about it through the entity's
    // position is what the children follow.
    VECTOR worldAxis;
    TransformPoint(RotationPart(transform), axis, worldAxis);
    MATRIX worldRotation;
    MatrixRotationAxis(worldRotation, worldAxis, angle);
    for (Entity* c = firstChild; c; c = c->nextSibling) {
        VECTOR offset = c->position - position;
        VECTOR turned;
        TransformPoint(worldRotation, offset, turned);
        c->MoveTo(position.x + turned.x, position.y + turned.y, position.z + turned.z);
        c->RotateWorldAxis(worldAxis, angle);
    }
}

void Entity::RotateWorldAxis(const VECTOR& axis, float angle) {
    MATRIX inverse;
    VECTOR local = axis;
    if (MatrixInvertAffine(inverse, RotationPart(transform))) TransformPoint(inverse, axis, local);
    RotateAxis(local, angle);
}

void Entity::RayTest(RayQuery* query) {
    // What is only seen as a marker is picked as one, by the triangles drawn
    // where the marker stands; in the game nothing of it can be seen.
    if (!query->pickMode || !query->markersPickable) return;
    if (ModelLoaded(model)) {
        MATRIX at;
        MatrixTranslation(at, position);
        const int before = query->hitCount;
        ModelRayTest(model, query, at);
        // A marker has no surface point to act on: the entity is the target.
        if (query->hitCount > before) query->hitSubMesh = nullptr;
        return;
    }
    // Without its marker the box stands in, measured where the ray enters it.
    float distance = 0.0f;
    const float reach = VectorLength(query->end - query->start);
    if (!RayEntersBox(box, query->start, query->direction, reach, &distance)) return;
    if (query->hitCount > 0 && distance > query->bestDistance) return;
    query->hitEntity = this;
    query->hitSubMesh = nullptr;
    query->bestDistance = distance;
    query->hitCount += 1;
}

void Entity::Collide(CollisionPacket*) {}

bool Entity::EditProperties() {
    PropertySheet sheet;
    DescribeProperties(sheet);
    if (sheet.title.empty()) return true;  // no dialog for this class
    if (!g_propertyDialogs || !g_propertyDialogs->Show(sheet)) return false;
    ApplyProperties(sheet);
    return true;
}

void Entity::Activate() {}

void Entity::DescribeProperties(PropertySheet&) {}
void Entity::ApplyProperties(const PropertySheet&) {}

void Entity::DescribeCommon(PropertySheet& sheet) {
    sheet.AddNumber("Position X", position.x);
    sheet.AddNumber("Position Y", position.y);
    sheet.AddNumber("Position Z", position.z);
    sheet.AddCheck("Locked", locked);
    sheet.AddText("Name :", Name());
    sheet.AddReadOnly("Parent :", parent ? parent->Name() : "");
}

void Entity::ApplyCommon(const PropertySheet& sheet) {
    locked = sheet.Checked("Locked", locked);
    SetName(sheet.Text("Name :", Name()).c_str());
    MoveTo(sheet.Number("Position X", position.x), sheet.Number("Position Y", position.y),
           sheet.Number("Position Z", position.z));
}

bool Entity::DrawMarker(CPlane* frustum, void (*alongside)(Entity* self, CPlane* frustum)) {
    GfxDriver* driver = g_gfxdriver;
    if (!driver) return false;
    MATRIX saved, world;
    driver->GetWorldMatrix(&saved);
    MatrixTranslation(world, position);
    driver->SetWorldMatrix(&world);
    if (g_settings && g_settings->editor && g_settings->showHelperObjects && model)
        ModelDraw(model, frustum, position, nullptr);
    if (alongside) alongside(this, frustum);
    driver->SetWorldMatrix(&saved);
    return true;
}

void Entity::CloneChildrenInto(Entity* copy) {
    for (Entity* c = firstChild; c; c = c->nextSibling) {
        Entity* childCopy = c->Clone();
        if (!childCopy) continue;  // cameras are not copied
        childCopy->parent = copy;
        copy->AddChild(childCopy);
    }
}

void Entity::SaveCommon(DataFile* file) {
    file->WriteFloat(position.x);
    file->WriteFloat(position.y);
    file->WriteFloat(position.z);
    for (int i = 0; i < 16; ++i) file->WriteFloat(transform[i]);
    WriteAreaText(file, Name());
    file->WriteBool(locked);
    if (parent && parent->saveIndex >= 0) {
        file->WriteByte(parent->type);
        file->WriteInt(parent->saveIndex);
    } else {
        file->WriteByte(ENTITY_NONE);
    }
}

void Entity::LoadCommon(DataFile* file, int) {
    position.x = file->ReadFloat();
    position.y = file->ReadFloat();
    position.z = file->ReadFloat();
    for (int i = 0; i < 16; ++i) transform[i] = file->ReadFloat();
    char* text = file->ReadString();
    delete[] name;
    name = text ? text : CopyText("");
    locked = file->ReadBool();
    parentType = file->ReadByte();
    parentIndex = parentType != ENTITY_NONE ? file->ReadInt() : -1;
}
