// The device registry: DEVICE_KINDS rows of DEVICE_SLOTS devices, filled by the devices'
// constructors during start-up and emptied at shut-down.
#include "system.h"

static sDevice* devices[DEVICE_KINDS][DEVICE_SLOTS];

// Devices that set no priority of their own (keyboards, the CD-audio device) rank 0, below
// every device that does; among themselves the first registered wins.
sDevice::sDevice() : priority(0) {
    name[0] = 0;
}

sDevice::~sDevice() {}

void ClearDevices() {
    for (int kind = 0; kind < DEVICE_KINDS; kind++)
        for (int slot = 0; slot < DEVICE_SLOTS; slot++) devices[kind][slot] = NULL;
}

void RegisterDevice(int kind, sDevice* device) {
    ASSERT(kind >= 0 && kind < DEVICE_KINDS);
    int slot = 0;
    while (slot < DEVICE_SLOTS && devices[kind][slot]) slot++;
    ASSERT(slot < DEVICE_SLOTS);
    devices[kind][slot] = device;
}

static sDevice* BestDevice(int kind) {
    sDevice* best = NULL;
    for (int slot = 0; slot < DEVICE_SLOTS; slot++) {
        sDevice* d = devices[kind][slot];
        if (d && (!best || d->priority > best->priority)) best = d;
    }
    return best;
}

sDevice* GetDevice(int kind, int slot) {
    ASSERT(kind >= 0 && kind < DEVICE_KINDS);
    if (slot == -1) return BestDevice(kind);
    ASSERT(slot >= 0 && slot < DEVICE_SLOTS);
    return devices[kind][slot];
}

// Display first, CD-audio last. Each slot is emptied before its device goes, so that
// nothing can find a deleted device.
void DeleteDevices() {
    for (int kind = 0; kind < DEVICE_KINDS; kind++) {
        for (int slot = 0; slot < DEVICE_SLOTS; slot++) {
            sDevice* d = devices[kind][slot];
            devices[kind][slot] = NULL;
            delete d;
        }
    }
}
