#ifndef WORKERSUPPORT_H
#define WORKERSUPPORT_H

#include "deviceinfo.h"
#include "firmwarerelease.h"
#include "simulator.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QVector>
#include <QStringList>
#include <QThread>
#include <QtTest>

Q_DECLARE_METATYPE(orvsim::Device)

namespace testsupport {

// The record a check of the device gives, for the write workers.
inline DeviceInfo recordFor(int32_t fx3, int32_t fpga, int32_t serial = orvsim::Device().serialNumber)
{
    DeviceInfo info;
    info.state = Ready;
    info.serialNumber = serial;
    info.fx3Version = fx3;
    info.fpgaVersion = fpga;
    info.targetFx3Version = Release::versions.fx3;
    info.targetFpgaVersion = Release::versions.fpga;
    return info;
}

inline QStringList spiedLines(const QSignalSpy &spy)
{
    QStringList lines;
    for (const QList<QVariant> &args : spy)
        lines << args.at(0).toString();
    return lines;
}

// Every line a worker emits, with when it was emitted, and when its thread
// ended.
struct LineRecorder
{
    struct Line
    {
        QString text;
        qint64 atMs;
    };

    template<typename Worker>
    LineRecorder(Worker &worker, void (Worker::*signal)(const QString &))
    {
        clock.start();
        QObject::connect(&worker, signal, &worker, [this](const QString &s) {
            lines.append({s, clock.elapsed()});
        }, Qt::DirectConnection);
        QObject::connect(&worker, &QThread::finished, &worker, [this] { endMs = clock.elapsed(); },
                         Qt::DirectConnection);
    }

    QStringList texts() const
    {
        QStringList result;
        for (const Line &line : lines)
            result << line.text;
        return result;
    }

    // How long the worker went on after line n (the end for the last one).
    qint64 pauseAfter(int n) const
    {
        return (n + 1 < lines.size() ? lines[n + 1].atMs : endMs) - lines[n].atMs;
    }

    QElapsedTimer clock;
    QVector<Line> lines; // written by the worker thread, read after it ended
    qint64 endMs = -1;
};

inline void runToEnd(QThread &worker)
{
    worker.start();
    QVERIFY(worker.wait(30000));
}

// How a test breaks one library call: "" for none, else "Op", "Op@N" for
// the Nth call, with "unplug:" in front for an unplug instead of a status.
inline void injectFault(const QString &fault, ORVStatus status = ORVStatus(17))
{
    if (fault.isEmpty())
        return;
    const bool unplug = fault.startsWith("unplug:");
    const QStringList parts = QString(fault).remove("unplug:").split('@');
    orvsim::Op op;
    QVERIFY2(orvsim::opFromName(parts[0], &op), qPrintable(fault));
    const int nth = parts.size() > 1 ? parts[1].toInt() : 1;
    if (unplug)
        orvsim::Simulator::unplugAt(op, nth);
    else
        orvsim::Simulator::failCall(op, status, nth);
}

} // namespace testsupport

#endif
