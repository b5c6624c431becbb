#include "editor/areaeditor.h"

#include <filesystem>

#include "entities/entity.h"
#include "entities/objectentity.h"
#include "gfxdriver/gfxdriver.h"
#include "utility/log.h"
#include "world/area.h"
#include "world/entitykinds.h"
#include "collision/rayquery.h"

Entity* AreaEditor::Selected() const { return area ? area->selected : nullptr; }

bool AreaEditor::Editable() const {
    Entity* e = Selected();
    return e && !e->locked;
}

void AreaEditor::Select(const VECTOR& camera, int distance) {
    if (!area) return;
    RayQuery* query = area->SelectEntity(camera, distance);
    if (!query) return;  // the view could not be inverted: the selection stays
    area->selected = query->hitCount > 0 ? query->hitEntity : nullptr;
    delete query;
}

Entity* AreaEditor::Pick(const VECTOR& camera, int distance, VECTOR* point) {
    if (!area) return nullptr;
    RayQuery* query = area->SelectEntity(camera, distance);
    if (!query) return nullptr;
    Entity* hit = query->hitCount > 0 ? query->hitEntity : nullptr;
    if (hit && point) {
        if (query->hitSubMesh || (IsModelEntityType(hit->type) && hit->model)) {
            // Mesh hits are found in the model's own space.
            TransformPoint(static_cast<ObjectEntity*>(hit)->WorldMatrix(), query->hitPoint, *point);
        } else {
            // A box pick has no surface point: the entity itself is the target.
            *point = hit->position;
        }
    }
    delete query;
    return hit;
}

void AreaEditor::MoveToPick(const VECTOR& camera, int distance) {
    if (!Editable()) return;
    VECTOR point;
    Entity* hit = Pick(camera, distance, &point);
    if (!hit) return;
    Entity* e = Selected();
    e->MoveTo(point.x, point.y, point.z);
    area->Reinsert(e);
}

void AreaEditor::MoveBy(float dx, float dy, float dz) {
    if (!Editable()) return;
    Entity* e = Selected();
    e->MoveTo(e->position.x + dx, e->position.y + dy, e->position.z + dz);
    area->Reinsert(e);
}

void AreaEditor::RotateLocal(const VECTOR& axis, float angle) {
    if (!Editable()) return;
    Selected()->RotateAxis(axis, angle);
    area->Reinsert(Selected());
}

void AreaEditor::RotateWorld(const VECTOR& axis, float angle) {
    if (!Editable()) return;
    Selected()->RotateWorldAxis(axis, angle);
    area->Reinsert(Selected());
}

void AreaEditor::Scale(float dx, float dy, float dz) {
    if (!Editable()) return;
    Entity* e = Selected();
    if (!IsModelEntityType(e->type)) return;
    ObjectEntity* object = static_cast<ObjectEntity*>(e);
    VECTOR s = object->scale;
    s.x += dx;
    s.y += dy;
    s.z += dz;
    if (s.x < 0.0f) s.x = 0.0f;
    if (s.y < 0.0f) s.y = 0.0f;
    if (s.z < 0.0f) s.z = 0.0f;
    object->SetScale(s);  // rebuilds the scale matrix and the bounds
    area->Reinsert(e);
}

void AreaEditor::Link(Entity* parent) {
    if (!Editable()) return;
    Entity* e = Selected();
    if (e->parent) {
        e->parent->RemoveChild(e);
        e->parent = nullptr;
    }
    if (!parent) return;
    // A child of its own descendant would make a loop that every walk over
    // the family (moves, saves) follows for ever: such a link only detaches.
    for (Entity* p = parent; p; p = p->parent)
        if (p == e) return;
    e->parent = parent;
    parent->AddChild(e);
}

void AreaEditor::LinkAndMove(Entity* parent) {
    if (!Editable()) return;
    Link(parent);
    Entity* e = Selected();
    if (!e->parent) return;
    e->MoveTo(e->parent->position.x, e->parent->position.y, e->parent->position.z);
    area->Reinsert(e);
}

void AreaEditor::InsertCopy(Entity* copy) {
    if (area->AddToSceneTree(copy))
        area->Register(copy);
    else
        LogLine("Error - could not insert copy");
    for (Entity* c = copy->firstChild; c; c = c->nextSibling) InsertCopy(c);
}

Entity* AreaEditor::Copy() {
    Entity* e = Selected();
    if (!e) return nullptr;
    Entity* copy = e->Clone();
    if (!copy) return nullptr;  // cameras
    copy->MoveTo(area->lookPoint.x, area->lookPoint.y, area->lookPoint.z);
    InsertCopy(copy);
    return copy;
}

Entity* AreaEditor::CopyAtPick(const VECTOR& camera, int distance) {
    if (!Selected()) return nullptr;
    VECTOR point;
    if (Pick(camera, distance, &point)) area->lookPoint = point;
    return Copy();
}

bool AreaEditor::EditSelected() {
    Entity* e = Selected();
    if (!e) return false;
    if (!area->entityTable.Remove(e->name, e)) {
        LogLine("ERROR - could not retrieve selected entity from hashtable");
        return false;
    }
    if (g_gfxdriver) g_gfxdriver->Pause(true);
    bool ok = e->EditProperties();
    if (g_gfxdriver) g_gfxdriver->Pause(false);
    area->entityTable.Insert(e->name, e);
    area->Reinsert(e);
    return ok;
}

void AreaEditor::ToggleFlag() {
    Entity* e = Selected();
    if (e) e->editorFlag = !e->editorFlag;
}

std::string NameInGameFolder(const char* chosen, const char* basePath, const char* folder) {
    namespace fs = std::filesystem;
    std::string path = chosen ? chosen : "";
    for (char& c : path)
        if (c == '\\') c = '/';
    std::string sub = std::string(folder ? folder : "") + "/";
    if (path.compare(0, sub.size(), sub) == 0) return path.substr(sub.size());
    fs::path p(path);
    if (!p.is_absolute()) return path;
    std::string base = basePath ? basePath : "";
    for (char& c : base)
        if (c == '\\') c = '/';
    fs::path dir = (fs::path(base) / (folder ? folder : "")).lexically_normal();
    fs::path rel = p.lexically_normal().lexically_relative(dir);
    if (rel.empty()) return path;  // another drive: nothing relative reaches it
    return rel.generic_string();
}
