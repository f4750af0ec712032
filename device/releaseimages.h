#ifndef RELEASEIMAGES_H
#define RELEASEIMAGES_H

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

namespace Release {

// The SHA-256 of each image file of the release, in lower-case hex, by file
// name.
using ImageDigests = QHash<QString, QByteArray>;

// The digests the build recorded from the release's firmware folder.
ImageDigests builtDigests();

// Reads the image at path whole and compares it with the release's digest.
// Returns the operator's line when it is missing, unreadable or not the
// release's, naming it by its full path; otherwise an empty text, with its
// bytes in *content when asked for.
QString readImage(const QString &path, QByteArray *content = nullptr);

// The folder whose release a run uses, and what is wrong with that release.
struct FolderChoice
{
    QString folder; // absolute; holds the firmware folder
    QStringList problems;

    // The firmware folder itself, as the operator is shown it.
    QString imageFolder() const;
};

// Decides once per run which release it uses: the working folder's when it
// is intact; otherwise the intact release beside the program; otherwise,
// to name what is wrong, the first of the two that has a firmware folder.
// Reads every image, so it belongs off the GUI thread.
FolderChoice chooseFolder(const QString &workingFolder, const QString &programFolder);

} // namespace Release

#endif // RELEASEIMAGES_H
