// A buffered input device as DirectInput presents one: a fixed number of
// event records waits between two reads; events that arrive while the buffer
// is full are lost and the next read says so (DI_BUFFEROVERFLOW) but still
// returns what was kept. A device gives data only while acquired; events
// that arrive while it is not are not recorded.
//
// Drivers without DirectInput (SDL) keep one queue per device and push their
// platform's events into it; the engine's reads then see exactly what a
// DirectInput device would hand them. A replay is pushed the same way, into
// queues of the buffered driver's own that stand in for any device
// (input/bufferedinputdriver.h), and so are the tests' events.
#ifndef ZENDAR_INPUT_DEVICEQUEUE_H
#define ZENDAR_INPUT_DEVICEQUEUE_H

#include <cstdint>

// One buffered event, as DirectInput's DIDEVICEOBJECTDATA: what changed
// (the key code, or the mouse axis or button offset), the new data, the
// time stamp in milliseconds and the device's sequence number.
struct DeviceRecord {
    uint32_t offset;
    uint32_t data;
    uint32_t timestamp;
    uint32_t sequence;
};

// Mouse record offsets (DIMOFS_*).
enum : uint32_t {
    MOUSE_OFFSET_X = 0,
    MOUSE_OFFSET_Y = 4,
    MOUSE_OFFSET_Z = 8,
    MOUSE_OFFSET_BUTTON0 = 12,
    MOUSE_OFFSET_BUTTON3 = 15,
};

// Button and key data: bit 7 set while down.
constexpr uint32_t kDevicePressed = 0x80;

class DeviceQueue {
public:
    // capacity: the device's buffer size (at least 1).
    explicit DeviceQueue(int capacity);
    ~DeviceQueue();
    DeviceQueue(const DeviceQueue&) = delete;
    DeviceQueue& operator=(const DeviceQueue&) = delete;

    int Capacity() const { return capacity; }
    int Pending() const { return used; }
    bool Acquired() const { return acquired; }

    // Acquiring starts with an empty buffer; so does unacquiring.
    void Acquire();
    void Unacquire();
    // The device was taken away (focus loss): the next read fails with
    // DIERR_INPUTLOST and the device stays unacquired until acquired again.
    void Lose();

    // Records one event (stamped with the next sequence number) if the device
    // is acquired; when the buffer is full the event is lost. False when the
    // event was not recorded.
    bool Push(uint32_t offset, uint32_t data, uint32_t timestamp);

    // Takes up to *count records, oldest first, into records; *count becomes
    // the number taken. DI_OK, DI_BUFFEROVERFLOW (events were lost since the
    // last read), DIERR_INPUTLOST or DIERR_NOTACQUIRED (*count is then 0).
    int32_t Read(DeviceRecord* records, uint32_t* count);

private:
    DeviceRecord* buffer;
    int capacity;
    int first = 0;
    int used = 0;
    uint32_t sequence = 0;
    bool acquired = false;
    bool lost = false;
    bool overflowed = false;
};

// The records a device makes for a key, a mouse motion (one record per axis
// that moved: x, y, then the wheel) and a mouse button. False when the queue
// did not record them all (not acquired, full, a code out of range).
bool PushKeyRecord(DeviceQueue& keyboard, int code, bool pressed, uint32_t timestamp);
bool PushMotionRecords(DeviceQueue& mouse, int dx, int dy, int dz, uint32_t timestamp);
bool PushButtonRecord(DeviceQueue& mouse, int button, bool pressed, uint32_t timestamp);

#endif
