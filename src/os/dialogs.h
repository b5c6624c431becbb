// Message boxes and dialogs. The engine asks through the free functions below;
// the platform layer supplies the windows (Win32 dialog resources, or Dear
// ImGui modal windows on SDL) by publishing a Dialogs object in g_dialogs.
//
// A replay (replay.h) answers in place of the user: each call takes the next
// scripted answer when it fits the call. When a replay is running and no
// fitting answer is queued, the call takes its default (no, cancel, or OK for
// an error box) and says so on standard error, so an automated run never
// waits for a person. Without a replay the platform's window is shown; with no
// platform at all (tools, tests) the defaults apply silently.
//
// Callers pause the graphics driver around every box or dialog (Pause(true)
// before, Pause(false) after), as the driver needs to know.
#ifndef ZENDAR_OS_DIALOGS_H
#define ZENDAR_OS_DIALOGS_H

#include <string>
#include <vector>

#include "entities/propertysheet.h"

// Called after the user (or a scripted answer) changed field `index` of a
// running sheet, so the caller can refill dependent fields (e.g. a list that
// follows a type choice).
typedef void (*SheetChanged)(PropertySheet* sheet, int index, void* user);

// Sets a field from text as a scripted answer would: text fields take it as it
// is; check boxes take 1/0, yes/no, on/off, true/false; choices take an item's
// text or its index. False, with a one-line reason, when the label or the value
// does not fit (read-only fields cannot be set).
bool SetSheetField(PropertySheet* sheet, const std::string& label, const std::string& value,
                   std::string* error);

// The answers of a yes/no/cancel box.
enum BoxAnswer {
    BOX_CANCEL = 0,
    BOX_YES = 1,
    BOX_NO = 2,
};

class Dialogs {
public:
    virtual ~Dialogs() {}
    virtual void ErrorBox(const char* caption, const char* text) = 0;
    virtual bool YesNoBox(const char* caption, const char* text) = 0;
    // Yes, No or Cancel (the window's close button is Cancel). A platform
    // without such a box asks twice with YesNoBox: Yes, else "Discard the
    // changes?" Yes for No and No for Cancel, so that no answer drops work
    // by a single click.
    virtual BoxAnswer YesNoCancelBox(const char* caption, const char* text);
    // Runs the sheet modally; true when closed with OK (the fields then hold
    // the edited values).
    virtual bool RunDialog(PropertySheet* sheet, SheetChanged on_change, void* user) = 0;
    // File dialog: filter shown as "%s (*.%s)" from description and extension,
    // pattern "*." + extension. path comes in holding the file to start at
    // (empty: the game's folder); on OK the chosen path is copied into it
    // (size bytes, terminated) and true returned; false when cancelled.
    virtual bool FileDialog(bool save, const char* title, const char* description, const char* extension,
                            char* path, int size) = 0;
};

// The platform's dialogs; null in tools and tests.
extern Dialogs* g_dialogs;

// The calls every part uses.
void ErrorBox(const char* caption, const char* text);
// One error box "Zendar1 - cannot read the game's files" listing what the
// start could not use, one problem a line (none: no box); the graphics
// driver is paused around it.
void StartProblemsBox(const std::vector<std::string>& problems);
// True exactly when the answer is Yes.
bool YesNoBox(const char* caption, const char* text);
// A replay answers it with yes, no or cancel; without a fitting answer it is
// Cancel.
BoxAnswer YesNoCancelBox(const char* caption, const char* text);
// True on OK; on Cancel the sheet's fields may have been edited and are to be
// ignored.
bool RunDialog(PropertySheet* sheet, SheetChanged on_change = nullptr, void* user = nullptr);
// The chosen path in a process-wide 512-byte buffer (one for open, one for
// save), or null when cancelled. start is the file the dialog starts at
// (null or empty: the game's folder).
const char* OpenFileDialog(const char* title, const char* description, const char* extension,
                           const char* start = nullptr);
const char* SaveFileDialog(const char* title, const char* description, const char* extension,
                           const char* start = nullptr);

#endif
