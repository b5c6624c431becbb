// An input driver whose devices are two event queues (input/devicequeue.h):
// whatever stands in for DirectInput pushes key, motion and button events,
// and the buffered reads take them exactly as they would take a DirectInput
// device's data, with the same buffer sizes and overflow behaviour. The SDL
// driver feeds it from SDL's events; tests feed it directly.
#ifndef ZENDAR_INPUT_QUEUEINPUTDRIVER_H
#define ZENDAR_INPUT_QUEUEINPUTDRIVER_H

#include <cstdint>

#include "input/bufferedinputdriver.h"
#include "input/devicequeue.h"

class QueueInputDriver : public BufferedInputDriver {
public:
    // Both devices start acquired, as a driver does when it is created. feed:
    // recorded input in place of the queues (input/bufferedinputdriver.h).
    explicit QueueInputDriver(InputFeed* feed = nullptr);
    ~QueueInputDriver() override;

    // Events as the devices record them; the time stamp defaults to the
    // milliseconds clock. False when the device did not record the event
    // (not acquired, buffer full, bad code).
    bool PushKey(int code, bool pressed);
    bool PushKey(int code, bool pressed, uint32_t timestamp);
    // One record per axis that moved (x, y, then the wheel); true when all
    // were recorded.
    bool PushMouseMotion(int dx, int dy, int dz);
    bool PushMouseMotion(int dx, int dy, int dz, uint32_t timestamp);
    bool PushMouseButton(int button, bool pressed);
    bool PushMouseButton(int button, bool pressed, uint32_t timestamp);

    DeviceQueue& Keyboard() { return keyboard; }
    DeviceQueue& Mouse() { return mouse; }

protected:
    int32_t ReadKeyboardData(DeviceRecord* records, uint32_t* count) override;
    int32_t ReadMouseData(DeviceRecord* records, uint32_t* count) override;
    int32_t AcquireKeyboardDevice() override;
    int32_t AcquireMouseDevice() override;
    void UnacquireKeyboardDevice() override;
    void UnacquireMouseDevice() override;

    DeviceQueue keyboard;
    DeviceQueue mouse;
};

#endif
