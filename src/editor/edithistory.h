// The editor's undo and redo. Every edit of the area is one step: a change of
// entities (moved, turned, scaled, linked, edited in their property dialog),
// entities added (spawned, copied) or deleted, or a model loaded. A change
// keeps each entity's state before and after as its property sheet plus what
// the sheet does not hold (position, transform, parent), and puts an entity
// back by applying the sheet, as the property dialog does. Added and deleted
// entities are not destroyed while a step can bring them back: they leave the
// area's lists, tables and scene tree, and return to the same places, so an
// undone area saves byte for byte as it did before.
//
// The history also tells whether the area differs from the file it was
// opened from or last saved to.
#ifndef ZENDAR_EDITOR_EDITHISTORY_H
#define ZENDAR_EDITOR_EDITHISTORY_H

#include <string>
#include <vector>

#include "entities/propertysheet.h"
#include "math/zmath.h"

class Area;
class Entity;
class Z1Model;

// What an edit can change about one entity.
struct EntityState {
    Entity* entity = nullptr;
    Entity* parent = nullptr;
    VECTOR position;
    MATRIX transform;
    PropertySheet sheet;  // empty title: the kind has no sheet
};

// The entity and its descendants, each before its children.
std::vector<EntityState> CaptureStates(Entity* root);
bool SameStates(const std::vector<EntityState>& a, const std::vector<EntityState>& b);
// Puts every entity back as captured (names, parents, places in the tree).
void RestoreStates(Area* area, const std::vector<EntityState>& states);

class EditHistory {
public:
    EditHistory() = default;
    ~EditHistory();
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    // Steps kept; the oldest go first.
    static constexpr int kMaxSteps = 500;

    // A change of the entities captured in before (the same entities in
    // after); nothing is recorded when nothing changed. Undo and redo select
    // the first of them; undoing a deletion or redoing an addition selects
    // the entity brought back.
    void RecordChange(const char* what, std::vector<EntityState> before, std::vector<EntityState> after);
    // The entities the area gained at the end of its entity list since it
    // held `countBefore` (a spawn or a copy, with their children).
    void RecordAdded(Area* area, const char* what, int countBefore);
    // Deletes the entity as the editor does (its children stay, without a
    // parent) and records it; it is kept until no step can bring it back.
    void Delete(Area* area, Entity* entity);
    // The model the area's model list gained at its end.
    void RecordModel(Area* area, const char* what);

    // The step's name ("move", "spawn", ...) or null when there is none.
    const char* UndoName() const;
    const char* RedoName() const;
    // False when there was nothing to undo or redo.
    bool Undo(Area* area);
    bool Redo(Area* area);

    // Forgets every step (the area was replaced) and counts the area as saved.
    void Clear();
    void MarkSaved();
    // The area differs from what was last opened or saved.
    bool Changed() const;
    int Size() const { return static_cast<int>(steps_.size()); }

private:
    struct Placed {
        Entity* entity = nullptr;
        int index = -1;  // in the area's entity list (lights and particles below)
        int lightIndex = -1;
        int particleIndex = -1;
        Entity* parent = nullptr;        // outside the step's entities
        std::vector<Entity*> outsiders;  // children outside the step's entities
    };
    struct Step {
        enum Kind {
            CHANGE,
            ADDED,
            DELETED,
            MODEL
        } kind = CHANGE;
        std::string name;
        std::vector<EntityState> before, after;  // CHANGE
        std::vector<Placed> placed;              // ADDED, DELETED: in entity-list order
        Z1Model* model = nullptr;                // MODEL
        int modelIndex = -1;
        bool present = true;  // ADDED, DELETED, MODEL: in the area now
    };

    void Push(Step step);
    void Free(Step& step);
    void Apply(Area* area, Step& step, bool forward);
    static void TakeOut(Area* area, std::vector<Placed>& placed);
    static void PutBack(Area* area, std::vector<Placed>& placed);

    std::vector<Step> steps_;
    int done_ = 0;   // steps_[0 .. done_) are done
    int saved_ = 0;  // done_ when the area was last saved or opened; -1: unreachable
};

#endif
