#include "checkversionthread.h"

#include "firmwarerelease.h"

#include <orv_api.h>

namespace {
constexpr int32_t listCapacity = 8;
}

CheckVersionThread::~CheckVersionThread() = default;

void CheckVersionThread::run()
{
    int32_t serialNumbers[listCapacity] = {};
    int32_t count = listCapacity;
    orvConfigNetGetDeviceList(serialNumbers, &count);
    if (count < 1) {
        deviceInfo.state = NoDevice;
        return;
    }

    int32_t handle = -1;
    if (orvConfigNetOpenDevice(&handle, serialNumbers[0]) != 0) {
        deviceInfo.state = NoDevice;
        return;
    }

    int32_t firmwareVersion = 0;
    orvConfigNetGetFirmwareVersion(handle, &firmwareVersion);
    int32_t fpgaStatus = 0;
    orvConfigNetGetFPGAStatus(handle, &fpgaStatus);

    if (fpgaStatus == Release::fpgaLoadFailed) {
        emit updateText(tr("FPGA failed to load."));
        deviceInfo.state = NeedsRestore;
    } else {
        deviceInfo.state = Ready;
    }
    orvConfigNetCloseDevice(handle);

    const VersionPair current = reportedVersions(firmwareVersion);
    deviceInfo.fx3Version = current.fx3;
    deviceInfo.fpgaVersion = current.fpga;
    deviceInfo.targetFx3Version = Release::versions.fx3;
    deviceInfo.targetFpgaVersion = Release::versions.fpga;
    deviceInfo.serialNumber = serialNumbers[0];
}
