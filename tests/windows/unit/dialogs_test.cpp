// The editor's dialogs from the resources, driven as a user would: a timer
// that fires inside the dialog's modal loop reads the controls, types into
// them and presses a button.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "os/win32/resource.h"
#include "os/win32/win32dialogs.h"

namespace {

std::function<void(HWND)> g_act;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::string(cls) != "#32770" || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

void CALLBACK DriveDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;  // not up yet: the timer fires again
    KillTimer(nullptr, timer);
    g_act(dialog);
}

// Runs the sheet's dialog with act working the controls once it is up.
bool RunSheet(PropertySheet* sheet, std::function<void(HWND)> act, SheetChanged changed = nullptr,
              void* user = nullptr) {
    g_act = std::move(act);
    SetTimer(nullptr, 0, 20, DriveDialog);
    Win32Dialogs dialogs(GetModuleHandleA(nullptr));
    return dialogs.RunDialog(sheet, changed, user);
}

std::string Text(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

HWND Field(HWND dialog, int index) { return GetDlgItem(dialog, SheetFieldControlId(index)); }

void Press(HWND dialog, int button) { SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

void Choose(HWND dialog, int index, int item) {
    SendMessageA(Field(dialog, index), CB_SETCURSEL, item, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(SheetFieldControlId(index), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Field(dialog, index)));
}

PropertySheet ObjectSheet() {
    PropertySheet sheet;
    sheet.title = "Edit Object";
    sheet.AddText("Name :", "crate");
    sheet.AddReadOnly("Parent :", "tavern");
    sheet.AddCheck("Locked", false);
    sheet.AddChoice("Door Type:", {"Swinging", "Sliding"}, 0);
    sheet.AddNumber("Scale X", 1.5f);
    return sheet;
}

TEST(SheetDialog, ShowsTheFieldsAndOkWritesTheEditsBack) {
    PropertySheet sheet = ObjectSheet();
    std::string caption, name, parent, scale;
    LRESULT checked = -1, items = -1, chosen = -1;
    bool ok = RunSheet(&sheet, [&](HWND d) {
        caption = Text(d);
        name = Text(Field(d, 0));
        parent = Text(GetDlgItem(d, SheetFieldControlId(1) + 200));
        checked = SendMessageA(Field(d, 2), BM_GETCHECK, 0, 0);
        items = SendMessageA(Field(d, 3), CB_GETCOUNT, 0, 0);
        chosen = SendMessageA(Field(d, 3), CB_GETCURSEL, 0, 0);
        scale = Text(Field(d, 4));
        SetWindowTextA(Field(d, 0), "barrel");
        SetWindowTextA(GetDlgItem(d, SheetFieldControlId(1) + 200), "changed");
        SendMessageA(Field(d, 2), BM_CLICK, 0, 0);
        Choose(d, 3, 1);
        SetWindowTextA(Field(d, 4), "2.25");
        Press(d, IDOK);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(caption, "Edit Object");
    EXPECT_EQ(name, "crate");
    EXPECT_EQ(parent, "tavern");
    EXPECT_EQ(checked, BST_UNCHECKED);
    EXPECT_EQ(items, 2);
    EXPECT_EQ(chosen, 0);
    EXPECT_EQ(scale, "1.500000");
    EXPECT_EQ(sheet.Text("Name :"), "barrel");
    EXPECT_EQ(sheet.Text("Parent :"), "tavern") << "read-only fields are never written back";
    EXPECT_TRUE(sheet.Checked("Locked", false));
    EXPECT_EQ(sheet.Choice("Door Type:", -1), 1);
    EXPECT_FLOAT_EQ(sheet.Number("Scale X", 0.0f), 2.25f);
}

TEST(SheetDialog, CancelChangesNothing) {
    PropertySheet sheet = ObjectSheet();
    bool ok = RunSheet(&sheet, [](HWND d) {
        SetWindowTextA(Field(d, 0), "barrel");
        SendMessageA(Field(d, 2), BM_CLICK, 0, 0);
        Press(d, IDCANCEL);
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(sheet.Text("Name :"), "crate");
    EXPECT_FALSE(sheet.Checked("Locked", true));
}

// As the spawn dialog: the argument list follows the type, and a type without
// an argument shows it read-only.
void TypeChanged(PropertySheet* sheet, int index, void* calls) {
    ++*static_cast<int*>(calls);
    if (index != 0) return;
    PropertySheet::Field& argument = sheet->fields[1];
    if (sheet->fields[0].choice == 1) {
        argument.kind = PropertySheet::FIELD_READONLY;
        argument.choices.clear();
        argument.choice = -1;
    } else {
        argument.kind = PropertySheet::FIELD_CHOICE;
        argument.choices = {"a.z1", "b.z1", "c.z1"};
        argument.choice = 0;
    }
}

TEST(SheetDialog, ChangingAChoiceRefillsTheFieldsThatFollowIt) {
    PropertySheet sheet;
    sheet.title = "Spawn Dialog";
    sheet.AddChoice("Type:", {"Object", "Light"}, 0);
    sheet.AddChoice("Argument:", {"a.z1"}, 0);
    sheet.AddText("Symbolic Name:", "");
    int calls = 0;
    bool listShownAsLight = true, textShownAsLight = false;
    LRESULT itemsAsObject = -1;
    bool ok = RunSheet(
        &sheet,
        [&](HWND d) {
            Choose(d, 0, 1);
            listShownAsLight = IsWindowVisible(Field(d, 1));
            textShownAsLight = IsWindowVisible(GetDlgItem(d, SheetFieldControlId(1) + 200));
            Choose(d, 0, 0);
            itemsAsObject = SendMessageA(Field(d, 1), CB_GETCOUNT, 0, 0);
            Choose(d, 1, 2);
            SetWindowTextA(Field(d, 2), "crate2");
            Press(d, IDOK);
        },
        TypeChanged, &calls);
    EXPECT_TRUE(ok);
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(listShownAsLight);
    EXPECT_TRUE(textShownAsLight);
    EXPECT_EQ(itemsAsObject, 3);
    EXPECT_EQ(sheet.Choice("Type:", -1), 0);
    EXPECT_EQ(sheet.Choice("Argument:", -1), 2);
    EXPECT_EQ(sheet.Text("Symbolic Name:"), "crate2");
}

TEST(ScriptCallDialog, CallReturnsTheNameTypedIntoItsField) {
    PropertySheet sheet;
    sheet.title = "Call script function:";
    sheet.AddText("Function:", "");
    std::string caption, call;
    bool haveField = false;
    bool ok = RunSheet(&sheet, [&](HWND d) {
        caption = Text(d);
        call = Text(GetDlgItem(d, IDOK));
        haveField = GetDlgItem(d, IDC_SCRIPT_FUNCTION) != nullptr;
        SetDlgItemTextA(d, IDC_SCRIPT_FUNCTION, "open_room");
        Press(d, IDOK);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(caption, "Call script function:");
    EXPECT_EQ(call, "Call");
    EXPECT_TRUE(haveField);
    EXPECT_EQ(sheet.Text("Function:"), "open_room");
}

TEST(FileDialogs, FilterIsTheDescriptionAndThePattern) {
    EXPECT_EQ(FileDialogFilter("ZdA Files", "z1a"), std::string("ZdA Files (*.z1a)\0*.z1a\0\0", 25));
    EXPECT_EQ(FileDialogFilter("Z1 Files", "z1"), std::string("Z1 Files (*.z1)\0*.z1\0\0", 22));
}

}  // namespace
