#include "updatedevicethread.h"

#include "firmwarerelease.h"
#include "releaseimages.h"
#include "writenote.h"

#include <orv_api.h>

namespace {
constexpr unsigned long pauseMs = 32;
}

UpdateDeviceThread::~UpdateDeviceThread() = default;

void UpdateDeviceThread::run()
{
    succeeded = false;

    const VersionPair target{deviceInfo.targetFx3Version, deviceInfo.targetFpgaVersion};
    const bool writeFx3 = deviceInfo.fx3Version != target.fx3;
    const bool writeFpga = deviceInfo.fpgaVersion != target.fpga;

    std::vector<std::string> images;
    if (writeFx3)
        images.push_back(fx3ImagePath(target));
    if (writeFpga)
        images.push_back(fpgaImagePath(target));
    const QString problem = Release::imageProblem(images);
    if (!problem.isEmpty()) {
        emit addLine(problem);
        return;
    }

    int32_t handle = -1;
    if (orvConfigNetOpenDevice(&handle, deviceInfo.serialNumber) != 0) {
        emit addLine(tr("Cannot Find Device"));
        return;
    }

    // Before the first erase: a write cut off from here on is remembered.
    WriteNoteGuard note(deviceInfo.serialNumber);
    if (writeFx3 || writeFpga) {
        const QString problem = note.begin(target, writeFx3, writeFpga);
        if (!problem.isEmpty())
            emit addLine(tr("This update is not noted on this PC: %1.").arg(problem));
    }

    if (!writeFx3) {
        emit addLine(tr("Skipping FX3, already current version."));
        msleep(pauseMs);
    } else {
        emit addLine(tr("Updating FX3, estimated 20 seconds."));
        if (orvConfigNetClearFx3(handle) != 0) {
            emit addLine(tr("Failed Clearing"));
            return;
        }
        const std::string path = fx3ImagePath(target);
        if (orvConfigNetWriteFx3(handle, path.c_str(), deviceInfo.serialNumber) != 0) {
            emit addLine(tr("Failed Writing"));
            return;
        }
    }

    if (!writeFpga) {
        emit addLine(tr("Skipping FPGA, already current version."));
        msleep(pauseMs);
    } else {
        emit addLine(tr("Updating FPGA, estimated 10 minutes."));
        if (orvConfigNetClearFPGA(handle) != 0) {
            emit addLine(tr("Failed Clearing"));
            return;
        }
        const std::string path = fpgaImagePath(target);
        if (orvConfigNetWriteFGPA(handle, path.c_str()) != 0) {
            emit addLine(tr("Failed Writing"));
            return;
        }
    }

    orvConfigNetPreset(handle);
    note.succeeded();
    succeeded = true;
}
