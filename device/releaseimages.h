#ifndef RELEASEIMAGES_H
#define RELEASEIMAGES_H

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace Release {

// The SHA-256 of each image file of the release, in lower-case hex, by file
// name.
using ImageDigests = QHash<QString, QByteArray>;

// The digests the build recorded from the release's firmware folder.
ImageDigests builtDigests();
// The digests that images are checked against from now on: the build's,
// unless other ones are handed in (for images of another release).
void setImageDigests(const ImageDigests &digests);

// The operator's line for the first image that is not exactly the release's
// (missing, unreadable, or other bytes), naming it by its full path; empty
// when all of them are. Every image is read whole: it is checked before
// anything is erased, so that a store is only ever cleared for the image
// the release carries.
QString imageProblem(const std::vector<std::string> &imagePaths);

// One line for each of the release's images that is not intact, for a
// program whose working folder is workingFolder.
QStringList releaseProblems(const QString &workingFolder);

// When the working directory holds no release folder but the program's own
// folder does, makes that the working directory, so that the release's
// relative image names find the files. Returns whether it changed it.
bool findFolder(const QString &programFolder);

// The folder whose release a run uses, and what is wrong with that release.
struct FolderChoice
{
    QString folder;
    QStringList problems;
};

// The working folder when its release is intact; otherwise the program's
// own folder when that holds the intact release; otherwise the working
// folder still. Reads every image, so it belongs off the GUI thread.
FolderChoice chooseFolder(const QString &workingFolder, const QString &programFolder);

// The folder the program was started in, and its own folder, as findFolder
// was told them; before findFolder, the working folder and none.
QString startFolder();
QString programFolder();

} // namespace Release

#endif // RELEASEIMAGES_H
