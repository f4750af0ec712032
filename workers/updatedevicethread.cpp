#include "updatedevicethread.h"

#include "firmwarerelease.h"
#include "writestart.h"

#include <orv_api.h>

namespace {
constexpr unsigned long pauseMs = 32;
}

UpdateDeviceThread::~UpdateDeviceThread() = default;

void UpdateDeviceThread::run()
{
    succeeded = false;
    result = WriteResult();

    const VersionPair target{deviceInfo.targetFx3Version, deviceInfo.targetFpgaVersion};
    const bool writeFx3 = deviceInfo.fx3Version != target.fx3;
    const bool writeFpga = deviceInfo.fpgaVersion != target.fpga;

    WriteStart start(target, writeFx3, writeFpga);
    if (!start.images().problem().isEmpty()) {
        result.stop = start.images().releaseDamaged() ? WriteResult::Stop::ReleaseDamaged : WriteResult::Stop::ThisPc;
        emit addStatusLine(start.images().problem(), false);
        return;
    }

    int32_t handle = -1;
    if (orvConfigNetOpenDevice(&handle, deviceInfo.serialNumber) != 0) {
        result.stop = WriteResult::Stop::Device;
        emit addLine(tr("Cannot Find Device"));
        return;
    }

    // Before the first erase: a write cut off from here on is remembered,
    // and one that could not be is not begun.
    if (writeFx3 || writeFpga) {
        const QStringList problem =
            start.noteWrite(deviceInfo.serialNumber,
                            tr("The update cannot start: this PC cannot keep the note that protects "
                               "the device if the update is cut off."),
                            [this](const QString &s) { emit addStatusLine(s, false); });
        if (!problem.isEmpty()) {
            result.stop = WriteResult::Stop::ThisPc;
            for (const QString &line : problem)
                emit addStatusLine(line, false);
            return;
        }
    }
    result.stop = WriteResult::Stop::Device;

    if (!writeFx3) {
        emit addLine(tr("Skipping FX3, already current version."));
        msleep(pauseMs);
    } else {
        emit addLine(tr("Updating FX3, estimated 20 seconds."));
        result.fx3 = WriteResult::Store::EraseFailed;
        if (orvConfigNetClearFx3(handle) != 0) {
            emit addLine(tr("Failed Clearing"));
            return;
        }
        result.fx3 = WriteResult::Store::Erased;
        if (orvConfigNetWriteFx3(handle, start.images().path(fx3ImagePath(target)), deviceInfo.serialNumber) != 0) {
            emit addLine(tr("Failed Writing"));
            return;
        }
        result.fx3 = WriteResult::Store::Written;
    }

    if (!writeFpga) {
        emit addLine(tr("Skipping FPGA, already current version."));
        msleep(pauseMs);
    } else {
        emit addLine(tr("Updating FPGA, estimated 10 minutes."));
        result.fpga = WriteResult::Store::EraseFailed;
        if (orvConfigNetClearFPGA(handle) != 0) {
            emit addLine(tr("Failed Clearing"));
            return;
        }
        result.fpga = WriteResult::Store::Erased;
        if (orvConfigNetWriteFGPA(handle, start.images().path(fpgaImagePath(target))) != 0) {
            emit addLine(tr("Failed Writing"));
            return;
        }
        result.fpga = WriteResult::Store::Written;
    }

    orvConfigNetPreset(handle);
    start.succeeded();
    result.stop = WriteResult::Stop::None;
    succeeded = true;
}
