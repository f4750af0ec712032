// The simulated device as several processes see it through its state file,
// and the tools a technician rehearses with: orv-sim and the walk-through.

#include "firmwarerelease.h"
#include "simulator.h"

#include <orv_api.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>
#include <QtTest>

using namespace orvsim;

namespace {

const QByteArray fx3Release = QByteArray::fromStdString(fx3ImagePath(Release::versions));
const QByteArray fpgaRelease = QByteArray::fromStdString(fpgaImagePath(Release::versions));
const int32_t serial = Device().serialNumber;
const char openAndEnd[] = "--open-and-end";
const QString usableVersion = QStringLiteral("1.0.0-simulator (no hardware)");
// The banner is all a Windows operator sees: there is no stderr.
const QString unusableVersion = QStringLiteral("1.0.0-simulator (state file unusable: see orv-sim show)");

struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// The build's bin folder, where CTest starts each test.
const QString binFolder = QDir::currentPath();

// Runs a program of the build's bin folder against the state file at state.
Run run(const QString &program, const QStringList &args, const QString &state, const QString &folder = QString())
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORV_SIM_STATE"), state);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(QDir(binFolder).filePath(program), args);
    process.waitForFinished(-1);
    Run result;
    if (process.exitStatus() == QProcess::NormalExit)
        result.code = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

int32_t openDevice()
{
    int32_t handle = -1;
    return orvConfigNetOpenDevice(&handle, serial) == ORV_SUCCESS ? handle : -1;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Every call that needs no handle, and every other with a handle that was
// open before the device went out of reach.
void checkEveryCallFails(int32_t handle)
{
    int32_t serials[4] = {};
    int32_t count = 4;
    int32_t value = 0;
    int32_t opened = -1;
    QVERIFY(orvConfigNetGetDeviceList(serials, &count) != ORV_SUCCESS);
    QVERIFY(orvConfigNetOpenDevice(&opened, serial) != ORV_SUCCESS);
    QVERIFY(orvConfigNetBootstrapDevice(&opened, fx3Release.constData()) != ORV_SUCCESS);
    QCOMPARE(opened, -1);
    QVERIFY(orvConfigNetGetFirmwareVersion(handle, &value) != ORV_SUCCESS);
    QVERIFY(orvConfigNetGetFPGAStatus(handle, &value) != ORV_SUCCESS);
    QVERIFY(orvConfigNetClearFPGA(handle) != ORV_SUCCESS);
    QVERIFY(orvConfigNetWriteFGPA(handle, fpgaRelease.constData()) != ORV_SUCCESS);
    QVERIFY(orvConfigNetClearFx3(handle) != ORV_SUCCESS);
    QVERIFY(orvConfigNetWriteFx3(handle, fx3Release.constData(), serial) != ORV_SUCCESS);
    QVERIFY(orvConfigNetPreset(handle) != ORV_SUCCESS);
    QVERIFY(orvConfigNetCloseDevice(handle) != ORV_SUCCESS);
}

// orv-sim refuses, in one line on stderr that names the file.
void checkRefusedByTool(const QStringList &args, const QString &path, const QString &word)
{
    const Run refused = run(QStringLiteral("orv-sim"), args, path);
    QCOMPARE(refused.code, 1);
    const QString err = QString::fromLocal8Bit(refused.err).trimmed();
    QCOMPARE(err.count(QLatin1Char('\n')), 0);
    QVERIFY2(err.contains(QDir::toNativeSeparators(path)) && err.contains(word), qPrintable(err));
}

} // namespace

class TestSharedDevice : public QObject
{
    Q_OBJECT

private slots:
    void unplugFromAnotherProcessDuringAWrite();
    void openInAnotherProcessIsBusy();
    void foreignFilesAreLeftAndRefused_data();
    void foreignFilesAreLeftAndRefused();
    void unusableFilesFailEveryCall_data();
    void unusableFilesFailEveryCall();
    void walkthroughRemovesOnlyItsOwnPictures();

private:
    QTemporaryDir dir;
};

void TestSharedDevice::unplugFromAnotherProcessDuringAWrite()
{
    const QString path = dir.filePath(QStringLiteral("writing.json"));
    QVERIFY(Simulator::usePersistentState(path));
    Device d = Simulator::device();
    d.fpgaWriteMs = 60000;
    Simulator::setDevice(d);
    const int32_t handle = openDevice();
    QCOMPARE(orvConfigNetClearFPGA(handle), ORV_SUCCESS);
    QFuture<ORVStatus> write = QtConcurrent::run([handle] { return orvConfigNetWriteFGPA(handle, fpgaRelease.constData()); });
    while (!write.isFinished() && !Simulator::describe().contains(QLatin1String("being written")))
        QThread::msleep(5);
    QVERIFY(!write.isFinished());

    const Run shown = run(QStringLiteral("orv-sim"), {QStringLiteral("show")}, path);
    QVERIFY2(shown.out.contains("FPGA store:  erased, being written"), shown.out.constData());
    QCOMPARE(run(QStringLiteral("orv-sim"), {QStringLiteral("set"), QStringLiteral("absent=yes")}, path).code, 0);
    QCOMPARE(write.result(), ORV_NO_DEVICE);
    QCOMPARE(Simulator::device().fpgaStore, erased);
    QVERIFY(!Simulator::device().present);
}

void TestSharedDevice::openInAnotherProcessIsBusy()
{
    const QString path = dir.filePath(QStringLiteral("busy.json"));
    QVERIFY(Simulator::usePersistentState(path));
    const int32_t handle = openDevice();
    QVERIFY(handle >= 0);
    const QString self = QCoreApplication::applicationFilePath();
    QCOMPARE(run(self, {QLatin1String(openAndEnd)}, path).code, int(ORV_BUSY));

    // Closed here, the other process has it, and ends without closing it:
    // its handle is free again.
    QCOMPARE(orvConfigNetCloseDevice(handle), ORV_SUCCESS);
    QCOMPARE(run(self, {QLatin1String(openAndEnd)}, path).code, int(ORV_SUCCESS));
    const int32_t again = openDevice();
    QVERIFY(again >= 0);
    QCOMPARE(Simulator::openHandles(), QVector<int32_t>{again});
}

void TestSharedDevice::foreignFilesAreLeftAndRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("named"); // what orv-sim's line names besides the file
    QTest::addColumn<bool>("ours");     // carries the mark: orv-sim reset and scenario may replace it
    QTest::newRow("notes") << QByteArray("notes\n") << QString() << false;
    QTest::newRow("unrelated JSON") << QByteArray(R"({"present": true, "fx3Store": 7})") << "kind" << false;
    QTest::newRow("hand-edited, a comma missing")
        << QByteArray("{\"kind\": \"orv-sim device state\", \"format\": 1,\n\"fx3Store\": 7\n\"fpgaStore\": 9}") << "line 3" << false;
    QTest::newRow("newer format") << QByteArray(R"({"kind": "orv-sim device state", "format": 2})") << "format 2" << true;
    QTest::newRow("present as a word")
        << QByteArray(R"({"kind": "orv-sim device state", "format": 1, "present": "no"})") << "present" << true;
    QTest::newRow("write time below 0")
        << QByteArray(R"({"kind": "orv-sim device state", "format": 1, "fpgaWriteMs": -5})") << "fpgaWriteMs" << true;
    QTest::newRow("fault that succeeds")
        << QByteArray(R"({"kind": "orv-sim device state", "format": 1, "faults": [{"op": "WriteFPGA", "status": 0}]})")
        << "faults[0].status" << true;
}

void TestSharedDevice::foreignFilesAreLeftAndRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, named);
    QFETCH(bool, ours);
    const QString path = dir.filePath(QStringLiteral("%1.json").arg(QTest::currentDataTag()));
    QVERIFY(Simulator::usePersistentState(path));
    const int32_t handle = openDevice();
    QVERIFY(handle >= 0);
    QCOMPARE(QString(orvGetAPIVersion()), usableVersion);

    // The file changes under the running program.
    write(path, bytes);
    QCOMPARE(QString(orvGetAPIVersion()), unusableVersion);
    checkEveryCallFails(handle);
    QVERIFY(!Simulator::usePersistentState(path));
    checkRefusedByTool({QStringLiteral("show")}, path, named);
    checkRefusedByTool({QStringLiteral("set"), QStringLiteral("absent=yes")}, path, named);
    if (!ours) {
        checkRefusedByTool({QStringLiteral("reset")}, path, named);
        checkRefusedByTool({QStringLiteral("scenario"), QStringLiteral("absent")}, path, named);
    }
    QCOMPARE(contents(path), bytes);
}

void TestSharedDevice::unusableFilesFailEveryCall_data()
{
    QTest::addColumn<QString>("path");
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("a folder")));
    write(dir.filePath(QStringLiteral("notes.txt")), "notes\n");
    QTest::newRow("a folder") << dir.filePath(QStringLiteral("a folder"));
    QTest::newRow("under a file") << dir.filePath(QStringLiteral("notes.txt/device.json"));
#ifdef Q_OS_LINUX
    QTest::newRow("under /proc") << QStringLiteral("/proc/self/orv-sim/device.json");
#endif
}

void TestSharedDevice::unusableFilesFailEveryCall()
{
    QFETCH(QString, path);
    QVERIFY(!Simulator::usePersistentState(path));
    QVERIFY(!Simulator::stateProblem().isEmpty());
    QCOMPARE(QString(orvGetAPIVersion()), unusableVersion);
    checkEveryCallFails(1);
    checkRefusedByTool({QStringLiteral("set"), QStringLiteral("firmware=7")}, path, QString());
    QVERIFY(!QFileInfo(path).isFile());
    QCOMPARE(contents(dir.filePath(QStringLiteral("notes.txt"))), QByteArray("notes\n"));
}

void TestSharedDevice::walkthroughRemovesOnlyItsOwnPictures()
{
    const QDir out(dir.filePath(QStringLiteral("pictures")));
    QVERIFY(out.mkpath(QStringLiteral(".")));
    QImage photo(8, 8, QImage::Format_RGB32);
    photo.fill(Qt::darkGreen);
    QVERIFY(photo.save(out.filePath(QStringLiteral("holiday.png"))));
    QVERIFY(photo.save(out.filePath(QStringLiteral("1-start.png")))); // a name the walk-through uses
    write(out.filePath(QStringLiteral("notes.txt")), "notes\n");
    QMap<QString, QByteArray> users;
    for (const QString &name : out.entryList(QDir::Files))
        users[name] = contents(out.filePath(name));

    // Started away from the release's folder, as a technician may.
    const QString state = dir.filePath(QStringLiteral("walkthrough.json"));
    const Run typical = run(QStringLiteral("orv-walkthrough"), {QStringLiteral("typical"), QStringLiteral("--out"), out.path()}, state, dir.path());
    QVERIFY2(typical.code == 0, typical.out.constData());
    QVERIFY(out.exists(QStringLiteral("4-result.png")));

    const Run upToDate = run(QStringLiteral("orv-walkthrough"), {QStringLiteral("up-to-date"), QStringLiteral("--out"), out.path()}, state, dir.path());
    QVERIFY2(upToDate.code == 0, upToDate.out.constData());
    QVERIFY(!out.exists(QStringLiteral("4-result.png")));
    for (auto it = users.cbegin(); it != users.cend(); ++it)
        QCOMPARE(contents(out.filePath(it.key())), it.value());
}

int main(int argc, char *argv[])
{
    // The other process of the busy test: opens the device through the state
    // file and ends without closing it.
    if (argc == 2 && qstrcmp(argv[1], openAndEnd) == 0) {
        int32_t handle = -1;
        return int(orvConfigNetOpenDevice(&handle, serial));
    }
    QCoreApplication app(argc, argv);
    TestSharedDevice test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shareddevice.moc"
