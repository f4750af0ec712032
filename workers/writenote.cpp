#include "writenote.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

namespace {

// The first line of every note: the program writes over no other file.
const QByteArray mark = "ORV1600 Firmware Updater: unfinished write";
const QByteArray writing = "writing";
const QByteArray failed = "failed";

struct Fields
{
    bool ours = false;
    QByteArray state;
    QDateTime started;
    QString writes;
};

Fields readFields(const QString &path)
{
    Fields fields;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text) || file.readLine().trimmed() != mark)
        return fields;
    fields.ours = true;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        const int colon = line.indexOf(':');
        const QByteArray key = line.left(colon);
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (key == "state")
            fields.state = value;
        else if (key == "started")
            fields.started = QDateTime::fromString(QString::fromUtf8(value), Qt::ISODate);
        else if (key == "writes")
            fields.writes = QString::fromUtf8(value);
    }
    return fields;
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Replaces the note in one step, flushed to the disk, so that a process
// killed at any instant leaves either the old note or the new one.
QString save(const QString &path, const QByteArray &state, const QDateTime &started, const QString &writes)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return WriteNote::tr("cannot make the folder %1").arg(nativePath(QFileInfo(path).path()));
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        file.write(mark + '\n');
        file.write("state: " + state + '\n');
        file.write("started: " + started.toString(Qt::ISODate).toUtf8() + '\n');
        file.write("writes: " + writes.toUtf8() + '\n');
        if (file.commit())
            return QString();
    }
    return WriteNote::tr("cannot write %1: %2").arg(nativePath(path), file.errorString());
}

QString foreignFile(const QString &path)
{
    return WriteNote::tr("%1 is not a note of this program").arg(nativePath(path));
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
    Entry entry;
    entry.path = pathFor(serialNumber);
    if (!QFileInfo::exists(entry.path))
        return entry;
    const Fields fields = readFields(entry.path);
    entry.started = fields.started;
    entry.writes = fields.writes;
    if (!fields.ours || !fields.started.isValid())
        entry.state = State::Unreadable;
    else
        entry.state = fields.state == failed ? State::Failed : State::Writing;
    return entry;
}

QString WriteNote::begin(int32_t serialNumber, const QString &writes)
{
    const QString path = pathFor(serialNumber);
    if (QFileInfo::exists(path) && !readFields(path).ours)
        return foreignFile(path);
    return save(path, writing, QDateTime::currentDateTime(), writes);
}

QString WriteNote::markFailed(int32_t serialNumber)
{
    const QString path = pathFor(serialNumber);
    if (!QFileInfo::exists(path))
        return QString();
    const Fields fields = readFields(path);
    if (!fields.ours)
        return foreignFile(path);
    return save(path, failed, fields.started, fields.writes);
}

QString WriteNote::clear(int32_t serialNumber)
{
    const QString path = pathFor(serialNumber);
    if (!QFileInfo::exists(path))
        return QString();
    if (!readFields(path).ours)
        return foreignFile(path);
    QFile file(path);
    return file.remove() ? QString() : tr("cannot remove %1: %2").arg(nativePath(path), file.errorString());
}

WriteNoteGuard::~WriteNoteGuard()
{
    if (begun)
        WriteNote::markFailed(serialNumber);
}

QString WriteNoteGuard::begin(VersionPair target, bool fx3, bool fpga)
{
    QStringList writes;
    if (fx3)
        writes << WriteNote::tr("FX3 %1 from %2").arg(target.fx3).arg(QString::fromStdString(fx3ImagePath(target)));
    if (fpga)
        writes << WriteNote::tr("FPGA %1 from %2").arg(target.fpga).arg(QString::fromStdString(fpgaImagePath(target)));
    QString problem = WriteNote::begin(serialNumber, writes.join(QStringLiteral(", ")));
    begun = problem.isEmpty();
    return problem;
}

void WriteNoteGuard::succeeded()
{
    WriteNote::clear(serialNumber);
    begun = false;
}
