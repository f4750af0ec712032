#include "firmwarerelease.h"

#include "deviceinfo.h"

#include <array>
#include <cstdio>

namespace {

struct TableRow
{
    int32_t firmware;
    int32_t fpga;
};

// The FPGA configuration that ships with each FX3 firmware number.
constexpr std::array<TableRow, 6> fpgaTable{{
    {2, 3}, {3, 5}, {4, 6}, {5, 7}, {6, 8}, {7, 9},
}};

std::string formatPath(const char *format, int32_t version)
{
    char buffer[256] = {};
    std::snprintf(buffer, sizeof buffer, format, static_cast<int>(version));
    return std::string(buffer);
}

} // namespace

QString Release::folderName()
{
    return QStringLiteral("firmware");
}

VersionPair fpgaVersionFor(int32_t reportedFirmwareVersion)
{
    for (const TableRow &row : fpgaTable) {
        if (row.firmware == reportedFirmwareVersion)
            return {row.firmware, row.fpga};
    }
    return {0, 0};
}

VersionPair reportedVersions(int32_t reportedFirmwareVersion)
{
    if (reportedFirmwareVersion > Release::versions.fx3 && fpgaVersionFor(reportedFirmwareVersion).fx3 == 0)
        return {reportedFirmwareVersion, 0};
    return fpgaVersionFor(reportedFirmwareVersion);
}

QString deviceVersionText(int32_t fx3Version, int32_t fpgaVersion)
{
    if (fx3Version > Release::versions.fx3 && fpgaVersion == 0)
        return QString::number(fx3Version);
    return versionText(fx3Version, fpgaVersion);
}

QString versionText(int32_t fx3Version, int32_t fpgaVersion)
{
    return QString::asprintf("%d.%d.%d", static_cast<int>(fx3Version),
                             static_cast<int>(fx3Version), static_cast<int>(fpgaVersion));
}

std::string fx3ImagePath(VersionPair target)
{
    return formatPath("./firmware/ORV-Cypress-v%d.img", target.fx3);
}

std::string fpgaImagePath(VersionPair target)
{
    return formatPath("./firmware/ORV-FPGA-v%d.rbf", target.fpga);
}

VersionVerdict compareVersions(const DeviceInfo &info)
{
    if (info.targetFx3Version < info.fx3Version || info.targetFpgaVersion < info.fpgaVersion)
        return VersionVerdict::DeviceNewer;
    if (info.targetFx3Version > info.fx3Version || info.targetFpgaVersion > info.fpgaVersion)
        return VersionVerdict::UpdateNeeded;
    return VersionVerdict::Current;
}
