#include "writestart.h"

#include <QDir>
#include <QFileInfo>

namespace {

std::vector<std::string> imagePaths(VersionPair target, bool fx3, bool fpga)
{
    std::vector<std::string> paths;
    if (fx3)
        paths.push_back(fx3ImagePath(target));
    if (fpga)
        paths.push_back(fpgaImagePath(target));
    return paths;
}

QString fullPath(const std::string &path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(QString::fromStdString(path)).absoluteFilePath()));
}

} // namespace

WriteStart::WriteStart(VersionPair target, bool fx3, bool fpga)
    : target(target)
    , fx3(fx3)
    , fpga(fpga)
    , copies(imagePaths(target, fx3, fpga))
{
}

QStringList WriteStart::noteWrite(int32_t serialNumber, const QString &cannotStart,
                                  std::function<void(const QString &)> tell)
{
    QStringList writes;
    if (fx3)
        writes << tr("FX3 %1 from %2").arg(target.fx3).arg(fullPath(fx3ImagePath(target)));
    if (fpga)
        writes << tr("FPGA %1 from %2").arg(target.fpga).arg(fullPath(fpgaImagePath(target)));
    note.emplace(serialNumber, std::move(tell));
    const QString problem = note->begin(writes.join(QStringLiteral(", ")));
    if (problem.isEmpty())
        return {};
    return {cannotStart, tr("Why: %1.").arg(problem),
            tr("Free disk space, or run the firmware updater as a user who can write to %1.")
                .arg(QDir::toNativeSeparators(WriteNote::folder()))};
}

void WriteStart::succeeded()
{
    if (note)
        note->succeeded();
}
