// The program's resources as Windows loads them (this test program links the
// same resource script as zendar1.exe): the File menu, the accelerator table
// and the editor's dialogs; and the accelerators a replayed key reaches.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "input/dikeys.h"
#include "os/win32/resource.h"
#include "os/win32/win32shell.h"

namespace {

TEST(Resources, FileMenuHoldsItsItemsAndCommands) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MENU));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    char text[64] = {};
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&File");
    HMENU file = GetSubMenu(menu, 0);
    ASSERT_NE(file, nullptr);
    struct Item {
        UINT id;
        const char* text;  // null: a separator
    };
    const Item items[] = {{IDM_OPEN_FILE, "&Open File...\tCtrl+O"},
                          {0, nullptr},
                          {IDM_CHANGE_DEVICE, "&Change device...\tF2"},
                          {0, nullptr},
                          {IDM_EXIT, "E&xit\tESC"}};
    ASSERT_EQ(GetMenuItemCount(file), 5);
    for (int i = 0; i < 5; ++i) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID;
        ASSERT_TRUE(GetMenuItemInfoA(file, i, TRUE, &info));
        if (!items[i].text) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR) << "item " << i;
            continue;
        }
        EXPECT_EQ(info.wID, items[i].id) << "item " << i;
        GetMenuStringA(file, i, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, items[i].text);
    }
    DestroyMenu(menu);
}

TEST(Resources, AcceleratorTableMapsTheKeysToTheirCommands) {
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    int n = CopyAcceleratorTableA(table, nullptr, 0);
    ASSERT_EQ(n, 8);
    std::vector<ACCEL> got(n);
    CopyAcceleratorTableA(table, got.data(), n);
    struct Key {
        BYTE modifiers;
        WORD key;
        WORD command;
    };
    const Key expected[] = {
        {FCONTROL, 'O', IDM_OPEN_AREA}, {FCONTROL, 'S', IDM_SAVE_AREA},
        {FCONTROL, 'T', IDM_CTRL_T},    {0, VK_ESCAPE, IDM_EXIT},
        {0, VK_F2, IDM_CHANGE_DEVICE},  {FALT, VK_RETURN, IDM_TOGGLE_FULLSCREEN},
        {FCONTROL, 'Z', IDM_UNDO},      {FCONTROL, 'Y', IDM_REDO},
    };
    for (const Key& k : expected) {
        bool found = false;
        for (const ACCEL& a : got)
            found = found || (a.key == k.key && a.cmd == k.command &&
                              (a.fVirt & (FCONTROL | FALT | FSHIFT)) == k.modifiers && (a.fVirt & FVIRTKEY));
        EXPECT_TRUE(found) << "key " << k.key << " -> " << k.command;
    }
    DestroyAcceleratorTable(table);
}

TEST(Resources, EditorDialogsAndTheIconExist) {
    for (int id : {IDD_EDIT_OBJECT, IDD_EDIT_LIGHT, IDD_SPAWN, IDD_EDIT_DOOR, IDD_EDIT_NPC, IDD_SCRIPT_CALL})
        EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5)), nullptr)
            << "dialog " << id;
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ZENDAR)), nullptr);
}

TEST(ReplayAccelerator, KeysReachTheCommandsWithTheirModifiersOnly) {
    struct Case {
        int code;
        std::vector<int> held;
        int command;
    };
    const Case cases[] = {
        {DIK_ESCAPE, {}, IDM_EXIT},
        {DIK_ESCAPE, {DIK_LCONTROL}, 0},
        {DIK_O, {DIK_LCONTROL}, IDM_OPEN_AREA},
        {DIK_O, {DIK_RCONTROL}, IDM_OPEN_AREA},
        {DIK_S, {DIK_LCONTROL}, IDM_SAVE_AREA},
        {DIK_S, {DIK_LCONTROL, DIK_LSHIFT}, 0},
        {DIK_O, {DIK_LCONTROL, DIK_RMENU}, 0},
        {DIK_O, {}, 0},
        {DIK_S, {}, 0},
        {DIK_A, {DIK_LCONTROL}, 0},
        {DIK_Z, {DIK_LCONTROL}, IDM_UNDO},
        {DIK_Y, {DIK_RCONTROL}, IDM_REDO},
        {DIK_Z, {}, 0},
    };
    for (const Case& c : cases) {
        bool held[256] = {};
        for (int k : c.held) held[k] = true;
        EXPECT_EQ(ReplayAccelerator(c.code, held), c.command) << "key " << c.code;
    }
}

}  // namespace
