#ifndef RUNRECORD_H
#define RUNRECORD_H

#include <QCoreApplication>
#include <QFile>
#include <QString>

// A file of each run's log, with the time of every line, kept on this PC
// for a technician to send to support: the log itself is gone once the
// window closes, and cannot be scrolled once the panel is disabled. Every
// line is flushed as it is written, so that a record is whole up to its last
// line even when the process is killed.
class RunRecord
{
    Q_DECLARE_TR_FUNCTIONS(RunRecord)

public:
    RunRecord();

    // Empty while the run is recorded; otherwise why it is not. Once a
    // record cannot be written it stays silent: the run goes on regardless.
    QString problem() const { return failure; }
    QString path() const { return file.fileName(); }

    void write(const QString &line);

    static QString folder();
    // Removes all but the newest of the program's own records in folder.
    static void removeOldRecords(const QString &folder, int keep = 1000);

private:
    void fail(const QString &why);

    QFile file;
    QString failure;
};

#endif // RUNRECORD_H
