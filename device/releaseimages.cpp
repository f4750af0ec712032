#include "releaseimages.h"

#include "firmwarerelease.h"

#include <QDir>
#include <QFileInfo>

QString Release::imageProblem(const std::vector<std::string> &imagePaths)
{
    for (const std::string &path : imagePaths) {
        const QString name = QString::fromStdString(path);
        const QFileInfo file(name);
        if (!file.exists())
            return QObject::tr("Firmware image not found: %1").arg(name);
        if (!file.isFile() || !file.isReadable())
            return QObject::tr("Firmware image cannot be read: %1").arg(name);
        if (file.size() == 0)
            return QObject::tr("Firmware image is empty: %1").arg(name);
    }
    return QString();
}

bool Release::findFolder(const QString &programFolder)
{
    if (QFileInfo(QDir::current().filePath(folderName())).isDir())
        return false;
    const QDir program(programFolder);
    if (!QFileInfo(program.filePath(folderName())).isDir())
        return false;
    return QDir::setCurrent(program.absolutePath());
}
