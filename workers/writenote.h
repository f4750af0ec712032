#ifndef WRITENOTE_H
#define WRITENOTE_H

#include "firmwarerelease.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <cstdint>

// A note on this PC that a write to one device has begun. It is made
// durably before the first store is erased and removed once the write has
// succeeded; a write that failed leaves it marked so, and a write cut off by
// a crash or a power loss leaves it as it was made. A later check of that
// device finds it: the firmware may be incomplete even where the versions
// it reports look right.
class WriteNote
{
    Q_DECLARE_TR_FUNCTIONS(WriteNote)

public:
    enum class State {
        None,
        Writing,
        Failed,
        Unreadable // a file at the note's place that is not a note of ours
    };

    struct Entry
    {
        State state = State::None;
        QDateTime started;
        QString writes;
        QString path;
    };

    static Entry read(int32_t serialNumber);

    // Each returns an empty text when done, otherwise why not. A file at the
    // note's place that is not a note of this program is left as it is.
    static QString begin(int32_t serialNumber, const QString &writes);
    static QString markFailed(int32_t serialNumber);
    static QString clear(int32_t serialNumber);

    static QString folder();
    static QString pathFor(int32_t serialNumber);
};

// A write's note, as a worker holds it: made by begin(), removed by
// succeeded(), and marked failed when the worker returns without either.
class WriteNoteGuard
{
public:
    explicit WriteNoteGuard(int32_t serialNumber)
        : serialNumber(serialNumber)
    {
    }
    ~WriteNoteGuard();
    WriteNoteGuard(const WriteNoteGuard &) = delete;
    WriteNoteGuard &operator=(const WriteNoteGuard &) = delete;

    // Notes the stores about to be written with target's images.
    QString begin(VersionPair target, bool fx3, bool fpga);
    void succeeded();

private:
    int32_t serialNumber;
    bool begun = false;
};

#endif // WRITENOTE_H
