#ifndef WRITENOTE_H
#define WRITENOTE_H

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

// A note on this PC that a write to one device has begun. It is made
// durably, and read back, before the first store is erased, and removed once
// the write has succeeded; a write that failed leaves it marked so, and a
// write cut off by a crash or a power loss leaves it as it was made. A later
// check of that device finds it: the firmware may be incomplete even where
// the versions it reports look right.
class WriteNote
{
    Q_DECLARE_TR_FUNCTIONS(WriteNote)

public:
    enum class State {
        None,
        Writing,
        Failed,
        CutShort, // a note of ours that the disk did not keep whole
        Unreadable // a file or link at the note's place that is not a note of ours
    };

    struct Entry
    {
        State state = State::None;
        QDateTime started;
        QString writes;
        QString path;
    };

    static Entry read(int32_t serialNumber);

    // Each returns an empty text when done, otherwise why not. Nothing but
    // the program's own notes, in the notes folder itself, is written over
    // or removed; a link is never followed.
    static QString write(int32_t serialNumber, State state, const QDateTime &started, const QString &writes);
    static QString clear(int32_t serialNumber);

    static QString folder();
    static QString pathFor(int32_t serialNumber);
};

// A write's note, as a worker holds it: made by begin(), removed by
// succeeded(), and marked failed when the worker returns without either.
// What cannot be done with the note afterwards is told through tell.
class WriteNoteGuard
{
public:
    WriteNoteGuard(int32_t serialNumber, std::function<void(const QString &)> tell)
        : serialNumber(serialNumber)
        , tell(std::move(tell))
    {
    }
    ~WriteNoteGuard();
    WriteNoteGuard(const WriteNoteGuard &) = delete;
    WriteNoteGuard &operator=(const WriteNoteGuard &) = delete;

    // Notes what is about to be written. Empty when the note is whole on
    // the disk; otherwise why not, and the write must not start.
    QString begin(const QString &writes);
    void succeeded();

private:
    int32_t serialNumber;
    std::function<void(const QString &)> tell;
    QDateTime started;
    QString writes;
    bool begun = false;
};

#endif // WRITENOTE_H
