// The Windows build's message boxes and dialogs: MessageBoxA for the error and
// yes/no boxes, the common open and save dialogs, and the editor's dialogs
// from the resources of zendar1.rc, each filled with the rows of the
// property sheet it shows (a label and an edit field, check box or list per
// field, in sheet order).
#ifndef ZENDAR_OS_WIN32_WIN32DIALOGS_H
#define ZENDAR_OS_WIN32_WIN32DIALOGS_H

#include <windows.h>

#include <string>

#include "os/dialogs.h"

class Win32Dialogs : public Dialogs {
public:
    explicit Win32Dialogs(HINSTANCE instance) : instance_(instance) {}

    void ErrorBox(const char* caption, const char* text) override;
    bool YesNoBox(const char* caption, const char* text) override;
    bool RunDialog(PropertySheet* sheet, SheetChanged on_change, void* user) override;
    bool FileDialog(bool save, const char* title, const char* description, const char* extension, char* path,
                    int size) override;

private:
    HINSTANCE instance_;
};

// The dialog resource that shows a sheet, by its title; 0 for none.
int DialogResourceForSheet(const PropertySheet& sheet);

// The control id of field index in a sheet dialog.
int SheetFieldControlId(int index);

// The common dialogs' filter: "%s (*.%s)" from description and extension, then
// "*." + extension, each ending in a zero, and a final zero.
std::string FileDialogFilter(const char* description, const char* extension);

#endif
