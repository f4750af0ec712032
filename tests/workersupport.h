#ifndef WORKERSUPPORT_H
#define WORKERSUPPORT_H

#include "deviceinfo.h"
#include "firmwareimage.h"
#include "firmwarerelease.h"
#include "operatortexts.h"
#include "simulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
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

inline void runToEnd(QThread &worker)
{
    worker.start();
    QVERIFY(worker.wait(30000));
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

    // The red lines too, the faults of the release and of this PC.
    template<typename Worker>
    LineRecorder(Worker &worker, void (Worker::*signal)(const QString &),
                 void (Worker::*statusSignal)(const QString &, bool))
        : LineRecorder(worker, signal)
    {
        QObject::connect(&worker, statusSignal, &worker, [this](const QString &s, bool success) {
            lines.append({s, clock.elapsed()});
            if (!success)
                red << s;
        }, Qt::DirectConnection);
    }

    QStringList red;

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

    // Runs the worker after setUp until it pauses after no line it should go
    // straight on from, five times at most: a busy machine holds up a line
    // now and then, but a pause is there in every run.
    template<typename SetUp>
    void run(QThread &worker, SetUp setUp)
    {
        for (int attempt = 0; attempt == 0 || (attempt < 5 && !wrongPauses().isEmpty()); ++attempt) {
            setUp();
            lines.clear();
            runToEnd(worker);
        }
    }

    // The lines the worker paused after that it should have gone straight
    // on from, and those it should have paused after and did not.
    QStringList wrongPauses() const
    {
        // Read before the next line comes, or the flow's result.
        const QStringList paused = {skippingFx3, skippingFpga, unableToFindDevice, failedToOpenDevice};
        QStringList wrong;
        for (int n = 0; n < lines.size(); ++n) {
            if ((pauseAfter(n) >= 31) != paused.contains(lines[n].text))
                wrong << QString("%1 (%2 ms)").arg(lines[n].text).arg(pauseAfter(n));
        }
        return wrong;
    }

    QElapsedTimer clock;
    QVector<Line> lines; // written by the worker thread, read after it ended
    qint64 endMs = -1;
};

// Runs the test from a folder whose firmware/ holds the release's images as
// named: "both" keeps the build's own folder; otherwise "fx3" and "fpga" for
// the good image, "fx3=KIND" for a bad one (corrupt, truncated, v6 for
// another version, swapped for the other component's image, text, empty,
// folder), and no file for a name left out.
// Whether the device library was handed a copy of the release's image at
// release of the run's own, gone once the run is over.
inline bool isPrivateCopy(const QString &path, const QString &release)
{
    const QFileInfo copy(path);
    return copy.isAbsolute() && copy.fileName() == QFileInfo(release).fileName()
           && copy.absolutePath() != QFileInfo(release).absolutePath() && !copy.exists();
}

class ReleaseFolder
{
public:
    explicit ReleaseFolder(const QString &images)
        : previous(QDir::currentPath())
    {
        if (images == "both")
            return;
        QDir(dir.path()).mkdir(Release::folderName());
        for (const QString &image : images.split(' ', Qt::SkipEmptyParts)) {
            const QStringList nameAndKind = image.split('=');
            const bool fx3 = nameAndKind[0] == "fx3";
            const QString kind = nameAndKind.value(1);
            const QString target = QDir(dir.path()).filePath(fx3 ? fx3Path() : fpgaPath());
            if (kind == "folder") {
                QDir().mkpath(target);
                continue;
            }
            QByteArray bytes = good(fx3 == (kind != "swapped"));
            if (kind == "corrupt")
                bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x5a);
            else if (kind == "truncated")
                bytes.chop(bytes.size() / 2);
            else if (kind == "v6")
                bytes = orvsim::makeImage(fx3 ? orvsim::Component::Fx3 : orvsim::Component::Fpga,
                                          (fx3 ? Release::versions.fx3 : Release::versions.fpga) - 1);
            else if (kind == "text")
                bytes = "notes\n";
            else if (kind == "empty")
                bytes.clear();
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        QDir::setCurrent(dir.path());
    }
    ~ReleaseFolder() { QDir::setCurrent(previous); }

    static QString fx3Path() { return QString::fromStdString(fx3ImagePath(Release::versions)); }
    static QString fpgaPath() { return QString::fromStdString(fpgaImagePath(Release::versions)); }

    // The lines with %fx3 and %fpga in place of the full paths that the
    // operator's lines name the images by.
    static QStringList withPaths(QStringList lines)
    {
        auto shown = [](const QString &path) {
            return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
        };
        return lines.replaceInStrings("%fx3", shown(fx3Path())).replaceInStrings("%fpga", shown(fpgaPath()));
    }

private:
    QByteArray good(bool fx3) const
    {
        QFile file(QDir(previous).filePath(fx3 ? fx3Path() : fpgaPath()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString previous;
};

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
