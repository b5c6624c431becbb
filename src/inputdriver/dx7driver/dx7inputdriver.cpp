#define DIRECTINPUT_VERSION 0x0700
#include "inputdriver/dx7driver/dx7inputdriver.h"

#include <dinput.h>

#include "input/inputerrors.h"
#include "utility/log.h"

namespace {

// DirectInput's record is the engine's DeviceRecord field for field; the
// 64-bit headers add the application data word, so copy rather than alias.
int32_t ReadDevice(IDirectInputDevice7A* device, DeviceRecord* records, uint32_t* count) {
    DIDEVICEOBJECTDATA data[MOUSE_BUFFER_SIZE];
    DWORD n = *count;
    if (n > MOUSE_BUFFER_SIZE) n = MOUSE_BUFFER_SIZE;
    HRESULT result = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &n, 0);
    if (FAILED(result)) {
        *count = 0;
        return static_cast<int32_t>(result);
    }
    for (DWORD i = 0; i < n; ++i) {
        records[i].offset = data[i].dwOfs;
        records[i].data = data[i].dwData;
        records[i].timestamp = data[i].dwTimeStamp;
        records[i].sequence = data[i].dwSequence;
    }
    *count = n;
    return static_cast<int32_t>(result);
}

bool SetBufferSize(IDirectInputDevice7A* device, DWORD size) {
    DIPROPDWORD property;
    property.diph.dwSize = sizeof(DIPROPDWORD);
    property.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    property.diph.dwObj = 0;
    property.diph.dwHow = DIPH_DEVICE;
    property.dwData = size;
    return SUCCEEDED(device->SetProperty(DIPROP_BUFFERSIZE, &property.diph));
}

void Release(IDirectInputDevice7A** device) {
    if (!*device) return;
    (*device)->Unacquire();
    (*device)->Release();
    *device = nullptr;
}

}  // namespace

Dx7InputDriver::Dx7InputDriver(bool* ok, HWND window, HINSTANCE instance, InputFeed* feed)
    : BufferedInputDriver(feed) {
    *ok = false;
    void* created = nullptr;
    if (FAILED(DirectInputCreateEx(instance, 0x0700, IID_IDirectInput7A, &created, nullptr))) {
        LogLine("Couldn't create IDIRECTINPUT7 object");
        return;
    }
    direct_input_ = static_cast<IDirectInput7A*>(created);
    ClearKeyboard();
    if (!CreateKeyboard(window)) return;
    keyboardBufferSize = KEYBOARD_BUFFER_SIZE;
    int32_t result = AcquireKeyboardSource();
    if (result < 0) LogLine("Couldn't aquire keyboard (%s)", InputErrorText(result).c_str());

    mouseBufferSize = MOUSE_BUFFER_SIZE;
    ClearMouse();
    SetMouseRange(0, 0, 0, 0, 0, 0);
    SetMouseScale(1.0, 1.0, 1.0);
    if (!CreateMouse(window)) return;
    result = AcquireMouseSource();
    if (result < 0) LogLine("Couldn't aquire mouse (%s).", InputErrorText(result).c_str());
    *ok = true;
}

bool Dx7InputDriver::CreateKeyboard(HWND window) {
    void* created = nullptr;
    if (FAILED(
            direct_input_->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A, &created, nullptr))) {
        LogLine("Couldn't create keyboard device ");
        return false;
    }
    keyboard_device_ = static_cast<IDirectInputDevice7A*>(created);
    if (FAILED(keyboard_device_->SetDataFormat(&c_dfDIKeyboard))) {
        LogLine("Couldn't set dataformat for keyboard ");
        return false;
    }
    if (FAILED(keyboard_device_->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND))) {
        LogLine("Couldn't set cooperative level for keyboard ");
        return false;
    }
    if (!SetBufferSize(keyboard_device_, KEYBOARD_BUFFER_SIZE)) {
        LogLine("Couldn't set buffer size for keyboard");
        return false;
    }
    return true;
}

bool Dx7InputDriver::CreateMouse(HWND window) {
    void* created = nullptr;
    if (FAILED(direct_input_->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A, &created, nullptr))) {
        LogLine("Couldn't create mouse device.");
        return false;
    }
    mouse_device_ = static_cast<IDirectInputDevice7A*>(created);
    if (FAILED(mouse_device_->SetDataFormat(&c_dfDIMouse))) {
        LogLine("Couldn't set dataformat for mouse.");
        return false;
    }
    if (FAILED(mouse_device_->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND))) {
        LogLine("Couldn't set cooperative level for mouse.");
        return false;
    }
    if (!SetBufferSize(mouse_device_, MOUSE_BUFFER_SIZE)) {
        LogLine("Couldn't set buffer size for mouse.");
        return false;
    }
    return true;
}

Dx7InputDriver::~Dx7InputDriver() {
    Release(&keyboard_device_);
    Release(&mouse_device_);
    if (direct_input_) direct_input_->Release();
}

int32_t Dx7InputDriver::ReadKeyboardData(DeviceRecord* records, uint32_t* count) {
    return ReadDevice(keyboard_device_, records, count);
}

int32_t Dx7InputDriver::ReadMouseData(DeviceRecord* records, uint32_t* count) {
    return ReadDevice(mouse_device_, records, count);
}

int32_t Dx7InputDriver::AcquireKeyboardDevice() { return static_cast<int32_t>(keyboard_device_->Acquire()); }

int32_t Dx7InputDriver::AcquireMouseDevice() { return static_cast<int32_t>(mouse_device_->Acquire()); }

void Dx7InputDriver::UnacquireKeyboardDevice() {
    if (keyboard_device_) keyboard_device_->Unacquire();
}

void Dx7InputDriver::UnacquireMouseDevice() {
    if (mouse_device_) mouse_device_->Unacquire();
}

bool CreateDx7InputDriver(HWND window, HINSTANCE instance, InputFeed* feed) {
    bool ok = false;
    Dx7InputDriver* driver = new Dx7InputDriver(&ok, window, instance, feed);
    if (!ok) {
        delete driver;
        return false;
    }
    g_inputdriver = driver;
    return true;
}
