#include "gfxdriver/dx7driver/dx7devices.h"

#include <algorithm>
#include <cstdio>

#include "entities/propertysheet.h"
#include "os/dialogs.h"
#include "os/replay.h"
#include "gfxdriver/dx7driver/dx7resource.h"

namespace {

const char kDeviceField[] = "Device selection";
const char kWindowField[] = "Use desktop window";
const char kModeField[] = "Fullscreen modes";

HRESULT CALLBACK CollectDevice(char*, char* name, D3DDEVICEDESC7* desc, void* context) {
    Dx7Device d;
    d.name = name ? name : "";
    d.guid = desc->deviceGUID;
    d.desc = *desc;
    d.hardware = (desc->dwDevCaps & D3DDEVCAPS_HWRASTERIZATION) != 0;
    static_cast<std::vector<Dx7Device>*>(context)->push_back(d);
    return D3DENUMRET_OK;
}

HRESULT CALLBACK CollectMode(DDSURFACEDESC2* desc, void* context) {
    long bpp = static_cast<long>(desc->ddpfPixelFormat.dwRGBBitCount);
    // Palette modes cannot hold the driver's surfaces.
    if (bpp != 16 && bpp != 32) return DDENUMRET_OK;
    Dx7DisplayMode m;
    m.width = static_cast<long>(desc->dwWidth);
    m.height = static_cast<long>(desc->dwHeight);
    m.bpp = bpp;
    auto* modes = static_cast<std::vector<Dx7DisplayMode>*>(context);
    for (const Dx7DisplayMode& o : *modes)
        if (o.width == m.width && o.height == m.height && o.bpp == m.bpp) return DDENUMRET_OK;
    modes->push_back(m);
    return DDENUMRET_OK;
}

struct DialogState {
    const Dx7DeviceList* list;
    Dx7DeviceChoice choice;
};

void EnableModes(HWND dialog) {
    bool windowed = IsDlgButtonChecked(dialog, IDC_DESKTOP_WINDOW) == BST_CHECKED;
    EnableWindow(GetDlgItem(dialog, IDC_MODE_LIST), !windowed);
}

INT_PTR CALLBACK DeviceDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    DialogState* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        state = reinterpret_cast<DialogState*>(lparam);
        SetWindowLongPtrA(dialog, DWLP_USER, static_cast<LONG_PTR>(lparam));
        for (const Dx7Device& d : state->list->devices)
            SendDlgItemMessageA(dialog, IDC_DEVICE_LIST, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(d.name.c_str()));
        SendDlgItemMessageA(dialog, IDC_DEVICE_LIST, CB_SETCURSEL, static_cast<WPARAM>(state->choice.device),
                            0);
        for (const Dx7DisplayMode& m : state->list->modes)
            SendDlgItemMessageA(dialog, IDC_MODE_LIST, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(ModeText(m).c_str()));
        SendDlgItemMessageA(dialog, IDC_MODE_LIST, CB_SETCURSEL, static_cast<WPARAM>(state->choice.mode), 0);
        CheckDlgButton(dialog, IDC_DESKTOP_WINDOW, state->choice.windowed ? BST_CHECKED : BST_UNCHECKED);
        EnableModes(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_DESKTOP_WINDOW: EnableModes(dialog); return TRUE;
        case IDOK: {
            LRESULT device = SendDlgItemMessageA(dialog, IDC_DEVICE_LIST, CB_GETCURSEL, 0, 0);
            LRESULT mode = SendDlgItemMessageA(dialog, IDC_MODE_LIST, CB_GETCURSEL, 0, 0);
            if (device != CB_ERR) state->choice.device = static_cast<int>(device);
            if (mode != CB_ERR) state->choice.mode = static_cast<int>(mode);
            state->choice.windowed = IsDlgButtonChecked(dialog, IDC_DESKTOP_WINDOW) == BST_CHECKED;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        default: break;
        }
        break;
    default: break;
    }
    return FALSE;
}

// The dialog as a sheet, for a replay's answers.
Dx7DialogResult AskByReplay(const Dx7DeviceList& list, Dx7DeviceChoice* choice) {
    PropertySheet sheet;
    sheet.title = "Select Device";
    std::vector<std::string> names, modes;
    for (const Dx7Device& d : list.devices) names.push_back(d.name);
    for (const Dx7DisplayMode& m : list.modes) modes.push_back(ModeText(m));
    sheet.AddChoice(kDeviceField, names, std::max(choice->device, 0));
    sheet.AddCheck(kWindowField, choice->windowed);
    sheet.AddChoice(kModeField, modes, std::max(choice->mode, 0));
    if (!RunDialog(&sheet)) return DX7_DIALOG_CANCEL;
    choice->device = sheet.Choice(kDeviceField, choice->device);
    choice->windowed = sheet.Checked(kWindowField, choice->windowed);
    if (!modes.empty()) choice->mode = sheet.Choice(kModeField, choice->mode);
    return DX7_DIALOG_OK;
}

}  // namespace

std::string ModeText(const Dx7DisplayMode& mode) {
    char text[64];
    std::snprintf(text, sizeof text, "%ld x %ld x %ld", mode.width, mode.height, mode.bpp);
    return text;
}

bool Dx7DeviceList::Enumerate() {
    devices.clear();
    modes.clear();
    IDirectDraw7* dd = nullptr;
    if (FAILED(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr)) || !dd)
        return false;
    IDirect3D7* d3d = nullptr;
    if (SUCCEEDED(dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&d3d))) && d3d) {
        d3d->EnumDevices(CollectDevice, &devices);
        d3d->Release();
    }
    dd->EnumDisplayModes(0, nullptr, &modes, CollectMode);
    DDSURFACEDESC2 current = {};
    current.dwSize = sizeof current;
    if (SUCCEEDED(dd->GetDisplayMode(&current))) {
        desktop.width = static_cast<long>(current.dwWidth);
        desktop.height = static_cast<long>(current.dwHeight);
        desktop.bpp = static_cast<long>(current.ddpfPixelFormat.dwRGBBitCount);
    }
    dd->Release();
    std::sort(modes.begin(), modes.end(), [](const Dx7DisplayMode& a, const Dx7DisplayMode& b) {
        if (a.width != b.width) return a.width < b.width;
        if (a.height != b.height) return a.height < b.height;
        return a.bpp < b.bpp;
    });
    return !devices.empty();
}

bool Dx7DeviceList::PickDefault(Dx7DeviceChoice* choice) const {
    if (devices.empty()) return false;
    int best = -1, bestScore = -1;
    for (size_t i = 0; i < devices.size(); ++i) {
        const Dx7Device& d = devices[i];
        int score = 0;
        if (IsEqualGUID(d.guid, IID_IDirect3DTnLHalDevice))
            score = 3;
        else if (IsEqualGUID(d.guid, IID_IDirect3DHALDevice))
            score = 2;
        else if (d.hardware)
            score = 1;
        if (score > bestScore) {
            best = static_cast<int>(i);
            bestScore = score;
        }
    }
    choice->device = best;
    choice->windowed = true;
    choice->mode = modes.empty() ? -1 : 0;
    int modeScore = 0;
    for (size_t i = 0; i < modes.size(); ++i) {
        const Dx7DisplayMode& m = modes[i];
        int score = m.bpp != 32                                              ? 0
                    : m.width == 1024 && m.height == 768                     ? 2
                    : m.width == desktop.width && m.height == desktop.height ? 1
                                                                             : 0;
        if (score > modeScore) {
            modeScore = score;
            choice->mode = static_cast<int>(i);
        }
    }
    return true;
}

Dx7DialogResult AskDevice(HINSTANCE instance, HWND window, const Dx7DeviceList& list,
                          Dx7DeviceChoice* choice) {
    if (g_replay) return AskByReplay(list, choice);
    DialogState state{&list, *choice};
    INT_PTR r = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SELECT_DEVICE), window, DeviceDialogProc,
                                reinterpret_cast<LPARAM>(&state));
    if (r == IDOK) {
        *choice = state.choice;
        return DX7_DIALOG_OK;
    }
    return r == IDCANCEL ? DX7_DIALOG_CANCEL : DX7_DIALOG_FAILED;
}
