#ifndef DEVICEINFO_H
#define DEVICEINFO_H

#include <cstdint>

enum DeviceState : int32_t {
    NoDevice = 0,
    NeedsRestore = 1,
    Ready = 2
};

// What the program knows about the attached device; copied by value between
// the panel and the workers.
struct DeviceInfo
{
    DeviceState state = NoDevice;
    int32_t serialNumber = 0;
    int32_t fx3Version = 0;
    int32_t fpgaVersion = 0;
    int32_t targetFx3Version = 0;
    int32_t targetFpgaVersion = 0;
};

#endif // DEVICEINFO_H
