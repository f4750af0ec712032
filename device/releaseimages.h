#ifndef RELEASEIMAGES_H
#define RELEASEIMAGES_H

#include <QString>

#include <string>
#include <vector>

namespace Release {

// The operator's line for the first image that cannot be written (missing,
// not a file, unreadable or empty); empty when all of them can. Checked
// before anything is erased, so that a store is never cleared for an image
// that is not there.
QString imageProblem(const std::vector<std::string> &imagePaths);

// When the working directory holds no release folder but the program's own
// folder does, makes that the working directory, so that the release's
// relative image names find the files. Returns whether it changed it.
bool findFolder(const QString &programFolder);

} // namespace Release

#endif // RELEASEIMAGES_H
