// The SDL build's message boxes and dialogs: ImGui modal windows drawn over
// the last frame for the error and yes/no boxes (Enter and Esc answer them),
// the property sheets and the open/save file dialogs; before the window can
// draw them, SDL's message boxes, and standard error where none can be shown.
#ifndef ZENDAR_OS_SDL_SDLDIALOGS_H
#define ZENDAR_OS_SDL_SDLDIALOGS_H

#include <SDL.h>

#include <string>

#include "os/dialogs.h"

class SdlDialogs : public Dialogs {
public:
    explicit SdlDialogs(SDL_Window* window) : window(window) {}

    void ErrorBox(const char* caption, const char* text) override;
    bool YesNoBox(const char* caption, const char* text) override;
    BoxAnswer YesNoCancelBox(const char* caption, const char* text) override;
    bool RunDialog(PropertySheet* sheet, SheetChanged on_change, void* user) override;
    bool FileDialog(bool save, const char* title, const char* description, const char* extension, char* path,
                    int size) override;

    // A box with the given SDL icon flag, owned by the main window while it is
    // visible.
    void MessageBox(Uint32 flags, const char* caption, const char* text);

private:
    SDL_Window* Owner() const;
    SDL_Window* window;
};

// The filter text of the file dialogs: "%s (*.%s)" from description and
// extension.
std::string FileFilterText(const char* description, const char* extension);
// True when name ends with "." + extension (letter case ignored, as on Windows).
bool MatchesExtension(const std::string& name, const char* extension);
// The path a file dialog's field means: an absolute path typed after the
// folder the field showed ("/game/area//tmp/x.z1a") is taken as given.
std::string TypedFilePath(const std::string& text);

#endif
