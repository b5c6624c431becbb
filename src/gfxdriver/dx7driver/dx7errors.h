// DirectDraw result codes as text for the driver's log lines and boxes: the
// descriptions DirectX 7 publishes for its DirectDraw error codes.
#ifndef ZENDAR_GFXDRIVER_DX7DRIVER_DX7ERRORS_H
#define ZENDAR_GFXDRIVER_DX7DRIVER_DX7ERRORS_H

#include <cstdint>
#include <string>

// The description of a DirectDraw result code; a code it does not know
// becomes "N/A - " and the code as eight hexadecimal digits.
std::string DDErrorText(int32_t code);

#endif
