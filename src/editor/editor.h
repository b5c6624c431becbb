// Editor mode: the camera flies free, the editor keys toggle display options
// and open dialogs, and the mouse, with a held modifier key (the settings'
// editor selection mode), picks, moves, turns, scales, links and copies
// entities through the screen centre. Areas are opened and saved through
// the platform's file dialogs; entities are edited through their property
// sheets shown by the platform's dialogs.
#ifndef ZENDAR_EDITOR_EDITOR_H
#define ZENDAR_EDITOR_EDITOR_H

#include <string>

#include "editor/areaeditor.h"

class Area;
class PlayerCamera;
class PropertySheet;

// Edit modes (Settings::editor_selection_mode) while their key is held.
enum EditMode {
    EDIT_SELECT = 0,
    EDIT_MOVE = 1,          // LSHIFT
    EDIT_ROTATE = 2,        // LCONTROL: about the camera's axes
    EDIT_ROTATE_WORLD = 3,  // Z: about the world's axes
    EDIT_LINK = 4,          // L
    EDIT_COPY = 5,          // SPACE
    EDIT_SCALE = 6,         // X
    EDIT_LINK_MOVE = 7,     // A
    EDIT_MODE_COUNT = 8,
};

// The mouse motion of a frame in look-mode units (the driver's scaled
// position): x from the horizontal, y from the vertical axis, z the wheel.
struct EditorMotion {
    double x = 0.0, y = 0.0, z = 0.0;
};

// Move mode turns a unit of mouse motion into this many world units.
constexpr float kEditorMoveFactor = 300.0f;
// Rotate modes: radians per unit of motion.
constexpr float kEditorRotateFactor = 2.0f;
// Scale mode: scale per unit of motion.
constexpr float kEditorScaleFactor = 1.0f;
// The step factor that multiplies every drag; the wheel halves and doubles it.
constexpr float kEditorStepMin = 0.05f;
constexpr float kEditorStepMax = 1.0f;

class Editor {
public:
    Editor();

    // The area edited: the one set here, else the world's.
    Area* EditedArea() const;

    // One editor frame: clock and frame rate, the camera (which polls the
    // input driver, so the editor keys run), the mouse by the held mode, the
    // night lights and the particles.
    void Frame(PlayerCamera* camera);

    // The mouse work of a frame, given the buttons that were pressed this
    // frame, the buttons held, and the frame's motion (tests drive this).
    void MouseStep(PlayerCamera* camera, const bool pressed[3], const bool held[3],
                   const EditorMotion& motion);

    // A drag mode was entered: its summed values start again.
    void EnterEditMode(int mode);
    // The wheel: +1 doubles the step factor, -1 halves it, within
    // [kEditorStepMin, kEditorStepMax]; the direction is remembered.
    void StepFactor(int direction);

    // Commands of the editor keys.
    void DeleteSelected();
    void EditSelected();
    void SpawnDialog();
    void ScriptCallDialog();
    void LoadModel();
    void ToggleSelectedFlag();
    // Ctrl+O and Ctrl+S.
    void OpenArea();
    void SaveArea();

    // "%s - %s" with the selected entity's type name and name; empty without
    // a selection.
    const char* SelectionLine();

    // Per drag mode: summed motion x, y, z, and how much of it was applied.
    double sums[EDIT_MODE_COUNT][6];
    Area* area = nullptr;  // not owned; null: the world's area

private:
    void Drag(int mode, PlayerCamera* camera, const bool held[3], const EditorMotion& motion);
    AreaEditor Ops() const { return AreaEditor(EditedArea()); }
    std::string selectionLine;
};

extern Editor* g_editor;

// Creates the editor (the game's import table hands it the editor keys) and
// installs the property dialogs (through RunDialog). Safe to call more than
// once.
void InstallEditor();

// What the shell calls.
void EditorFrame(PlayerCamera* camera);
void EditorOpenAreaCommand();
void EditorSaveAreaCommand();
const char* EditorSelectionLine();

// The spawn dialog's sheet, filled for the area (type list, argument list
// for the chosen type, empty name), and its refill when the type changes.
void BuildSpawnSheet(Area* area, PropertySheet& sheet);
void RefillSpawnArguments(Area* area, PropertySheet& sheet);

#endif
