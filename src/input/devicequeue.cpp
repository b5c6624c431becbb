#include "input/devicequeue.h"

#include "input/inputdriver.h"
#include "input/inputerrors.h"

DeviceQueue::DeviceQueue(int capacity_) : capacity(capacity_ < 1 ? 1 : capacity_) {
    buffer = new DeviceRecord[capacity];
}

DeviceQueue::~DeviceQueue() { delete[] buffer; }

void DeviceQueue::Acquire() {
    // Acquiring an acquired device changes nothing (its buffer is kept).
    if (acquired) return;
    acquired = true;
    lost = false;
    first = used = 0;
    overflowed = false;
}

void DeviceQueue::Unacquire() {
    acquired = false;
    lost = false;
    first = used = 0;
    overflowed = false;
}

void DeviceQueue::Lose() {
    if (!acquired) return;
    acquired = false;
    lost = true;
    first = used = 0;
    overflowed = false;
}

bool DeviceQueue::Push(uint32_t offset, uint32_t data, uint32_t timestamp) {
    if (!acquired) return false;
    if (used == capacity) {
        overflowed = true;
        return false;
    }
    DeviceRecord& r = buffer[(first + used) % capacity];
    r.offset = offset;
    r.data = data;
    r.timestamp = timestamp;
    r.sequence = ++sequence;
    ++used;
    return true;
}

int32_t DeviceQueue::Read(DeviceRecord* records, uint32_t* count) {
    uint32_t wanted = count ? *count : 0;
    if (count) *count = 0;
    if (lost) return DIERR_INPUTLOST;
    if (!acquired) return DIERR_NOTACQUIRED;
    if (!records || !count) return DIERR_INVALIDPARAM;
    uint32_t n = 0;
    while (n < wanted && used > 0) {
        records[n++] = buffer[first];
        first = (first + 1) % capacity;
        --used;
    }
    *count = n;
    if (overflowed) {
        overflowed = false;
        return DI_BUFFEROVERFLOW;
    }
    return DI_OK;
}

bool PushKeyRecord(DeviceQueue& keyboard, int code, bool pressed, uint32_t timestamp) {
    if (code < 0 || code >= INPUT_KEY_COUNT) return false;
    return keyboard.Push(static_cast<uint32_t>(code), pressed ? kDevicePressed : 0, timestamp);
}

bool PushMotionRecords(DeviceQueue& mouse, int dx, int dy, int dz, uint32_t timestamp) {
    bool all = true;
    if (dx) all = mouse.Push(MOUSE_OFFSET_X, static_cast<uint32_t>(dx), timestamp) && all;
    if (dy) all = mouse.Push(MOUSE_OFFSET_Y, static_cast<uint32_t>(dy), timestamp) && all;
    if (dz) all = mouse.Push(MOUSE_OFFSET_Z, static_cast<uint32_t>(dz), timestamp) && all;
    return all;
}

bool PushButtonRecord(DeviceQueue& mouse, int button, bool pressed, uint32_t timestamp) {
    if (button < 0 || button >= INPUT_MOUSE_BUTTONS) return false;
    return mouse.Push(MOUSE_OFFSET_BUTTON0 + static_cast<uint32_t>(button), pressed ? kDevicePressed : 0,
                      timestamp);
}
