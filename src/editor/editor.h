// Editor mode: the camera flies free, the editor keys toggle display options
// and open dialogs, and the mouse, with a held modifier key (the settings'
// editor selection mode), picks, moves, turns, scales, links and copies
// entities through the screen centre. Areas are opened and saved through
// the platform's file dialogs; entities are edited through their property
// sheets shown by the platform's dialogs.
//
// The editor keeps the modder's work: every edit can be undone and redone
// (edithistory.h), the area knows whether it differs from its file, saves
// replace the file only when complete (areasave.h), and quitting, opening
// another area or playing ask to save unsaved changes first. It starts on
// the area the game would load (or the one named with --area), seen from
// above.
#ifndef ZENDAR_EDITOR_EDITOR_H
#define ZENDAR_EDITOR_EDITOR_H

#include <string>
#include <vector>

#include "editor/areaeditor.h"
#include "editor/edithistory.h"

class Area;
class PlayerCamera;
class PropertySheet;

// Edit modes (Settings::editorSelectionMode) while their key is held.
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
    // night lights and the particles. The first frame starts the editor.
    void Frame(PlayerCamera* camera);

    // The start: the area named with --area, else the scene the game's
    // start script loads (its init programs run now, once, with their scene
    // loads opening the area here and their settings changes kept for when
    // the game is played); the camera above it.
    void Start(PlayerCamera* camera);

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
    // Ctrl+O and Ctrl+S. SaveArea asks where, starting at the file being
    // edited; true when the area was saved.
    void OpenArea();
    bool SaveArea();
    // Ctrl+Z and Ctrl+Y.
    void Undo();
    void Redo();

    // Saves to a file-system path through a temporary file; a failure shows
    // the box naming the file and the reason, and logs it.
    bool SaveTo(const std::string& path);
    // Replaces the edited area by the file (a name in the game's area folder
    // or a path); false, with the area kept, when the loader refuses it.
    bool OpenFile(const std::string& chosen);

    // Before the area is left (quit, open, play): true when there is nothing
    // unsaved, or the modder saved it or chose to drop it; false to stay.
    // `doing` ends the question ("before quitting").
    bool ReadyToLeave(const char* doing);
    // Before playing: ReadyToLeave, then the settings the start script
    // asked for while the editor held them back.
    bool LeaveForGame();

    // The camera above the area: over `start` (a player's eye) when given,
    // else over the middle of what the area holds.
    void ViewArea(PlayerCamera* camera, const VECTOR* start);

    // The area differs from its file (or a drag is being made).
    bool Changed() const { return history.Changed() || dragEntity_ != nullptr; }
    // The file being edited (a file-system path), empty when none.
    const std::string& FilePath() const { return file_; }
    // The part of the window title that names the area and marks unsaved
    // changes: "village.z1a", "village.z1a (unsaved changes)", "no area".
    std::string TitleText() const;
    // "%s - %s" with the selected entity's type name and name; empty without
    // a selection.
    const char* SelectionLine();
    // Frames per second of the real clock (not the harness's fixed step),
    // over the last frames; 0 before there are two.
    float FramesPerSecond() const;

    // Closes a drag (move, turn, scale held over several frames) as one step.
    void CommitDrag();
    // Drops the history, the file name and any drag, as if the editor had
    // just started on the area as it is (tests).
    void Forget();

    // Per drag mode: summed motion x, y, z, and how much of it was applied.
    double sums[EDIT_MODE_COUNT][6];
    Area* area = nullptr;  // not owned; null: the world's area
    EditHistory history;

private:
    void Drag(int mode, PlayerCamera* camera, const bool held[3], const EditorMotion& motion);
    AreaEditor Ops() const { return AreaEditor(EditedArea()); }
    // Runs fn and records the change it made to e and its descendants.
    template <class Fn>
    void Change(const char* what, Entity* e, Fn fn);
    bool Save();
    std::string selectionLine;
    std::string file_;
    bool started_ = false;
    PlayerCamera* camera_ = nullptr;  // the camera of the last frame
    // The drag being made: its mode, entity and the states before it.
    int dragMode_ = 0;
    Entity* dragEntity_ = nullptr;
    std::vector<EntityState> dragBefore_;
    // Settings calls of the start script held back until the game is played.
    std::vector<std::pair<int, int>> heldSettings_;
    // Real-clock times of the last frames, for the frame rate.
    std::vector<double> frameTimes_;
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
void EditorUndoCommand();
void EditorRedoCommand();
const char* EditorSelectionLine();
// Quitting: true when the program may end (game mode, nothing unsaved, or
// saved or dropped after asking).
bool EditorReadyToQuit();
// The M key in editor mode: true when the game may be played now.
bool EditorLeaveForGame();
// The window title's editor part (see Editor::TitleText); empty without an
// editor.
std::string EditorTitleText();
// The overlay's numbers and lines.
float EditorFramesPerSecond();
// One line of the main keys, for the bottom of the screen.
const char* EditorHintLine();
// The selected entity's box in a colour that stands out, drawn into the
// open scene after the area.
void EditorDrawSelection();

// The spawn dialog's sheet, filled for the area (type list, argument list
// for the chosen type, empty name), and its refill when the type changes.
void BuildSpawnSheet(Area* area, PropertySheet& sheet);
void RefillSpawnArguments(Area* area, PropertySheet& sheet);

#endif
