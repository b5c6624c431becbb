#include "os/sdl/sdldialogs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "imgui.h"
#include "imgui_stdlib.h"
#include "os/sdl/overlay.h"
#include "os/shell/session.h"
#include "utility/basepath.h"

std::string FileFilterText(const char* description, const char* extension) {
    char text[512];
    std::snprintf(text, sizeof text, "%s (*.%s)", description ? description : "", extension ? extension : "");
    return text;
}

bool MatchesExtension(const std::string& name, const char* extension) {
    if (!extension || !*extension) return true;
    size_t n = std::strlen(extension);
    if (name.size() < n + 1 || name[name.size() - n - 1] != '.') return false;
    for (size_t i = 0; i < n; ++i) {
        unsigned char a = static_cast<unsigned char>(name[name.size() - n + i]);
        unsigned char b = static_cast<unsigned char>(extension[i]);
        if (std::tolower(a) != std::tolower(b)) return false;
    }
    return true;
}

std::string TypedFilePath(const std::string& text) {
    size_t at = text.rfind("//");
    if (at == std::string::npos) return text;
    return text.substr(at + 1);
}

namespace {

// While a box or dialog is up the devices are given back, as a Windows modal
// loop does: otherwise relative mouse mode keeps the pointer hidden and
// captured, and nobody can click the box.
struct InputReleased {
    InputReleased() { UnacquireInput(); }
    ~InputReleased() { AcquireInput(); }
};

}  // namespace

namespace {

// Nothing the offscreen or dummy video driver shows is seen (a machine
// without a display): a box there would wait for ever, so its text goes to
// standard error and it takes its default answer.
bool NobodySees() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && (!std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy"));
}

}  // namespace

SDL_Window* SdlDialogs::Owner() const {
    if (window && !(SDL_GetWindowFlags(window) & SDL_WINDOW_HIDDEN)) return window;
    return nullptr;
}

void SdlDialogs::MessageBox(Uint32 flags, const char* caption, const char* text) {
    InputReleased released;
    SDL_MessageBoxButtonData ok = {
        SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 1, "OK"};
    SDL_MessageBoxData data = {flags, Owner(), caption, text, 1, &ok, nullptr};
    int button = 0;
    if (SDL_ShowMessageBox(&data, &button) != 0) std::fprintf(stderr, "%s: %s\n", caption, text);
}

namespace {

void CentreNextWindow();

// A box drawn in the game's window over its last frame, one button per
// answer: Enter takes the first, Esc the last. Keys pressed while it is up
// are its own; none of them reaches the game after it. -1 when the window
// has no overlay to draw it with.
int OverlayBox(const char* caption, const char* text, const char* const* buttons, int count) {
    if (!OverlayReady() || count <= 0) return -1;
    InputReleased released;
    const std::string id = std::string(caption && *caption ? caption : "Message") + "##box";
    int result = -1;
    bool first = true;
    RunOverlayLoop(
        [&]() {
            if (first) ImGui::OpenPopup(id.c_str());
            first = false;
            CentreNextWindow();
            if (!ImGui::BeginPopupModal(id.c_str(), nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
                result = count - 1;
                return false;
            }
            ImGui::TextUnformatted(text ? text : "");
            ImGui::Separator();
            for (int i = 0; i < count; ++i) {
                if (i) ImGui::SameLine();
                if (ImGui::Button(buttons[i], ImVec2(90, 0))) result = i;
            }
            if (result < 0 && (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter)) ||
                               ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter))))
                result = 0;
            if (result < 0 && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape))) result = count - 1;
            if (result >= 0) ImGui::CloseCurrentPopup();
            ImGui::EndPopup();
            return result < 0;
        },
        false);
    return result;
}

}  // namespace

void SdlDialogs::ErrorBox(const char* caption, const char* text) {
    if (NobodySees()) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return;
    }
    static const char* const kOk[] = {"OK"};
    if (OverlayBox(caption, text, kOk, 1) < 0) MessageBox(0, caption, text);
}

bool SdlDialogs::YesNoBox(const char* caption, const char* text) {
    // Enter says Yes and Esc says No, as a player expects of a question.
    if (NobodySees()) {
        std::fprintf(stderr, "%s: %s (nobody can see the question: No)\n", caption, text);
        return false;
    }
    static const char* const kYesNo[] = {"Yes", "No"};
    const int answer = OverlayBox(caption, text, kYesNo, 2);
    if (answer >= 0) return answer == 0;
    InputReleased released;
    SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
    };
    SDL_MessageBoxData data = {
        SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT, Owner(), caption, text, 2, buttons, nullptr};
    int button = 0;
    if (SDL_ShowMessageBox(&data, &button) != 0) {
        // No box could be shown: nobody said Yes.
        std::fprintf(stderr, "%s: %s (no box could be shown: %s)\n", caption, text, SDL_GetError());
        return false;
    }
    return button == 1;
}

BoxAnswer SdlDialogs::YesNoCancelBox(const char* caption, const char* text) {
    if (NobodySees()) {
        std::fprintf(stderr, "%s: %s (nobody can see the question: Cancel)\n", caption, text);
        return BOX_CANCEL;
    }
    InputReleased released;
    SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, BOX_YES, "Yes"},
        {0, BOX_NO, "No"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, BOX_CANCEL, "Cancel"},
    };
    SDL_MessageBoxData data = {
        SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT, Owner(), caption, text, 3, buttons, nullptr};
    // Closing the box without a button leaves -1: that is Cancel too.
    int button = -1;
    if (SDL_ShowMessageBox(&data, &button) != 0) {
        std::fprintf(stderr, "%s: %s (no box could be shown: %s; Cancel)\n", caption, text, SDL_GetError());
        return BOX_CANCEL;
    }
    return button == BOX_YES ? BOX_YES : button == BOX_NO ? BOX_NO : BOX_CANCEL;
}

namespace {

// OK with Enter, Cancel with Esc, as the dialog manager of Windows does.
int OkCancelButtons() {
    ImGui::Separator();
    // Enter in a text field also means OK, as in a Windows dialog.
    if (ImGui::Button("OK", ImVec2(90, 0)) ||
        (ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) &&
         (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter)) ||
          ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter)))))
        return 1;
    ImGui::SameLine();
    if (ImGui::Button("Cancel", ImVec2(90, 0)) || ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape)))
        return 0;
    return -1;
}

// Labels on the left, values in a column, as in the Windows dialog resources.
const float kLabelWidth = 130.0f;

void Label(const std::string& label) {
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(label.c_str());
    ImGui::SameLine(kLabelWidth);
    ImGui::SetNextItemWidth(240);
}

void CentreNextWindow() {
    ImGuiIO& io = ImGui::GetIO();
    ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x * 0.5f, io.DisplaySize.y * 0.5f), ImGuiCond_Appearing,
                            ImVec2(0.5f, 0.5f));
}

}  // namespace

bool SdlDialogs::RunDialog(PropertySheet* sheet, SheetChanged on_change, void* user) {
    if (!OverlayReady()) return false;
    InputReleased released;
    const std::vector<PropertySheet::Field> original = sheet->fields;
    const std::string id = (sheet->title.empty() ? std::string("Dialog") : sheet->title) + "##sheet";
    int result = -1;
    bool first = true;
    RunOverlayLoop(
        [&]() {
            bool opening = first;
            if (first) ImGui::OpenPopup(id.c_str());
            first = false;
            CentreNextWindow();
            if (!ImGui::BeginPopupModal(id.c_str(), nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
                result = 0;
                return false;
            }
            // The first text field takes the keyboard, like a dialog's first tab stop.
            bool focus_pending = opening;
            for (size_t i = 0; i < sheet->fields.size(); ++i) {
                PropertySheet::Field& f = sheet->fields[i];
                ImGui::PushID(static_cast<int>(i));
                bool changed = false;
                switch (f.kind) {
                case PropertySheet::FIELD_TEXT:
                    Label(f.label);
                    if (focus_pending) ImGui::SetKeyboardFocusHere();
                    focus_pending = false;
                    // A field given the keyboard is selected whole, so typing replaces it.
                    changed = ImGui::InputText("##value", &f.text, ImGuiInputTextFlags_AutoSelectAll);
                    break;
                case PropertySheet::FIELD_READONLY:
                    Label(f.label);
                    ImGui::TextUnformatted(f.text.c_str());
                    break;
                case PropertySheet::FIELD_CHECK:
                    ImGui::SetCursorPosX(ImGui::GetCursorPosX() + kLabelWidth);
                    changed = ImGui::Checkbox(f.label.c_str(), &f.checked);
                    break;
                case PropertySheet::FIELD_CHOICE: {
                    const char* preview = f.choice >= 0 && f.choice < static_cast<int>(f.choices.size())
                                              ? f.choices[f.choice].c_str()
                                              : "";
                    Label(f.label);
                    if (ImGui::BeginCombo("##value", preview)) {
                        for (size_t c = 0; c < f.choices.size(); ++c) {
                            bool selected = static_cast<int>(c) == f.choice;
                            if (ImGui::Selectable(f.choices[c].c_str(), selected)) {
                                changed = f.choice != static_cast<int>(c);
                                f.choice = static_cast<int>(c);
                            }
                        }
                        ImGui::EndCombo();
                    }
                    break;
                }
                }
                ImGui::PopID();
                if (changed && on_change) on_change(sheet, static_cast<int>(i), user);
            }
            result = OkCancelButtons();
            if (result >= 0) ImGui::CloseCurrentPopup();
            ImGui::EndPopup();
            return result < 0;
        },
        false);
    if (result != 1) sheet->fields = original;
    return result == 1;
}

bool SdlDialogs::FileDialog(bool save, const char* title, const char* description, const char* extension,
                            char* path, int size) {
    if (!OverlayReady() || size <= 0) return false;
    InputReleased released;
    namespace fs = std::filesystem;
    std::string text = path && *path ? std::string(path) : std::string(GetBasePath());
    const std::string filter = FileFilterText(description, extension);
    const std::string id = std::string(title && *title ? title : (save ? "Save" : "Open")) + "##file";
    std::vector<std::string> listing;
    std::string listed_folder = "\x01";
    int result = -1;
    bool first = true;
    RunOverlayLoop(
        [&]() {
            bool opening = first;
            if (first) ImGui::OpenPopup(id.c_str());
            first = false;
            CentreNextWindow();
            if (!ImGui::BeginPopupModal(id.c_str(), nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
                result = 0;
                return false;
            }
            Label("File name:");
            ImGui::SetNextItemWidth(400);
            if (opening) ImGui::SetKeyboardFocusHere();
            ImGui::InputText("##path", &text, ImGuiInputTextFlags_AutoSelectAll);
            Label("Files of type:");
            ImGui::TextUnformatted(filter.c_str());

            // The folder part of the typed path, listed with the matching files.
            std::string folder = text;
            size_t slash = folder.find_last_of("/\\");
            folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash + 1);
            if (folder != listed_folder) {
                listed_folder = folder;
                listing.clear();
                listing.push_back("../");
                std::error_code ec;
                for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
                    std::string name = it->path().filename().string();
                    bool dir = it->is_directory(ec);
                    if (dir)
                        listing.push_back(name + "/");
                    else if (MatchesExtension(name, extension))
                        listing.push_back(name);
                }
                std::sort(listing.begin() + 1, listing.end());
            }
            if (ImGui::BeginListBox("##files", ImVec2(kLabelWidth + 400, 200))) {
                std::string prefix = folder == "." && slash == std::string::npos ? "" : folder;
                for (const std::string& name : listing) {
                    if (ImGui::Selectable(name.c_str(), false, ImGuiSelectableFlags_AllowDoubleClick)) {
                        text = prefix + name;
                        if (!name.empty() && name.back() != '/' && ImGui::IsMouseDoubleClicked(0)) result = 1;
                    }
                }
                ImGui::EndListBox();
            }
            if (result < 0) result = OkCancelButtons();
            if (result == 1 && (text.empty() || text.back() == '/' || text.back() == '\\'))
                result = -1;  // a folder is no file: keep the dialog open
            if (result >= 0) ImGui::CloseCurrentPopup();
            ImGui::EndPopup();
            return result < 0;
        },
        false);
    if (result != 1) return false;
    std::snprintf(path, static_cast<size_t>(size), "%s", TypedFilePath(text).c_str());
    return true;
}
