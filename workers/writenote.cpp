#include "writenote.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>

namespace {

// The first line of every note: the program writes over no other file.
const QByteArray mark = "ORV1600 Firmware Updater: unfinished write";
const QByteArray writing = "writing";
const QByteArray failed = "failed";
// Far more than a note of ours takes.
constexpr qint64 largestNote = qint64(16) * 1024;

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString notOurs(const QString &path)
{
    return WriteNote::tr("%1 is not a note of this program, and is left as it is").arg(nativePath(path));
}

WriteNote::Entry parse(const QString &path)
{
    WriteNote::Entry entry;
    entry.path = path;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return entry;
    entry.state = WriteNote::State::Unreadable;
    QFile file(path);
    if (info.isSymLink() || !info.isFile() || info.size() > largestNote || !file.open(QIODevice::ReadOnly))
        return entry;
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (file.error() != QFileDevice::NoError)
        return entry;
    // An empty note, or the start of one, is ours all the same: the disk
    // filled up, or the power went, as it was written.
    const QByteArray first = lines.value(0).trimmed();
    if (!mark.startsWith(first))
        return entry;
    QByteArray state;
    for (const QByteArray &line : lines.mid(1)) {
        const int colon = line.indexOf(':');
        const QByteArray key = line.left(colon);
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (key == "state")
            state = value;
        else if (key == "started")
            entry.started = QDateTime::fromString(QString::fromUtf8(value), Qt::ISODate);
        else if (key == "writes")
            entry.writes = QString::fromUtf8(value);
    }
    if (first != mark || !entry.started.isValid() || (state != writing && state != failed))
        entry.state = WriteNote::State::CutShort;
    else
        entry.state = state == failed ? WriteNote::State::Failed : WriteNote::State::Writing;
    return entry;
}

// What the system says of a folder that cannot be made: a file in the way,
// or what it answers to a file made in the nearest folder that exists.
QString whyNoFolder(const QString &folder)
{
    QFileInfo nearest(folder);
    while (!nearest.exists() && !nearest.isRoot() && nearest.filePath() != nearest.path())
        nearest.setFile(nearest.path());
    QString why;
    if (nearest.exists() && !nearest.isDir()) {
        why = WriteNote::tr("%1 is a file").arg(nativePath(nearest.filePath()));
    } else {
        QTemporaryFile probe(QDir(nearest.filePath()).filePath(QStringLiteral("probe-XXXXXX")));
        if (!probe.open())
            why = probe.errorString();
    }
    return why.isEmpty() ? WriteNote::tr("cannot make the folder %1").arg(nativePath(folder))
                         : WriteNote::tr("cannot make the folder %1: %2").arg(nativePath(folder), why);
}

// Why nothing may be written at path, if so: a folder or note that is a
// link leads outside the notes folder, and another program's file stays.
QString refusal(const QString &path)
{
    const QString folder = QFileInfo(path).path();
    if (QFileInfo(folder).isSymLink())
        return WriteNote::tr("the folder %1 is a link").arg(nativePath(folder));
    if (!QDir().mkpath(folder))
        return whyNoFolder(folder);
    if (parse(path).state == WriteNote::State::Unreadable)
        return notOurs(path);
    return QString();
}

} // namespace

QString WriteNote::folder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("unfinished-writes"));
}

QString WriteNote::pathFor(int32_t serialNumber)
{
    return QDir(folder()).filePath(QStringLiteral("ORV1600-%1.txt").arg(serialNumber));
}

WriteNote::Entry WriteNote::read(int32_t serialNumber)
{
    return parse(pathFor(serialNumber));
}

QString WriteNote::write(int32_t serialNumber, State state, const QDateTime &started, const QString &writes)
{
    const QString path = pathFor(serialNumber);
    QString problem = refusal(path);
    if (!problem.isEmpty())
        return problem;
    const bool noteBefore = QFileInfo::exists(path);
    // Replaced in one step, flushed to the disk: a process killed at any
    // instant leaves either the old note or the new one.
    QSaveFile file(path);
    const QByteArray text = mark + '\n' + "state: " + (state == State::Failed ? failed : writing) + '\n'
                            + "started: " + started.toString(Qt::ISODate).toUtf8() + '\n'
                            + "writes: " + writes.toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return tr("cannot write %1: %2").arg(nativePath(path), file.errorString());
    // Only a note read back as it was meant is one to rely on: a full disk
    // can leave it empty all the same. One that stood in no note's place
    // goes again, so that it does not tell of a write that never began.
    const Entry back = parse(path);
    if (back.state == state && back.started == started && back.writes == writes)
        return QString();
    if (!noteBefore)
        QFile::remove(path);
    return tr("%1 was not kept whole on the disk").arg(nativePath(path));
}

QString WriteNote::clear(int32_t serialNumber)
{
    const QString path = pathFor(serialNumber);
    const State state = parse(path).state;
    if (state == State::None)
        return QString();
    if (state == State::Unreadable)
        return notOurs(path);
    QFile file(path);
    return file.remove() ? QString() : tr("cannot remove %1: %2").arg(nativePath(path), file.errorString());
}

WriteNoteGuard::~WriteNoteGuard()
{
    if (!begun)
        return;
    const QString problem = WriteNote::write(serialNumber, WriteNote::State::Failed, started, writes);
    if (!problem.isEmpty())
        tell(WriteNote::tr("The note of this write cannot be marked failed: %1.").arg(problem));
}

QString WriteNoteGuard::begin(const QString &what)
{
    // Whole seconds: what the note keeps, and reads back.
    started = QDateTime::currentDateTime();
    started.setTime(QTime(started.time().hour(), started.time().minute(), started.time().second()));
    writes = what;
    QString problem = WriteNote::write(serialNumber, WriteNote::State::Writing, started, writes);
    begun = problem.isEmpty();
    return problem;
}

void WriteNoteGuard::succeeded()
{
    begun = false;
    const QString problem = WriteNote::clear(serialNumber);
    if (!problem.isEmpty())
        tell(WriteNote::tr("The note of this write cannot be removed: %1.").arg(problem));
}
