#include "runrecord.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

// Only files named so are the program's own records.
const QRegularExpression recordName(QStringLiteral("^run-\\d{8}-\\d{6}-\\d{3}-\\d+\\.txt$"));

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

} // namespace

QString RunRecord::folder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("runs"));
}

RunRecord::RunRecord()
{
    const QString dir = folder();
    if (!QDir().mkpath(dir)) {
        fail(tr("cannot make the folder %1").arg(QDir::toNativeSeparators(dir)));
        return;
    }
    // Named by when it began, so that the names sort as the runs did. A
    // record begun in the same millisecond by this process takes the next
    // free one rather than going unrecorded.
    const QDateTime began = QDateTime::currentDateTime();
    for (int later = 0;; ++later) {
        const QString name = QStringLiteral("run-%1-%2.txt")
                                 .arg(began.addMSecs(later).toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
                                 .arg(QCoreApplication::applicationPid());
        file.setFileName(QDir(dir).filePath(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Text))
            return;
        if (!file.exists() || later == 999) {
            fail(tr("cannot make %1: %2").arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
            return;
        }
    }
}

void RunRecord::write(const QString &line)
{
    if (!failure.isEmpty())
        return;
    const QByteArray bytes = (now() + QStringLiteral("  ") + line + QLatin1Char('\n')).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush())
        fail(tr("cannot write %1: %2").arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
}

void RunRecord::fail(const QString &why)
{
    failure = why;
    file.close();
}

void RunRecord::removeOldRecords(const QString &folder, int keep)
{
    QDir dir(folder);
    QStringList records = dir.entryList(QDir::Files, QDir::Name);
    records = records.filter(recordName);
    for (int i = 0; i < records.size() - keep; ++i)
        dir.remove(records.at(i));
}
