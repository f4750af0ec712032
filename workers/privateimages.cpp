#include "privateimages.h"

#include "releaseimages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

PrivateImages::PrivateImages(const std::vector<std::string> &releasePaths)
{
    for (const std::string &releasePath : releasePaths) {
        QByteArray bytes;
        failure = Release::readImage(QString::fromStdString(releasePath), &bytes);
        if (!failure.isEmpty()) {
            damaged = true;
            return;
        }
        const QString copyPath = folder.filePath(QFileInfo(QString::fromStdString(releasePath)).fileName());
        QFile copy(copyPath);
        const QByteArray narrow = QFile::encodeName(copyPath);
        if (!folder.isValid())
            failure = tr("Cannot copy the firmware image for the write: %1").arg(folder.errorString());
        else if (QFile::decodeName(narrow) != copyPath)
            failure = tr("Cannot hand the firmware image to the device library: %1")
                          .arg(QDir::toNativeSeparators(copyPath));
        else if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size() || !copy.flush())
            failure = tr("Cannot copy the firmware image for the write: %1: %2")
                          .arg(QDir::toNativeSeparators(copyPath), copy.errorString());
        if (!failure.isEmpty())
            return;
        copy.close();
        // Read-only, in a folder only this user can enter: nothing of this
        // run's own changes it before the device library has read it.
        copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadUser);
        copies[releasePath] = narrow.toStdString();
    }
}

const char *PrivateImages::path(const std::string &releasePath) const
{
    const auto copy = copies.find(releasePath);
    return copy == copies.end() ? nullptr : copy->second.c_str();
}
