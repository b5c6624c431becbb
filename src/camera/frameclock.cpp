#include "camera/frameclock.h"

FrameClock g_frameClock;
