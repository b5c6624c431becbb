#include "input/inputerrors.h"

#include <cstdio>

namespace {

struct ErrorText {
    uint32_t code;
    const char* text;
};

// Several DirectInput names share one code; the text is that of the name an
// input driver actually meets.
const ErrorText kErrorTexts[] = {
    {0x00000000u, "The operation completed successfully"},
    {0x00000001u, "The device buffer overflowed and some input was lost"},
    {0x00000002u, "The device is a polled device. Call Poll to read its data"},
    {0x80004001u, "The function called is not supported at this time"},
    {0x80004002u, "The specified interface is not supported by the object"},
    {0x80004005u, "An undetermined error occurred inside the DirectInput subsystem"},
    {0x8000000Au, "Data is not yet available"},
    {0x80040154u, "The device or device instance is not registered with DirectInput"},
    {0x80040200u, "The user does not have sufficient privileges to change the joystick configuration"},
    {0x80040201u, "The device is full"},
    {0x80040202u, "Not all the requested information fitted into the buffer"},
    {0x80040203u, "The effect is not downloaded"},
    {0x80040204u, "The device cannot be reinitialized because there are still effects attached to it"},
    {0x80040205u, "The operation cannot be performed unless the device is acquired in DISCL_EXCLUSIVE mode"},
    {0x80040206u, "The effect could not be downloaded because essential information is missing"},
    {0x80040207u, "The device is not buffered. Set the DIPROP_BUFFERSIZE property to enable buffering"},
    {0x80040208u,
     "The parameters were updated in memory but were not downloaded to the device because the "
     "device does not support updating an effect while it is still playing"},
    {0x80040209u, "The operation could not be completed because the device is not plugged in"},
    {0x8004020Au, "More information was requested to be sent than can be sent to the device"},
    {0x80070002u, "The requested object does not exist"},
    {0x80070005u, "Another application has a higher priority level, preventing this call from succeeding"},
    {0x8007000Cu, "The operation cannot be performed unless the device is acquired"},
    {0x8007000Eu, "The DirectInput subsystem could not allocate sufficient memory to complete the call"},
    {0x80070015u, "This object has not been initialized"},
    {0x8007001Eu, "Access to the input device has been lost. It must be reacquired"},
    {0x80070057u,
     "An invalid parameter was passed to the returning function, or the object was not in a "
     "state that permitted the function to be called"},
    {0x80070077u,
     "The object could not be created due to an incompatible driver version or mismatched or "
     "incomplete driver components"},
    {0x800700AAu, "The operation cannot be performed while the device is acquired"},
    {0x8007047Eu, "The application requires a newer version of DirectInput"},
    {0x80070481u, "The application was written for an unsupported prerelease version of DirectInput"},
    {0x800704DFu, "This object is already initialized"},
};

}  // namespace

String InputErrorText(int32_t result) {
    uint32_t code = static_cast<uint32_t>(result);
    for (const ErrorText& e : kErrorTexts)
        if (e.code == code) return String(e.text);
    char text[32];
    std::snprintf(text, sizeof text, "%s%08X", "N/A -", code);
    return String(text);
}
