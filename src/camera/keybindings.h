// The two key tables installed into the input driver at each mode switch.
// Game mode binds the eight movement keys; editor mode adds the rise and
// sink keys, the speed and display toggles, the world clock and weather keys,
// the held edit-mode keys and the editor's commands. Every callback acts on
// the pressed flag of its key event; the movement keys set the flags of the
// context, which the player update hands over.
//
// Editor commands that live with the editor (selection, dialogs) are called
// through EditorKeyLink; until the editor installs its own, each call writes
// one log line.
#ifndef ZENDAR_CAMERA_KEYBINDINGS_H
#define ZENDAR_CAMERA_KEYBINDINGS_H

#include "input/inputdriver.h"

class PlayerCamera;

class EditorKeyLink {
public:
    virtual ~EditorKeyLink() {}
    // An edit mode (1 move, 2 rotate, 3 rotate about world axes, 6 scale) was
    // entered: its summed mouse values start again from zero.
    virtual void EnterEditMode(int mode);
    // D: delete the selection after the "Warning!" question.
    virtual void DeleteSelected();
    // F1: the selected entity's property dialog.
    virtual void EditSelected();
    // F10: the "Spawn Dialog".
    virtual void SpawnDialog();
    // F11: the script call dialog.
    virtual void ScriptCallDialog();
    // F12: load a model through the "Load Z1 Model" file dialog.
    virtual void LoadModel();
    // T: toggle the selected entity's editor flag.
    virtual void ToggleSelectedFlag();
};

// Never null: the editor replaces it with its own.
extern EditorKeyLink* g_editorKeyLink;

// Fills table (256 entries) with the mode's callbacks; unbound keys get null.
void BuildGameKeyTable(KeyCallback* table);
void BuildEditorKeyTable(KeyCallback* table);

// Installs the mode's table into driver. False when there is no driver or it
// refuses the table (the mode switch then logs "ERROR - could not initialize
// input devices").
bool InstallKeyBindings(InputDriver* driver, bool editor);

// The camera the P key reports: the first camera created (the player's)
// registers itself and leaves when it is destroyed.
void SetReportedCamera(PlayerCamera* camera);
PlayerCamera* ReportedCamera();

#endif
