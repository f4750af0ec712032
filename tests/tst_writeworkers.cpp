#include "workersupport.h"

#include "restoredevicethread.h"
#include "updatedevicethread.h"

#include <QtTest>

using namespace orvsim;
using namespace testsupport;

namespace {

const QString fx3Image = QString::fromStdString(fx3ImagePath(Release::versions));
const QString fpgaImage = QString::fromStdString(fpgaImagePath(Release::versions));

// Every row: what stands in the stores afterwards is what was written before
// the failure, and nothing else changed.
void checkCalls(const QVector<Call> &calls, int32_t serialForFx3)
{
    if (calls.isEmpty())
        return;
    int32_t handle = -1;
    for (const Call &call : calls) {
        if (call.op == Op::OpenDevice) {
            handle = call.handle;
            continue;
        }
        if (call.op == Op::GetDeviceList)
            continue;
        QCOMPARE(call.handle, handle);
        if (call.op == Op::WriteFx3) {
            QVERIFY2(isPrivateCopy(call.path, fx3Image), qPrintable(call.path));
            QCOMPARE(call.serialNumber, serialForFx3);
        }
        if (call.op == Op::WriteFPGA)
            QVERIFY2(isPrivateCopy(call.path, fpgaImage), qPrintable(call.path));
    }
    // No call follows a failed one, but for the preset, whose result is ignored.
    for (int i = 0; i + 1 < calls.size(); ++i) {
        if (calls[i].op != Op::GetDeviceList)
            QVERIFY2(calls[i].status == ORV_SUCCESS, qPrintable(calls[i].toString()));
    }
    QVERIFY(!Simulator::callNames().contains("CloseDevice"));
}

} // namespace

class TestWriteWorkers : public QObject
{
    Q_OBJECT

private slots:
    void update_data();
    void update();
    void restore_data();
    void restore();
    void restoreWritesTheRecordedSerialAfterABootstrap();
};

void TestWriteWorkers::update_data()
{
    QTest::addColumn<int>("fx3");
    QTest::addColumn<int>("fpga");
    QTest::addColumn<QString>("images");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<int>("fx3Store");
    QTest::addColumn<int>("fpgaStore");

    const QStringList open = {"OpenDevice"};
    const QStringList fx3 = {"ClearFx3", "WriteFx3"};
    const QStringList fpga = {"ClearFPGA", "WriteFPGA"};
    const QStringList preset = {"Preset"};
    const QStringList full = open + fx3 + fpga + preset;
    const QStringList both = {updatingFx3, updatingFpga};

    QTest::newRow("unknown versions") << 0 << 0 << "both" << "" << both << true << full << 7 << 9;
    QTest::newRow("newer device") << 8 << 10 << "both" << "" << both << true << full << 7 << 9;
    QTest::newRow("both current") << 7 << 9 << "both" << "" << QStringList({skippingFx3, skippingFpga}) << true << open + preset << 5 << 7;
    QTest::newRow("only FX3 differs") << 5 << 9 << "both" << "" << QStringList({updatingFx3, skippingFpga}) << true << open + fx3 + preset << 7 << 7;

    // Each call made to fail, and cut off by an unplug, which leaves the
    // store it was erasing or writing erased. The preset's result is ignored.
    const int E = erased;
    auto row = [](const char *name, int fx3, int fpga, const char *fault, const QStringList &lines, bool succeeded,
                  const QStringList &calls, int fx3Store, int fpgaStore) {
        QTest::newRow(name) << fx3 << fpga << "both" << fault << lines << succeeded << calls << fx3Store << fpgaStore;
    };
    const QString cannotFind = "Cannot Find Device";
    const QString clearing = "Failed Clearing";
    const QString writing = "Failed Writing";
    row("open fails", 5, 7, "OpenDevice", {cannotFind}, false, open, 5, 7);
    row("open unplugged", 5, 7, "unplug:OpenDevice", {cannotFind}, false, open, 5, 7);
    row("FX3 clear fails", 5, 7, "ClearFx3", {updatingFx3, clearing}, false, {"OpenDevice", "ClearFx3"}, 5, 7);
    row("FX3 clear unplugged", 5, 7, "unplug:ClearFx3", {updatingFx3, clearing}, false, {"OpenDevice", "ClearFx3"}, E, 7);
    row("FX3 write fails", 5, 7, "WriteFx3", {updatingFx3, writing}, false, open + fx3, E, 7);
    row("FX3 write unplugged", 5, 7, "unplug:WriteFx3", {updatingFx3, writing}, false, open + fx3, E, 7);
    row("FPGA clear fails", 5, 7, "ClearFPGA", both + QStringList(clearing), false, open + fx3 + QStringList("ClearFPGA"), 7, 7);
    row("FPGA clear unplugged", 5, 7, "unplug:ClearFPGA", both + QStringList(clearing), false, open + fx3 + QStringList("ClearFPGA"), 7, E);
    row("FPGA write fails", 5, 7, "WriteFPGA", both + QStringList(writing), false, open + fx3 + fpga, 7, E);
    row("FPGA write unplugged", 5, 7, "unplug:WriteFPGA", both + QStringList(writing), false, open + fx3 + fpga, 7, E);
    row("preset fails", 5, 7, "Preset", both, true, full, 7, 9);
    row("preset unplugged", 5, 7, "unplug:Preset", both, true, full, 7, 9);
    const QStringList fpgaOnly = {skippingFx3, updatingFpga};
    row("FPGA only, written", 7, 7, "", fpgaOnly, true, open + fpga + preset, 5, 9);
    row("FPGA only, clear fails", 7, 7, "ClearFPGA", fpgaOnly + QStringList(clearing), false, open + QStringList("ClearFPGA"), 5, 7);
    row("FPGA only, write unplugged", 7, 7, "unplug:WriteFPGA", fpgaOnly + QStringList(writing), false, open + fpga, 5, E);

    // Nothing is erased for an image that is not there, or not exactly the release's.
    const QStringList noFx3 = {imageNotTheRelease + "%fx3"};
    QTest::newRow("no images") << 5 << 7 << "" << "" << QStringList(imageNotFound + "%fx3") << false << QStringList() << 5 << 7;
    QTest::newRow("FPGA image missing") << 5 << 7 << "fx3" << "" << QStringList(imageNotFound + "%fpga") << false << QStringList() << 5 << 7;
    QTest::newRow("FPGA image empty") << 5 << 7 << "fx3 fpga=empty" << "" << QStringList(imageNotTheRelease + "%fpga") << false << QStringList() << 5 << 7;
    QTest::newRow("FX3 image corrupt") << 5 << 7 << "fx3=corrupt fpga" << "" << noFx3 << false << QStringList() << 5 << 7;
    QTest::newRow("FX3 image truncated") << 5 << 7 << "fx3=truncated fpga" << "" << noFx3 << false << QStringList() << 5 << 7;
    QTest::newRow("FX3 image of another version") << 5 << 7 << "fx3=v6 fpga" << "" << noFx3 << false << QStringList() << 5 << 7;
    QTest::newRow("FPGA image under the FX3 name") << 5 << 7 << "fx3=swapped fpga" << "" << noFx3 << false << QStringList() << 5 << 7;
    QTest::newRow("FX3 image is a text file") << 5 << 7 << "fx3=text fpga" << "" << noFx3 << false << QStringList() << 5 << 7;
    QTest::newRow("FX3 image is a folder") << 5 << 7 << "fx3=folder fpga" << "" << QStringList(imageUnreadable + "%fx3") << false << QStringList() << 5 << 7;
    QTest::newRow("FX3 image missing, FPGA only") << 7 << 7 << "fpga" << "" << QStringList({skippingFx3, updatingFpga}) << true << open + fpga + preset << 5 << 9;
}

void TestWriteWorkers::update()
{
    QFETCH(int, fx3);
    QFETCH(int, fpga);
    QFETCH(QString, images);
    QFETCH(QString, fault);
    QFETCH(bool, succeeded);
    const ReleaseFolder folder(images);

    UpdateDeviceThread worker;
    worker.deviceInfo = recordFor(fx3, fpga);
    const DeviceInfo before = worker.deviceInfo;
    LineRecorder recorder(worker, &UpdateDeviceThread::addLine, &UpdateDeviceThread::addStatusLine);
    QSignalSpy replaced(&worker, &UpdateDeviceThread::replaceLastLine);
    recorder.run(worker, [&] {
        Simulator::reset();
        injectFault(fault);
    });

    QFETCH(QStringList, lines);
    QCOMPARE(recorder.texts(), ReleaseFolder::withPaths(lines));
    QCOMPARE(recorder.red, recorder.texts().filter(QRegularExpression("^Firmware image")));
    QCOMPARE(recorder.wrongPauses().join(", "), QString());
    QCOMPARE(worker.succeeded, succeeded);
    QTEST(Simulator::callNames(), "calls");
    QTEST(int(Simulator::device().fx3Store), "fx3Store");
    QTEST(int(Simulator::device().fpgaStore), "fpgaStore");
    QCOMPARE(replaced.count(), 0);
    checkCalls(Simulator::calls(), before.serialNumber);
    QCOMPARE(worker.deviceInfo.serialNumber, before.serialNumber);
    QCOMPARE(worker.deviceInfo.fx3Version, before.fx3Version);
}

void TestWriteWorkers::restore_data()
{
    QTest::addColumn<Device>("device");
    QTest::addColumn<QString>("images");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<int>("fx3Store");
    QTest::addColumn<int>("fpgaStore");

    Device older;
    older.fpgaStatus = 2;
    Device failed = older;
    failed.fx3Store = 7;
    failed.fpgaStore = 9;
    const QStringList full = {"GetDeviceList", "OpenDevice", "ClearFx3", "WriteFx3", "ClearFPGA", "WriteFPGA", "Preset"};
    const QStringList both = {restoringFx3, updatingFpga};

    QTest::newRow("both written at the release") << failed << "both" << "" << both << true << full << 7 << 9;
    Device absent = failed;
    absent.present = false;
    QTest::newRow("no device") << absent << "both" << "" << QStringList(unableToFindDevice) << false << QStringList("GetDeviceList") << 7 << 9;
    Device two = failed;
    two.otherSerialNumbers = {1234};
    QTest::newRow("two devices") << two << "both" << "" << QStringList(unableToFindDevice) << false << QStringList("GetDeviceList") << 7 << 9;
    const int E = erased;
    auto row = [&](const char *name, const char *fault, const QStringList &lines, bool succeeded, const QStringList &calls,
                   int fx3Store, int fpgaStore) {
        QTest::newRow(name) << older << "both" << fault << lines << succeeded << calls << fx3Store << fpgaStore;
    };
    const QStringList list = {"GetDeviceList"};
    const QStringList open = {"GetDeviceList", "OpenDevice"};
    const QStringList fx3 = {"ClearFx3", "WriteFx3"};
    // Its status is not looked at: the count stays 1, and entry 0 is opened.
    row("list fails", "GetDeviceList", {failedToOpenDevice}, false, open, 5, 7);
    row("list unplugged", "unplug:GetDeviceList", {unableToFindDevice}, false, list, 5, 7);
    row("open fails", "OpenDevice", {failedToOpenDevice}, false, open, 5, 7);
    row("open unplugged", "unplug:OpenDevice", {failedToOpenDevice}, false, open, 5, 7);
    row("FX3 clear fails", "ClearFx3", {restoringFx3, "Failed clearing boot FX3 device."}, false, open + QStringList("ClearFx3"), 5, 7);
    row("FX3 clear unplugged", "unplug:ClearFx3", {restoringFx3, "Failed clearing boot FX3 device."}, false,
        open + QStringList("ClearFx3"), E, 7);
    row("FX3 write fails", "WriteFx3", {restoringFx3, "Failed writing FX3."}, false, open + fx3, E, 7);
    row("FX3 write unplugged", "unplug:WriteFx3", {restoringFx3, "Failed writing FX3."}, false, open + fx3, E, 7);
    row("FPGA clear fails", "ClearFPGA", both + QStringList("Failed clearing FPGA."), false, open + fx3 + QStringList("ClearFPGA"), 7, 7);
    row("FPGA clear unplugged", "unplug:ClearFPGA", both + QStringList("Failed clearing FPGA."), false,
        open + fx3 + QStringList("ClearFPGA"), 7, E);
    row("FPGA write fails", "WriteFPGA", both + QStringList("Failed writing FPGA."), false, full.mid(0, 6), 7, E);
    row("FPGA write unplugged", "unplug:WriteFPGA", both + QStringList("Failed writing FPGA."), false, full.mid(0, 6), 7, E);
    row("preset fails", "Preset", both, true, full, 7, 9);
    row("preset unplugged", "unplug:Preset", both, true, full, 7, 9);
    QTest::newRow("FPGA image missing") << older << "fx3" << "" << QStringList(imageNotFound + "%fpga") << false << QStringList() << 5 << 7;
    QTest::newRow("FX3 image missing") << older << "fpga" << "" << QStringList(imageNotFound + "%fx3") << false << QStringList() << 5 << 7;
    QTest::newRow("FX3 image corrupt") << older << "fx3=corrupt fpga" << "" << QStringList(imageNotTheRelease + "%fx3") << false << QStringList() << 5 << 7;
    QTest::newRow("FPGA image of another version") << older << "fx3 fpga=v6" << "" << QStringList(imageNotTheRelease + "%fpga") << false << QStringList() << 5 << 7;
}

void TestWriteWorkers::restore()
{
    QFETCH(Device, device);
    QFETCH(QString, images);
    QFETCH(QString, fault);
    QFETCH(bool, succeeded);
    const ReleaseFolder folder(images);

    RestoreDeviceThread worker;
    worker.deviceInfo = recordFor(7, 9, device.serialNumber);
    worker.deviceInfo.state = NeedsRestore;
    LineRecorder recorder(worker, &RestoreDeviceThread::addLine, &RestoreDeviceThread::addStatusLine);
    recorder.run(worker, [&] {
        Simulator::reset(device);
        injectFault(fault);
    });

    QFETCH(QStringList, lines);
    QCOMPARE(recorder.texts(), ReleaseFolder::withPaths(lines));
    QCOMPARE(recorder.red, recorder.texts().filter(QRegularExpression("^Firmware image")));
    QCOMPARE(recorder.wrongPauses().join(", "), QString());
    QCOMPARE(worker.succeeded, succeeded);
    QTEST(Simulator::callNames(), "calls");
    QTEST(int(Simulator::device().fx3Store), "fx3Store");
    QTEST(int(Simulator::device().fpgaStore), "fpgaStore");
    checkCalls(Simulator::calls(), device.serialNumber);
    if (!Simulator::calls().isEmpty())
        QCOMPARE(Simulator::calls()[0].count, 1);
    if (succeeded && !fault.endsWith("Preset"))
        QCOMPARE(Simulator::device().fpgaStatus, 0);
}

void TestWriteWorkers::restoreWritesTheRecordedSerialAfterABootstrap()
{
    Device booted;
    booted.fx3Store = erased;
    booted.fpgaStore = erased;
    booted.fpgaStatus = 2;
    Simulator::reset(booted);

    RestoreDeviceThread worker;
    worker.deviceInfo.state = NeedsRestore;
    worker.deviceInfo.serialNumber = Release::bootstrapSerialNumber;
    worker.deviceInfo.targetFx3Version = Release::versions.fx3;
    worker.deviceInfo.targetFpgaVersion = Release::versions.fpga;
    runToEnd(worker);

    QVERIFY(worker.succeeded);
    const QVector<Call> calls = Simulator::calls();
    QCOMPARE(calls[1].serialNumber, booted.serialNumber);
    QCOMPARE(calls[3].op, Op::WriteFx3);
    QCOMPARE(calls[3].serialNumber, Release::bootstrapSerialNumber);
    const Device after = Simulator::device();
    QCOMPARE(after.fx3Store, 7);
    QCOMPARE(after.fpgaStore, 9);
    QCOMPARE(after.serialNumber, Release::bootstrapSerialNumber);
    QCOMPARE(after.mode, Mode::Normal);
    QCOMPARE(after.fpgaStatus, 0);
}

QTEST_GUILESS_MAIN(TestWriteWorkers)
#include "tst_writeworkers.moc"
