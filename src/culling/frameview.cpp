#include "culling/frameview.h"

FrameView g_frameView;
