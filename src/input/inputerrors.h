// DirectInput's result codes, the words the device layer of every input
// driver answers in (the SDL driver speaks them too, so that the logging and
// the retry logic are the same on every platform), and their descriptions.
#ifndef ZENDAR_INPUT_INPUTERRORS_H
#define ZENDAR_INPUT_INPUTERRORS_H

#include <cstdint>

#include "utility/zstring.h"

#ifndef DI_OK

enum : int32_t {
    DI_OK = 0,
    DI_BUFFEROVERFLOW = 1,  // also DI_NOTATTACHED, DI_PROPNOEFFECT, DI_NOEFFECT
    DI_POLLEDDEVICE = 2,
    DIERR_UNSUPPORTED = static_cast<int32_t>(0x80004001u),
    DIERR_NOINTERFACE = static_cast<int32_t>(0x80004002u),
    DIERR_GENERIC = static_cast<int32_t>(0x80004005u),
    DIERR_PENDING = static_cast<int32_t>(0x8000000Au),
    DIERR_DEVICENOTREG = static_cast<int32_t>(0x80040154u),
    DIERR_INSUFFICIENTPRIVS = static_cast<int32_t>(0x80040200u),
    DIERR_DEVICEFULL = static_cast<int32_t>(0x80040201u),
    DIERR_MOREDATA = static_cast<int32_t>(0x80040202u),
    DIERR_NOTDOWNLOADED = static_cast<int32_t>(0x80040203u),
    DIERR_HASEFFECTS = static_cast<int32_t>(0x80040204u),
    DIERR_NOTEXCLUSIVEACQUIRED = static_cast<int32_t>(0x80040205u),
    DIERR_INCOMPLETEEFFECT = static_cast<int32_t>(0x80040206u),
    DIERR_NOTBUFFERED = static_cast<int32_t>(0x80040207u),
    DIERR_EFFECTPLAYING = static_cast<int32_t>(0x80040208u),
    DIERR_UNPLUGGED = static_cast<int32_t>(0x80040209u),
    DIERR_REPORTFULL = static_cast<int32_t>(0x8004020Au),
    DIERR_NOTFOUND = static_cast<int32_t>(0x80070002u),
    DIERR_OTHERAPPHASPRIO = static_cast<int32_t>(0x80070005u),  // also DIERR_READONLY, DIERR_HANDLEEXISTS
    DIERR_NOTACQUIRED = static_cast<int32_t>(0x8007000Cu),
    DIERR_OUTOFMEMORY = static_cast<int32_t>(0x8007000Eu),
    DIERR_NOTINITIALIZED = static_cast<int32_t>(0x80070015u),
    DIERR_INPUTLOST = static_cast<int32_t>(0x8007001Eu),
    DIERR_INVALIDPARAM = static_cast<int32_t>(0x80070057u),
    DIERR_BADDRIVERVER = static_cast<int32_t>(0x80070077u),
    DIERR_ACQUIRED = static_cast<int32_t>(0x800700AAu),
    DIERR_OLDDIRECTINPUTVERSION = static_cast<int32_t>(0x8007047Eu),
    DIERR_BETADIRECTINPUTVERSION = static_cast<int32_t>(0x80070481u),
    DIERR_ALREADYINITIALIZED = static_cast<int32_t>(0x800704DFu),
};

#endif

// The description of a result code for the log; an unknown code gives
// "N/A -" and the code as eight upper-case hexadecimal digits.
String InputErrorText(int32_t result);

#endif
