#ifndef FIRMWARERELEASE_H
#define FIRMWARERELEASE_H

#include <QString>

#include <cstdint>
#include <string>

struct DeviceInfo;

// An FX3 program version and an FPGA configuration version, FX3 first.
struct VersionPair
{
    int32_t fx3 = 0;
    int32_t fpga = 0;
};

// The one release this updater carries, and the device's rules around it.
namespace Release {
constexpr VersionPair versions{7, 9};
// The serial number a device brought up from its boot loader is given.
constexpr int32_t bootstrapSerialNumber = 25203003;
// What orvConfigNetGetFPGAStatus reports when the FPGA did not load.
constexpr int32_t fpgaLoadFailed = 2;
// The folder, under the working directory, that holds the image files.
QString folderName();
}

VersionPair fpgaVersionFor(int32_t reportedFirmwareVersion);
// The pair a reported firmware number stands for: the table's; for a number
// above the release, a device of a later release, that number with an FPGA
// version this release cannot know (0); otherwise 0 and 0.
VersionPair reportedVersions(int32_t reportedFirmwareVersion);
QString versionText(int32_t fx3Version, int32_t fpgaVersion);
// How the operator is shown a device's pair: as versionText, but a device of
// a later release by the number it reported.
QString deviceVersionText(int32_t fx3Version, int32_t fpgaVersion);
std::string fx3ImagePath(VersionPair target);
std::string fpgaImagePath(VersionPair target);

enum class VersionVerdict {
    DeviceNewer,
    UpdateNeeded,
    Current
};

// Compares the device's current pair with its target pair.
VersionVerdict compareVersions(const DeviceInfo &info);

#endif // FIRMWARERELEASE_H
