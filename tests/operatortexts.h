#ifndef OPERATORTEXTS_H
#define OPERATORTEXTS_H

// What the updater tells the operator, word for word as it writes it: the
// tests hold the log, the workers' lines and the dialogs to these.

#include "simulator.h"

#include <QColor>
#include <QMap>
#include <QString>
#include <QStringList>

namespace testsupport {

// The banner fills the log's first paragraphs; one of them, the warning
// against unplugging, is red.
constexpr int bannerLength = 11;
constexpr int bannerRedLine = 9;

const QColor successColour(34, 177, 76);
const QColor failureColour(Qt::red);

const QStringList checkHeader = {"", "Checking Firmware Versions...", ""};
const QStringList updateHeader = {"", "Updating Firmware", ""};
const QStringList restoreHeader = {"", "Restoring Device", ""};

const QString checkBusyLabel = "Checking firmware version\nEstimated 30 seconds\nPlease Wait";
const QString updateBusyLabel = "Updating Device\nDO NOT UNPLUG THE DEVICE\nThis process can take several minutes\nPlease Wait...";
const QString restoreBusyLabel = "Performing Device Restore\nDO NOT UNPLUG DEVICE\nThis process will take up to 10 minutes\nPlease Wait...";

// A check that could open nothing, and then found nothing to bootstrap.
const QStringList bootstrapLines = {"Failed to open boot device.", "Looking to bootstrap device."};
const QStringList noDeviceLines = {"Failed to detect device.",
                                   "Cycle the power on the device, restart the firmware updater,  and try again.",
                                   "If you continue to receive this message, contact Tessaly."};
const QString bootstrappedSerial = "Found serial 25203003";
// The typical device, checked once it holds the release.
const QStringList upToDate = {"Found ORV1600", "Serial 25203117, with firmware 7.7.9",
                              "Firmware does not require update."};

// The result of a write: its first line in colour, the rest in the palette's.
const QStringList success = {"Firmware updated successfully.", "You may now close the software."};
const QStringList failure = {"Firmware updated unsuccessfully.", "Check device connections and re-run the software.",
                             "If problem persists, contact Tessaly.", "You may now close the software."};

// The faults of the updater's own images, each followed by the image's
// path, and what ends them instead of advice on the device.
const QString imageNotFound = "Firmware image not found: ";
const QString imageNotTheRelease = "Firmware image is not the release's image: ";
const QString imageUnreadable = "Firmware image cannot be read: ";
const QStringList damagedAdvice = {
    "The firmware updater's own files are damaged.",
    "Copy the firmware updater's folder again from its package, and run it from there.",
    "If problem persists, contact Tessaly."};
// Said at a check, once the advice above was given.
const QString damagedReleaseAtCheck =
    "Nothing can be written to the device: the firmware updater's own files are damaged, as said above.";

// The write workers' lines; their FPGA line is the same.
const QString updatingFx3 = "Updating FX3, estimated 20 seconds.";
const QString restoringFx3 = "Updating FX3 program, estimated 10 seconds.";
const QString updatingFpga = "Updating FPGA, estimated 10 minutes.";
const QString skippingFx3 = "Skipping FX3, already current version.";
const QString skippingFpga = "Skipping FPGA, already current version.";
const QString unableToFindDevice = "Unable to find device.";
const QString failedToOpenDevice = "Failed to open device.";

} // namespace testsupport

#endif
