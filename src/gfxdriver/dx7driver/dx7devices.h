// The Direct3D devices and display modes the DirectX 7 driver can choose
// from, the default choice, and the "Select Device" dialog that lets the
// player change it. A replay (os/replay.h) answers the dialog in place of
// the player: its fields are "Device selection" (a device name or its index),
// "Use desktop window" (1 or 0) and "Fullscreen modes" ("1024 x 768 x 32" or
// an index), set by `answer field` lines before `answer ok`.
#ifndef ZENDAR_GFXDRIVER_DX7DRIVER_DX7DEVICES_H
#define ZENDAR_GFXDRIVER_DX7DRIVER_DX7DEVICES_H

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <string>
#include <vector>

struct Dx7DisplayMode {
    long width = 0;
    long height = 0;
    long bpp = 0;
};

struct Dx7Device {
    std::string name;  // as Direct3D names it
    GUID guid = {};
    D3DDEVICEDESC7 desc = {};
    bool hardware = false;  // rasterises in hardware: textures live in video memory
};

struct Dx7DeviceChoice {
    int device = -1;
    int mode = -1;  // into the mode list; -1 when no full-screen mode exists
    bool windowed = true;
};

class Dx7DeviceList {
public:
    // Lists the devices of the primary display and its 16- and 32-bit
    // display modes. False when no device could be listed.
    bool Enumerate();
    // The transform-and-lighting hardware device, else another hardware
    // device, else the first; windowed; as the full-screen mode 1024 x 768 x
    // 32 when offered, else the desktop's size at 32 bits, else the first.
    // False without devices.
    bool PickDefault(Dx7DeviceChoice* choice) const;

    std::vector<Dx7Device> devices;
    std::vector<Dx7DisplayMode> modes;  // by width, height, then depth
    Dx7DisplayMode desktop;
};

// "%ld x %ld x %ld": width, height and colour depth.
std::string ModeText(const Dx7DisplayMode& mode);

enum Dx7DialogResult {
    DX7_DIALOG_OK,
    DX7_DIALOG_CANCEL,
    DX7_DIALOG_FAILED,  // the dialog could not start
};

// Shows "Select Device" (resource IDD_SELECT_DEVICE of the instance) owned by
// window, starting from *choice; on OK *choice holds the new choice.
Dx7DialogResult AskDevice(HINSTANCE instance, HWND window, const Dx7DeviceList& list,
                          Dx7DeviceChoice* choice);

#endif
