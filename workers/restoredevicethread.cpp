#include "restoredevicethread.h"

#include "firmwarerelease.h"
#include "writestart.h"

#include <orv_api.h>

namespace {
constexpr unsigned long pauseMs = 32;
}

RestoreDeviceThread::~RestoreDeviceThread() = default;

void RestoreDeviceThread::run()
{
    succeeded = false;
    result = WriteResult();

    const VersionPair target{deviceInfo.targetFx3Version, deviceInfo.targetFpgaVersion};
    WriteStart start(target, true, true);
    if (!start.images().problem().isEmpty()) {
        result.stop = start.images().releaseDamaged() ? WriteResult::Stop::ReleaseDamaged : WriteResult::Stop::ThisPc;
        emit addStatusLine(start.images().problem(), false);
        return;
    }

    result.stop = WriteResult::Stop::Device;
    int32_t serialNumbers[1] = {};
    int32_t count = 1;
    orvConfigNetGetDeviceList(serialNumbers, &count);
    if (count != 1) {
        emit addLine(tr("Unable to find device."));
        msleep(pauseMs);
        return;
    }

    int32_t handle = -1;
    if (orvConfigNetOpenDevice(&handle, serialNumbers[0]) != 0) {
        emit addLine(tr("Failed to open device."));
        msleep(pauseMs);
        return;
    }

    // Before the first erase: a write cut off from here on is remembered,
    // and one that could not be is not begun.
    const auto tell = [this](const QString &s) { emit addStatusLine(s, false); };
    const QStringList problem = start.noteWrite(
        deviceInfo.serialNumber,
        tr("The restore cannot start: this PC cannot keep the note that protects the device if the restore is "
           "cut off."),
        tell);
    if (!problem.isEmpty()) {
        result.stop = WriteResult::Stop::ThisPc;
        for (const QString &line : problem)
            emit addStatusLine(line, false);
        return;
    }

    emit addLine(tr("Updating FX3 program, estimated 10 seconds."));
    result.fx3 = WriteResult::Store::EraseFailed;
    if (orvConfigNetClearFx3(handle) != 0) {
        emit addLine(tr("Failed clearing boot FX3 device."));
        return;
    }
    result.fx3 = WriteResult::Store::Erased;
    if (orvConfigNetWriteFx3(handle, start.images().path(fx3ImagePath(target)), deviceInfo.serialNumber) != 0) {
        emit addLine(tr("Failed writing FX3."));
        return;
    }
    result.fx3 = WriteResult::Store::Written;

    emit addLine(tr("Updating FPGA, estimated 10 minutes."));
    result.fpga = WriteResult::Store::EraseFailed;
    if (orvConfigNetClearFPGA(handle) != 0) {
        emit addLine(tr("Failed clearing FPGA."));
        return;
    }
    result.fpga = WriteResult::Store::Erased;
    if (orvConfigNetWriteFGPA(handle, start.images().path(fpgaImagePath(target))) != 0) {
        emit addLine(tr("Failed writing FPGA."));
        return;
    }
    result.fpga = WriteResult::Store::Written;

    orvConfigNetPreset(handle);
    start.succeeded();
    // A device brought up from its boot loader is restored under another
    // serial number than the one it is listed by: both are now whole.
    if (serialNumbers[0] != deviceInfo.serialNumber) {
        const QString left = WriteNote::clear(serialNumbers[0]);
        if (!left.isEmpty())
            tell(WriteNote::tr("The note of this write cannot be removed: %1.").arg(left));
    }
    result.stop = WriteResult::Stop::None;
    succeeded = true;
}
