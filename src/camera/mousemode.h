// The two mouse modes. Look mode turns the camera: x is the yaw (unclamped,
// it winds on), y the vertical look component clamped to half a turn either
// way. Pointer mode moves the conversation cursor over the 640 x 480 screen.
// The mode itself is the world's (World::mouseMode); this is where a switch
// sets the input driver's ranges, scales and position.
#ifndef ZENDAR_CAMERA_MOUSEMODE_H
#define ZENDAR_CAMERA_MOUSEMODE_H

enum MouseMode {
    MOUSE_POINTER = 0,
    MOUSE_LOOK = 1,
};

// Look mode: ranges, scales from mouse_speed_x and mouse_speed_y and the last
// look position back; pointer mode: the screen's ranges and scales, the
// position left where it is; any other value is only stored. Whenever look
// mode is left (or entered again) its position is kept for the next return,
// so the view does not jump.
void SetMouseMode(int mode);
int GetMouseMode();

// The position look mode returns to.
void GetLastLookPosition(double* x, double* y, double* z);

// Forgets the kept look position and the mode held without a world (tests).
void ResetMouseModes();

#endif
