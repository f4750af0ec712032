#include "releaseimages.h"

#include "firmwarerelease.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The release's texts, under its name for a translator.
class ReleaseText
{
    Q_DECLARE_TR_FUNCTIONS(Release)
};

QStringList releaseProblems(const QString &folder)
{
    QStringList problems;
    const QDir dir(folder);
    for (const std::string &path : {fx3ImagePath(Release::versions), fpgaImagePath(Release::versions)}) {
        const QString problem = Release::readImage(dir.filePath(QString::fromStdString(path)));
        if (!problem.isEmpty())
            problems << problem;
    }
    return problems;
}

bool holdsFirmwareFolder(const QString &folder)
{
    return !folder.isEmpty() && QFileInfo(QDir(folder).filePath(Release::folderName())).isDir();
}

} // namespace

QString Release::readImage(const QString &path, QByteArray *content)
{
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
    if (!info.exists())
        return ReleaseText::tr("Firmware image not found: %1").arg(shown);
    // Reading it is the only sure test of whether it can be read: on
    // Windows, file permissions are not what they seem.
    QFile file(path);
    QByteArray bytes;
    if (info.isFile() && file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!info.isFile() || !file.isOpen() || file.error() != QFileDevice::NoError || bytes.size() != file.size())
        return ReleaseText::tr("Firmware image cannot be read: %1").arg(shown);
    const QByteArray expected = builtDigests().value(info.fileName());
    if (expected.isEmpty() || QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() != expected)
        return ReleaseText::tr("Firmware image is not the release's image: %1").arg(shown);
    if (content)
        *content = bytes;
    return QString();
}

QString Release::FolderChoice::imageFolder() const
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(folder).filePath(folderName())));
}

Release::FolderChoice Release::chooseFolder(const QString &workingFolder, const QString &programFolder)
{
    FolderChoice working{QDir(workingFolder).absolutePath(), releaseProblems(workingFolder)};
    if (working.problems.isEmpty() || programFolder.isEmpty() || QDir(workingFolder) == QDir(programFolder))
        return working;
    FolderChoice program{QDir(programFolder).absolutePath(), releaseProblems(programFolder)};
    if (program.problems.isEmpty())
        return program;
    // Neither is intact: name the files of the one that is meant to hold it.
    return !holdsFirmwareFolder(workingFolder) && holdsFirmwareFolder(programFolder) ? program : working;
}
