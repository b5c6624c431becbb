// Everything placed in an area is an entity: a named thing with a position, a
// transform, a world bounding box, an optional parent with children, and ten
// virtual operations through which the area, the scene tree, collision and the
// editor treat all kinds alike.
#ifndef ZENDAR_ENTITIES_ENTITY_H
#define ZENDAR_ENTITIES_ENTITY_H

#include <cstdint>

#include "math/zmath.h"

class CPlane;
class DataFile;
class Z1Model;
struct CollisionPacket;
struct RayQuery;
struct SceneNode;
class PropertySheet;

// Entity type codes, one byte in memory and in the area file; what each kind
// is and does is listed in world/entitykinds.
enum : uint8_t {
    ENTITY_NONE = 0,  // no kind: the parent type written for a record without a parent
    ENTITY_OBJECT = 1,
    ENTITY_LIGHT = 2,
    ENTITY_CAMERA = 3,
    ENTITY_NPC = 4,
    ENTITY_PARTICLE = 5,
    ENTITY_DOOR = 6,
};

// Tools read and write area records without the running game: with records
// only on, entities bind no dialogs and create no particle systems.
void SetEntityRecordsOnly(bool on);
bool EntityRecordsOnly();

// Texts in area files are read back at most 254 bytes long: longer ones are
// written cut to that length, so the record after them stays in place.
constexpr int kAreaTextMax = 254;
void WriteAreaText(DataFile* file, const char* text);

// A heap copy of text (new[]), or null for null.
char* CopyText(const char* text);
// Replaces *slot by a copy of text (an empty text stays empty, not null).
void SetText(char** slot, const char* text);

class Entity {
public:
    Entity(uint8_t type, Z1Model* model, float x, float y, float z, const char* name);
    virtual ~Entity();  // 0

    virtual void UpdateBounds() = 0;                     // 1
    virtual void Render(CPlane* frustum) = 0;            // 2
    virtual Entity* Clone() = 0;                         // 3
    virtual void Save(DataFile* file) = 0;               // 4
    virtual void Load(DataFile* file, int version) = 0;  // 5
    // The kinds shown by a marker are picked by its triangles (by the box
    // when the marker is missing), and only where markers are on screen.
    virtual void RayTest(RayQuery* query);          // 6
    virtual void Collide(CollisionPacket* packet);  // 7
    // Shows the class's property dialog; true when it was closed with OK.
    virtual bool EditProperties();  // 8
    virtual void Activate();        // 9

    // The editable fields as a property sheet (empty title: no dialog), and
    // writing a confirmed sheet back.
    virtual void DescribeProperties(PropertySheet& sheet);
    virtual void ApplyProperties(const PropertySheet& sheet);

    // Child list: appended at the end; the caller sets or clears the parent.
    void AddChild(Entity* child);
    void RemoveChild(Entity* child);
    // Moves the entity and carries its children by the same offset. The
    // caller reinserts it in the scene tree.
    void MoveTo(float x, float y, float z);
    // Rotation about the entity's own axis (transform = R(axis) x transform).
    void RotateAxis(const VECTOR& axis, float angle);
    // The same rotation with the axis given in world space.
    void RotateWorldAxis(const VECTOR& axis, float angle);

    void SetName(const char* text);
    const char* Name() const { return name ? name : ""; }
    int ChildCount() const;

    float box[6];
    VECTOR position;
    char* name;
    bool locked;
    bool editorFlag;
    bool indoorLighting;
    MATRIX transform;
    Entity* parent;
    Entity* firstChild;
    Entity* nextSibling;
    SceneNode* sceneNode;
    uint8_t type;
    int saveIndex;
    uint8_t parentType;
    int parentIndex;
    Z1Model* model;

protected:
    // Copy for Clone: the fields every class's copy shares (model, position,
    // locked, editor flag); no name, no links, identity transform.
    Entity(const Entity& other);
    void SaveCommon(DataFile* file);
    void LoadCommon(DataFile* file, int version);
    // Clones every child and attaches the copies to copy.
    void CloneChildrenInto(Entity* copy);
    // The fields shared by every sheet: position, "Locked", "Name :", "Parent :".
    void DescribeCommon(PropertySheet& sheet);
    void ApplyCommon(const PropertySheet& sheet);
    // Render of the kinds shown by a marker model (the entity's model): the
    // world matrix moves to the position, the marker is drawn in editor mode
    // while helper objects are shown, alongside (when given) draws in the
    // same placement, and the matrix is put back. False without a graphics
    // driver, when nothing is drawn.
    bool DrawMarker(CPlane* frustum, void (*alongside)(Entity* self, CPlane* frustum) = nullptr);

private:
    Entity& operator=(const Entity&) = delete;
};

#endif
