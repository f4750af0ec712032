#ifndef WRITESTART_H
#define WRITESTART_H

#include "firmwarerelease.h"
#include "privateimages.h"
#include "writenote.h"

#include <QCoreApplication>
#include <QStringList>

#include <functional>
#include <optional>

// What the update and restore workers make sure of before anything is
// erased: the images read and checked once, into copies of the run's own,
// and the note that protects a write cut off, whole on the disk. Either
// failing is a reason not to start.
class WriteStart
{
    Q_DECLARE_TR_FUNCTIONS(WriteStart)

public:
    // Reads the images of the stores to be written, of target's release.
    WriteStart(VersionPair target, bool fx3, bool fpga);

    const PrivateImages &images() const { return copies; }

    // Notes the write to serialNumber on this PC; what cannot be done with
    // the note later is told through tell. Empty when done; otherwise the
    // operator's lines, headed by cannotStart, and the write must not start.
    QStringList noteWrite(int32_t serialNumber, const QString &cannotStart,
                          std::function<void(const QString &)> tell);
    // The write succeeded: its note goes.
    void succeeded();

private:
    VersionPair target;
    bool fx3;
    bool fpga;
    PrivateImages copies;
    std::optional<WriteNoteGuard> note;
};

#endif // WRITESTART_H
