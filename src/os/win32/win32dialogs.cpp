#include "os/win32/win32dialogs.h"

#include <commdlg.h>
// The property-sheet control's function name; here the name is the engine's class.
#undef PropertySheet

#include <cstdio>
#include <cstring>
#include <vector>

#include "os/win32/resource.h"
#include "utility/basepath.h"

namespace {

// Layout of the sheet rows, in dialog units.
const int kMargin = 7;
const int kLabelWidth = 110;
const int kControlWidth = 150;
const int kRowHeight = 16;
const int kControlHeight = 12;
const int kButtonWidth = 50;
const int kButtonHeight = 14;
const int kFirstFieldId = 1100;
const int kLabelIdOffset = 100;
const int kReadOnlyIdOffset = 200;

struct SheetRun {
    PropertySheet* sheet;
    SheetChanged on_change;
    void* user;
    bool filling;
};

HWND Owner() { return GetForegroundWindow(); }

void FillChoices(HWND list, const PropertySheet::Field& field) {
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& c : field.choices)
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.c_str()));
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(field.choice), 0);
    EnableWindow(list, field.choices.empty() ? FALSE : TRUE);
}

// A list field may turn read-only and back while the dialog is up (the spawn
// dialog's argument follows the type), so both fields have a list and a
// read-only text at the same place, and the one that fits is shown.
void FillControl(HWND dialog, int index, const PropertySheet::Field& field) {
    HWND control = GetDlgItem(dialog, SheetFieldControlId(index));
    HWND shown = GetDlgItem(dialog, SheetFieldControlId(index) + kReadOnlyIdOffset);
    switch (field.kind) {
    case PropertySheet::FIELD_TEXT: SetWindowTextA(control, field.text.c_str()); break;
    case PropertySheet::FIELD_READONLY:
        SetWindowTextA(shown ? shown : control, field.text.c_str());
        if (shown) {
            ShowWindow(control, SW_HIDE);
            ShowWindow(shown, SW_SHOW);
        }
        break;
    case PropertySheet::FIELD_CHECK:
        SendMessageA(control, BM_SETCHECK, field.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case PropertySheet::FIELD_CHOICE:
        FillChoices(control, field);
        if (shown) {
            ShowWindow(shown, SW_HIDE);
            ShowWindow(control, SW_SHOW);
        }
        break;
    }
}

std::string ControlText(HWND control) {
    int length = GetWindowTextLengthA(control);
    std::vector<char> text(static_cast<size_t>(length) + 1);
    GetWindowTextA(control, text.data(), length + 1);
    return text.data();
}

// Reads field index back from its control.
void ReadControl(HWND dialog, int index, PropertySheet::Field* field) {
    HWND control = GetDlgItem(dialog, SheetFieldControlId(index));
    switch (field->kind) {
    case PropertySheet::FIELD_TEXT: field->text = ControlText(control); break;
    case PropertySheet::FIELD_READONLY: break;
    case PropertySheet::FIELD_CHECK:
        field->checked = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
        break;
    case PropertySheet::FIELD_CHOICE: {
        LRESULT chosen = SendMessageA(control, CB_GETCURSEL, 0, 0);
        field->choice = chosen == CB_ERR ? -1 : static_cast<int>(chosen);
        break;
    }
    }
}

RECT DialogUnits(HWND dialog, int x, int y, int w, int h) {
    RECT r = {x, y, x + w, y + h};
    MapDialogRect(dialog, &r);
    return r;
}

HWND AddControl(HWND dialog, const char* cls, const char* text, DWORD style, int id, int x, int y, int w,
                int h) {
    RECT r = DialogUnits(dialog, x, y, w, h);
    DWORD ex = (std::strcmp(cls, "EDIT") == 0) ? WS_EX_CLIENTEDGE : 0;
    HWND control = CreateWindowExA(ex, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                                   r.right - r.left, r.bottom - r.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageA(control, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
    return control;
}

// Lays out one row per field, moves the buttons below them and sizes the
// dialog to fit.
void BuildRows(HWND dialog, const PropertySheet& sheet) {
    int y = kMargin;
    for (size_t i = 0; i < sheet.fields.size(); ++i) {
        const PropertySheet::Field& f = sheet.fields[i];
        int id = SheetFieldControlId(static_cast<int>(i));
        int x = kMargin + kLabelWidth;
        switch (f.kind) {
        case PropertySheet::FIELD_TEXT:
            AddControl(dialog, "STATIC", f.label.c_str(), SS_LEFT, id + kLabelIdOffset, kMargin, y + 2,
                       kLabelWidth, kControlHeight);
            AddControl(dialog, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, id, x, y, kControlWidth,
                       kControlHeight);
            break;
        case PropertySheet::FIELD_CHECK:
            AddControl(dialog, "BUTTON", f.label.c_str(), WS_TABSTOP | BS_AUTOCHECKBOX, id, kMargin, y,
                       kLabelWidth + kControlWidth, kControlHeight);
            break;
        case PropertySheet::FIELD_READONLY:
        case PropertySheet::FIELD_CHOICE:
            AddControl(dialog, "STATIC", f.label.c_str(), SS_LEFT, id + kLabelIdOffset, kMargin, y + 2,
                       kLabelWidth, kControlHeight);
            AddControl(dialog, "COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, id, x, y,
                       kControlWidth, kControlHeight * 8);
            AddControl(dialog, "EDIT", "", ES_READONLY | ES_AUTOHSCROLL, id + kReadOnlyIdOffset, x, y,
                       kControlWidth, kControlHeight);
            break;
        }
        y += kRowHeight;
    }
    int width = kMargin * 2 + kLabelWidth + kControlWidth;
    y += 4;
    const int buttons[2] = {IDOK, IDCANCEL};
    for (int b = 0; b < 2; ++b) {
        RECT r = DialogUnits(dialog, width - kMargin - (2 - b) * (kButtonWidth + 6) + 6, y, kButtonWidth,
                             kButtonHeight);
        SetWindowPos(GetDlgItem(dialog, buttons[b]), nullptr, r.left, r.top, r.right - r.left,
                     r.bottom - r.top, SWP_NOZORDER);
    }
    RECT client = DialogUnits(dialog, 0, 0, width, y + kButtonHeight + kMargin);
    RECT outer = client;
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE)));
    SetWindowPos(dialog, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
}

INT_PTR CALLBACK SheetDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    SheetRun* run = reinterpret_cast<SheetRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        run = reinterpret_cast<SheetRun*>(lparam);
        SetWindowLongPtrA(dialog, DWLP_USER, lparam);
        SetWindowTextA(dialog, run->sheet->title.c_str());
        BuildRows(dialog, *run->sheet);
        run->filling = true;
        for (size_t i = 0; i < run->sheet->fields.size(); ++i)
            FillControl(dialog, static_cast<int>(i), run->sheet->fields[i]);
        run->filling = false;
        return TRUE;
    }
    case WM_COMMAND: {
        int id = LOWORD(wparam);
        if (id == IDOK || id == IDCANCEL) {
            if (id == IDOK)
                for (size_t i = 0; i < run->sheet->fields.size(); ++i)
                    ReadControl(dialog, static_cast<int>(i), &run->sheet->fields[i]);
            EndDialog(dialog, id);
            return TRUE;
        }
        int index = id - kFirstFieldId;
        bool changed = HIWORD(wparam) == CBN_SELCHANGE || HIWORD(wparam) == BN_CLICKED;
        if (run && !run->filling && changed && run->on_change && index >= 0 &&
            index < static_cast<int>(run->sheet->fields.size())) {
            ReadControl(dialog, index, &run->sheet->fields[index]);
            run->on_change(run->sheet, index, run->user);
            // The callback may refill other fields (a list that follows a choice).
            run->filling = true;
            for (size_t i = 0; i < run->sheet->fields.size(); ++i)
                if (static_cast<int>(i) != index)
                    FillControl(dialog, static_cast<int>(i), run->sheet->fields[i]);
            run->filling = false;
        }
        return FALSE;
    }
    default: return FALSE;
    }
}

// The script call dialog is fixed in the resources: one edit field, "Call"
// and "Cancel".
INT_PTR CALLBACK ScriptCallDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    PropertySheet* sheet = reinterpret_cast<PropertySheet*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lparam);
        SendDlgItemMessageA(dialog, IDC_SCRIPT_FUNCTION, EM_LIMITTEXT, 255, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) {
            char text[257] = {};
            GetDlgItemTextA(dialog, IDC_SCRIPT_FUNCTION, text, 256);
            if (!sheet->fields.empty()) sheet->fields[0].text = text;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

}  // namespace

int SheetFieldControlId(int index) { return kFirstFieldId + index; }

int DialogResourceForSheet(const PropertySheet& sheet) {
    struct Entry {
        const char* title;
        int id;
    };
    static const Entry kDialogs[] = {
        {"Edit Object", IDD_EDIT_OBJECT}, {"Edit Light", IDD_EDIT_LIGHT},
        {"Spawn Dialog", IDD_SPAWN},      {"Edit Door", IDD_EDIT_DOOR},
        {"Edit NPC", IDD_EDIT_NPC},       {"Call script function:", IDD_SCRIPT_CALL},
    };
    for (const Entry& e : kDialogs)
        if (sheet.title == e.title) return e.id;
    return 0;
}

std::string FileDialogFilter(const char* description, const char* extension) {
    char display[256];
    std::snprintf(display, sizeof display, "%s (*.%s)", description ? description : "",
                  extension ? extension : "");
    std::string filter = display;
    filter += '\0';
    filter += "*.";
    filter += extension ? extension : "";
    filter += '\0';
    filter += '\0';
    return filter;
}

void Win32Dialogs::ErrorBox(const char* caption, const char* text) { MessageBoxA(Owner(), text, caption, 0); }

bool Win32Dialogs::YesNoBox(const char* caption, const char* text) {
    return MessageBoxA(Owner(), text, caption, MB_YESNO) == IDYES;
}

bool Win32Dialogs::RunDialog(PropertySheet* sheet, SheetChanged on_change, void* user) {
    int id = DialogResourceForSheet(*sheet);
    INT_PTR result;
    if (id == IDD_SCRIPT_CALL) {
        result = DialogBoxParamA(instance_, MAKEINTRESOURCEA(id), Owner(), ScriptCallDialogProc,
                                 reinterpret_cast<LPARAM>(sheet));
    } else {
        // A sheet without a resource of its own borrows the object dialog's
        // frame; the caption is the sheet's title either way.
        SheetRun run = {sheet, on_change, user, false};
        result = DialogBoxParamA(instance_, MAKEINTRESOURCEA(id ? id : IDD_EDIT_OBJECT), Owner(),
                                 SheetDialogProc, reinterpret_cast<LPARAM>(&run));
    }
    return result == IDOK;
}

bool Win32Dialogs::FileDialog(bool save, const char* title, const char* description, const char* extension,
                              char* path, int size) {
    std::string filter = FileDialogFilter(description, extension);
    std::vector<char> buffer(static_cast<size_t>(size), '\0');
    // The dialog opens in the folder of the file it starts at, with its name
    // in the field (a start ending in a separator is a folder alone); without
    // one, in the game's folder.
    std::string start = path && *path ? path : GetBasePath();
    for (char& c : start)
        if (c == '/') c = '\\';
    const size_t slash = start.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? std::string() : start.substr(0, slash + 1);
    std::snprintf(buffer.data(), buffer.size(), "%s",
                  (slash == std::string::npos ? start : start.substr(slash + 1)).c_str());
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Owner();
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(size);
    ofn.lpstrTitle = title;
    ofn.lpstrDefExt = extension;
    ofn.Flags = OFN_NOCHANGEDIR | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!ok) return false;
    std::strncpy(path, buffer.data(), static_cast<size_t>(size) - 1);
    path[size - 1] = '\0';
    return true;
}
