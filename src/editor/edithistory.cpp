#include "editor/edithistory.h"

#include <algorithm>
#include <cstring>

#include "entities/entity.h"
#include "entities/lightentity.h"
#include "entities/modelaccess.h"
#include "entities/particleentity.h"
#include "gfxdriver/gfxdriver.h"
#include "utility/log.h"
#include "world/area.h"

namespace {

void CaptureInto(Entity* e, std::vector<EntityState>& out) {
    EntityState s;
    s.entity = e;
    s.parent = e->parent;
    s.position = e->position;
    s.transform = e->transform;
    e->DescribeProperties(s.sheet);
    out.push_back(std::move(s));
    for (Entity* c = e->firstChild; c; c = c->nextSibling) CaptureInto(c, out);
}

bool SameBits(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

void Detach(Entity* e) {
    if (!e->parent) return;
    e->parent->RemoveChild(e);
    e->parent = nullptr;
}

void Attach(Entity* e, Entity* parent) {
    if (!parent) return;
    e->parent = parent;
    parent->AddChild(e);
}

template <class T>
void InsertAt(List<T>& list, int index, T value) {
    if (index < 0 || index > list.Size()) index = list.Size();
    list.Add(value);
    for (int i = list.Size() - 1; i > index; --i) list[i] = list[i - 1];
    list[index] = value;
}

// A light out of the area must not go on lighting it; back in, the driver
// gets its description again and the day rule switches it as before.
void DarkenLight(Entity* e) {
    if (e->type != ENTITY_LIGHT) return;
    LightEntity* light = static_cast<LightEntity*>(e);
    if (g_gfxdriver && light->lightIndex >= 0) g_gfxdriver->EnableLight(light->lightIndex, false);
    light->enabledInDriver = false;
    light->on = false;
}

}  // namespace

std::vector<EntityState> CaptureStates(Entity* root) {
    std::vector<EntityState> out;
    if (root) CaptureInto(root, out);
    return out;
}

bool SameStates(const std::vector<EntityState>& a, const std::vector<EntityState>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const EntityState& x = a[i];
        const EntityState& y = b[i];
        if (x.entity != y.entity || x.parent != y.parent) return false;
        if (!SameBits(&x.position, &y.position, sizeof x.position)) return false;
        if (!SameBits(&x.transform, &y.transform, sizeof x.transform)) return false;
        if (!x.sheet.SameValues(y.sheet)) return false;
    }
    return true;
}

void RestoreStates(Area* area, const std::vector<EntityState>& states) {
    for (const EntityState& s : states) {
        Entity* e = s.entity;
        if (e->parent != s.parent) {
            Detach(e);
            Attach(e, s.parent);
        }
        area->entityTable.Remove(e->name, e);
        if (!s.sheet.title.empty()) e->ApplyProperties(s.sheet);
        // The sheet's move carried the children along; each of them is put
        // back in its turn, after its parent.
        e->MoveTo(s.position.x, s.position.y, s.position.z);
        e->transform = s.transform;
        e->UpdateBounds();
        area->entityTable.Insert(e->name, e);
    }
    if (!states.empty()) area->Reinsert(states.front().entity);
}

EditHistory::~EditHistory() { Clear(); }

void EditHistory::Free(Step& step) {
    if (step.present) return;  // the area holds what the step names
    for (Placed& p : step.placed) delete p.entity;
    step.placed.clear();
    if (step.model) DeleteModel(step.model);
    step.model = nullptr;
}

void EditHistory::Clear() {
    for (Step& s : steps_) Free(s);
    steps_.clear();
    done_ = 0;
    saved_ = 0;
}

void EditHistory::MarkSaved() { saved_ = done_; }

bool EditHistory::Changed() const { return done_ != saved_; }

void EditHistory::Push(Step step) {
    while (static_cast<int>(steps_.size()) > done_) {
        Free(steps_.back());
        steps_.pop_back();
    }
    if (saved_ > done_) saved_ = -1;  // the saved state was undone and is now out of reach
    steps_.push_back(std::move(step));
    ++done_;
    if (static_cast<int>(steps_.size()) > kMaxSteps) {
        Free(steps_.front());
        steps_.erase(steps_.begin());
        --done_;
        saved_ = saved_ > 0 ? saved_ - 1 : -1;
    }
}

void EditHistory::RecordChange(const char* what, std::vector<EntityState> before,
                               std::vector<EntityState> after) {
    if (before.empty() || SameStates(before, after)) return;
    Step step;
    step.kind = Step::CHANGE;
    step.name = what;
    step.before = std::move(before);
    step.after = std::move(after);
    Push(std::move(step));
}

void EditHistory::RecordAdded(Area* area, const char* what, int countBefore) {
    if (!area || area->entities.Size() <= countBefore) return;
    Step step;
    step.kind = Step::ADDED;
    step.name = what;
    for (int i = countBefore; i < area->entities.Size(); ++i) {
        Placed p;
        p.entity = area->entities[i];
        step.placed.push_back(p);
    }
    Push(std::move(step));
}

void EditHistory::Delete(Area* area, Entity* entity) {
    if (!area || !entity) return;
    Step step;
    step.kind = Step::DELETED;
    step.name = "delete";
    Placed p;
    p.entity = entity;
    step.placed.push_back(p);
    TakeOut(area, step.placed);
    step.present = false;
    Push(std::move(step));
}

void EditHistory::RecordModel(Area* area, const char* what) {
    if (!area || area->models.Size() == 0) return;
    Step step;
    step.kind = Step::MODEL;
    step.name = what;
    step.modelIndex = area->models.Size() - 1;
    step.model = area->models[step.modelIndex];
    Push(std::move(step));
}

const char* EditHistory::UndoName() const { return done_ > 0 ? steps_[done_ - 1].name.c_str() : nullptr; }

const char* EditHistory::RedoName() const {
    return done_ < static_cast<int>(steps_.size()) ? steps_[done_].name.c_str() : nullptr;
}

bool EditHistory::Undo(Area* area) {
    if (!area || done_ == 0) return false;
    Apply(area, steps_[done_ - 1], false);
    --done_;
    return true;
}

bool EditHistory::Redo(Area* area) {
    if (!area || done_ >= static_cast<int>(steps_.size())) return false;
    Apply(area, steps_[done_], true);
    ++done_;
    return true;
}

void EditHistory::Apply(Area* area, Step& step, bool forward) {
    switch (step.kind) {
    case Step::CHANGE: {
        const std::vector<EntityState>& states = forward ? step.after : step.before;
        RestoreStates(area, states);
        area->selected = states.front().entity;
        break;
    }
    case Step::ADDED:
    case Step::DELETED: {
        const bool put = (step.kind == Step::ADDED) == forward;
        if (put) {
            PutBack(area, step.placed);
            area->selected = step.placed.front().entity;
        } else {
            TakeOut(area, step.placed);
        }
        step.present = put;
        break;
    }
    case Step::MODEL:
        if (forward) {
            InsertAt(area->models, step.modelIndex, step.model);
            area->modelTable.Insert(ModelName(step.model), step.model);
        } else {
            area->modelTable.Remove(ModelName(step.model), step.model);
            if (area->models.IndexOf(step.model) >= 0) area->models.Remove(step.model);
        }
        step.present = forward;
        break;
    }
}

void EditHistory::TakeOut(Area* area, std::vector<Placed>& placed) {
    auto inStep = [&](Entity* e) {
        for (const Placed& p : placed)
            if (p.entity == e) return true;
        return false;
    };
    for (Placed& p : placed) {
        Entity* e = p.entity;
        p.index = area->entities.IndexOf(e);
        p.lightIndex = e->type == ENTITY_LIGHT ? area->lights.IndexOf(static_cast<LightEntity*>(e)) : -1;
        p.particleIndex =
            e->type == ENTITY_PARTICLE ? area->particles.IndexOf(static_cast<ParticleEntity*>(e)) : -1;
    }
    // Entity-list order, so that putting back from the front restores every place.
    std::sort(placed.begin(), placed.end(),
              [](const Placed& a, const Placed& b) { return a.index < b.index; });
    for (Placed& p : placed) {
        Entity* e = p.entity;
        p.parent = e->parent && !inStep(e->parent) ? e->parent : nullptr;
        if (p.parent) Detach(e);
        p.outsiders.clear();
        for (Entity* c = e->firstChild; c;) {
            Entity* next = c->nextSibling;
            if (!inStep(c)) {
                p.outsiders.push_back(c);
                Detach(c);
            }
            c = next;
        }
    }
    for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
        Entity* e = it->entity;
        area->RemoveFromSceneTree(e);
        area->Unregister(e);  // also drops it as the selection
        DarkenLight(e);
    }
}

void EditHistory::PutBack(Area* area, std::vector<Placed>& placed) {
    for (Placed& p : placed) {
        Entity* e = p.entity;
        InsertAt(area->entities, p.index, e);
        if (p.lightIndex >= 0) InsertAt(area->lights, p.lightIndex, static_cast<LightEntity*>(e));
        if (p.particleIndex >= 0) InsertAt(area->particles, p.particleIndex, static_cast<ParticleEntity*>(e));
        area->entityTable.Insert(e->name, e);
    }
    for (Placed& p : placed) {
        Entity* e = p.entity;
        Attach(e, p.parent);
        for (Entity* c : p.outsiders) Attach(c, e);
    }
    for (Placed& p : placed) {
        p.entity->UpdateBounds();
        if (!area->AddToSceneTree(p.entity)) LogLine("Error - could not reinsert entity");
    }
}
