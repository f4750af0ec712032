#ifndef PRIVATEIMAGES_H
#define PRIVATEIMAGES_H

#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <vector>

// The release's images as one write hands them to the device library: each
// read once and checked against the release's digest, then copied into a
// folder of this run's own. The device library writes the copy, so what it
// writes is what was checked even when the release's files are replaced, or
// go away with the stick or share they are on, during the write. The copies
// are removed with the object.
class PrivateImages
{
    Q_DECLARE_TR_FUNCTIONS(PrivateImages)

public:
    // releasePaths as fx3ImagePath and fpgaImagePath name them.
    explicit PrivateImages(const std::vector<std::string> &releasePaths);
    PrivateImages(const PrivateImages &) = delete;
    PrivateImages &operator=(const PrivateImages &) = delete;

    // Empty when every image is the release's and copied; otherwise the
    // operator's line for the first that is not.
    QString problem() const { return failure; }
    // Whether that problem is the release's own files, not this PC.
    bool releaseDamaged() const { return damaged; }

    // The copy of the image at releasePath, as the device library takes a
    // path.
    const char *path(const std::string &releasePath) const;

private:
    QTemporaryDir folder;
    std::map<std::string, std::string> copies;
    QString failure;
    bool damaged = false;
};

#endif // PRIVATEIMAGES_H
