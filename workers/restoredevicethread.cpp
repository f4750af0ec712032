#include "restoredevicethread.h"

#include "firmwarerelease.h"
#include "releaseimages.h"
#include "writenote.h"

#include <orv_api.h>

namespace {
constexpr unsigned long pauseMs = 32;
}

RestoreDeviceThread::~RestoreDeviceThread() = default;

void RestoreDeviceThread::run()
{
    succeeded = false;

    const VersionPair target{deviceInfo.targetFx3Version, deviceInfo.targetFpgaVersion};
    const QString problem = Release::imageProblem({fx3ImagePath(target), fpgaImagePath(target)});
    if (!problem.isEmpty()) {
        emit addLine(problem);
        return;
    }

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

    // Before the first erase: a write cut off from here on is remembered.
    WriteNoteGuard note(deviceInfo.serialNumber);
    const QString noteProblem = note.begin(target, true, true);
    if (!noteProblem.isEmpty())
        emit addLine(tr("This restore is not noted on this PC: %1.").arg(noteProblem));

    emit addLine(tr("Updating FX3 program, estimated 10 seconds."));
    if (orvConfigNetClearFx3(handle) != 0) {
        emit addLine(tr("Failed clearing boot FX3 device."));
        return;
    }
    {
        const std::string path = fx3ImagePath(target);
        if (orvConfigNetWriteFx3(handle, path.c_str(), deviceInfo.serialNumber) != 0) {
            emit addLine(tr("Failed writing FX3."));
            return;
        }
    }

    emit addLine(tr("Updating FPGA, estimated 10 minutes."));
    if (orvConfigNetClearFPGA(handle) != 0) {
        emit addLine(tr("Failed clearing FPGA."));
        return;
    }
    {
        const std::string path = fpgaImagePath(target);
        if (orvConfigNetWriteFGPA(handle, path.c_str()) != 0) {
            emit addLine(tr("Failed writing FPGA."));
            return;
        }
    }

    orvConfigNetPreset(handle);
    note.succeeded();
    // A device brought up from its boot loader is restored under another
    // serial number than the one it is listed by: both are now whole.
    if (serialNumbers[0] != deviceInfo.serialNumber)
        WriteNote::clear(serialNumbers[0]);
    succeeded = true;
}
