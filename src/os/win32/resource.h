// Resource and command ids of the Windows program (zendar1.rc). Shared by the
// resource script and the code, so plain #defines only.
#ifndef ZENDAR_OS_WIN32_RESOURCE_H
#define ZENDAR_OS_WIN32_RESOURCE_H

#define IDI_ZENDAR       101
#define IDR_ACCELERATORS 113
#define IDR_MENU         141

// Menu and accelerator commands.
#define IDM_CHANGE_DEVICE     40002
#define IDM_EXIT              40006
#define IDM_OPEN_FILE         40012
#define IDM_SAVE_AREA         40031
#define IDM_OPEN_AREA         40032
#define IDM_TOGGLE_FULLSCREEN 40033
#define IDM_CTRL_T            40034
#define IDM_UNDO              40041
#define IDM_REDO              40042

// Editor dialogs. Each is drawn from the entity's property sheet; the
// resource gives the caption, font and buttons.
#define IDD_EDIT_OBJECT     148
#define IDD_EDIT_LIGHT      151
#define IDD_SPAWN           152
#define IDD_EDIT_DOOR       154
#define IDD_EDIT_NPC        155
#define IDD_SCRIPT_CALL     156
#define IDC_SCRIPT_FUNCTION 1094

#endif
