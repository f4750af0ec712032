#include "releaseimages.h"

#include "firmwarerelease.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex digestsMutex;
QString startedIn;
QString programIn;

Release::ImageDigests &digests()
{
    static Release::ImageDigests current = Release::builtDigests();
    return current;
}

QByteArray expectedDigest(const QString &fileName)
{
    const QMutexLocker lock(&digestsMutex);
    return digests().value(fileName);
}

// The release's texts, under its name for a translator.
class ReleaseText
{
    Q_DECLARE_TR_FUNCTIONS(Release)
};

} // namespace

void Release::setImageDigests(const ImageDigests &imageDigests)
{
    const QMutexLocker lock(&digestsMutex);
    digests() = imageDigests;
}

QString Release::imageProblem(const std::vector<std::string> &imagePaths)
{
    for (const std::string &path : imagePaths) {
        const QFileInfo info(QString::fromStdString(path));
        const QString shown = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
        if (!info.exists())
            return ReleaseText::tr("Firmware image not found: %1").arg(shown);
        // Reading it is the only sure test of whether it can be read: on
        // Windows, file permissions are not what they seem.
        QFile file(info.filePath());
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!info.isFile() || !file.open(QIODevice::ReadOnly) || !hash.addData(&file)
            || file.error() != QFileDevice::NoError)
            return ReleaseText::tr("Firmware image cannot be read: %1").arg(shown);
        const QByteArray expected = expectedDigest(info.fileName());
        if (expected.isEmpty() || hash.result().toHex() != expected)
            return ReleaseText::tr("Firmware image is not the release's image: %1").arg(shown);
    }
    return QString();
}

QStringList Release::releaseProblems(const QString &workingFolder)
{
    QStringList problems;
    const QDir folder(workingFolder);
    for (const std::string &path : {fx3ImagePath(versions), fpgaImagePath(versions)}) {
        const QString problem = imageProblem({folder.filePath(QString::fromStdString(path)).toStdString()});
        if (!problem.isEmpty())
            problems << problem;
    }
    return problems;
}

bool Release::findFolder(const QString &programFolder)
{
    startedIn = QDir::currentPath();
    programIn = programFolder;
    if (QFileInfo(QDir::current().filePath(folderName())).isDir())
        return false;
    const QDir program(programFolder);
    if (!QFileInfo(program.filePath(folderName())).isDir())
        return false;
    return QDir::setCurrent(program.absolutePath());
}

Release::FolderChoice Release::chooseFolder(const QString &workingFolder, const QString &programFolder)
{
    FolderChoice working{workingFolder, releaseProblems(workingFolder)};
    if (working.problems.isEmpty() || programFolder.isEmpty() || QDir(workingFolder) == QDir(programFolder))
        return working;
    FolderChoice program{QDir(programFolder).absolutePath(), releaseProblems(programFolder)};
    return program.problems.isEmpty() ? program : working;
}

QString Release::startFolder()
{
    return startedIn.isEmpty() ? QDir::currentPath() : startedIn;
}

QString Release::programFolder()
{
    return programIn;
}
