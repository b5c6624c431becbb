// The editing operations the editor applies to the area: picking through the
// screen centre, moving, turning, scaling, linking, copying, deleting and
// editing the selected entity. Everything goes through the area's tables and
// its scene tree so that what is drawn, picked and saved stays one thing.
//
// Every operation does nothing without a selected entity; all but selection,
// copy and the property dialog also do nothing while the selected entity is
// locked.
#ifndef ZENDAR_EDITOR_AREAEDITOR_H
#define ZENDAR_EDITOR_AREAEDITOR_H

#include <string>

#include "math/zmath.h"

class Area;
class Entity;

class AreaEditor {
public:
    explicit AreaEditor(Area* area) : area(area) {}

    Entity* Selected() const;

    // Selected = the entity under the screen centre within distance (none
    // when nothing is hit). The camera position is the ray's start; the
    // graphics driver's view matrix aims it.
    void Select(const VECTOR& camera, int distance);
    // The picked entity and the picked point in world space; null when
    // nothing was hit.
    Entity* Pick(const VECTOR& camera, int distance, VECTOR* point);
    // Moves the selection to the picked point.
    void MoveToPick(const VECTOR& camera, int distance);
    void MoveBy(float dx, float dy, float dz);
    // Axis in the entity's own space / in world space; angle in radians.
    void RotateLocal(const VECTOR& axis, float angle);
    void RotateWorld(const VECTOR& axis, float angle);
    // Objects, characters and doors only: each scale component grows by its
    // delta and never drops below 0.
    void Scale(float dx, float dy, float dz);
    // The selection leaves its parent and, unless parent is the selection
    // itself or one of its descendants, becomes parent's child.
    void Link(Entity* parent);
    // Link, then move the selection onto its new parent.
    void LinkAndMove(Entity* parent);
    // A clone of the selection (with its children) at the area's look point;
    // the first copy, or null (cameras are not copied).
    Entity* Copy();
    // The look point becomes the picked point first.
    Entity* CopyAtPick(const VECTOR& camera, int distance);
    // The selection's property dialog; on OK it is registered under its
    // possibly new name and put back in the tree. False when it was
    // cancelled or could not be edited.
    bool EditSelected();
    // The selected entity's editor flag.
    void ToggleFlag();

    Area* area;

private:
    bool Editable() const;
    void InsertCopy(Entity* copy);
};

// The name to hand to a loader that prefixes folder + "\" itself (the area's
// Load and Save with "area", models with "z1"), for a path a file dialog
// returned: a path below the game's folder (base path + folder) or starting
// with folder loses that part; another absolute path becomes relative to that
// folder; a bare name stays as it is.
std::string NameInGameFolder(const char* chosen, const char* basePath, const char* folder);

#endif
