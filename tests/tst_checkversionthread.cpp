#include "workersupport.h"

#include "checkversionthread.h"

#include <QtTest>

using namespace orvsim;
using namespace testsupport;

class TestCheckVersionThread : public QObject
{
    Q_OBJECT

private slots:
    void run_data();
    void run();
    void opensTheFirstOfSeveralDevices();
};

void TestCheckVersionThread::run_data()
{
    QTest::addColumn<Device>("device");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("fx3");
    QTest::addColumn<int>("fpga");
    QTest::addColumn<QStringList>("emitted");
    QTest::addColumn<QStringList>("calls");

    const QStringList fullRun = {"GetDeviceList", "OpenDevice", "GetFirmwareVersion", "GetFPGAStatus", "CloseDevice"};
    const QStringList failed = {"FPGA failed to load."};
    Device d;
    QTest::newRow("firmware 5") << d << "" << int(Ready) << 5 << 7 << QStringList() << fullRun;
    d.fx3Store = 7;
    d.fpgaStatus = 2;
    QTest::newRow("firmware 7, FPGA failed") << d << "" << int(NeedsRestore) << 7 << 9 << failed << fullRun;
    d.fpgaStatus = 1;
    QTest::newRow("FPGA status 1 is not a failure") << d << "" << int(Ready) << 7 << 9 << QStringList() << fullRun;
    d = Device();
    d.fx3Store = 8;
    // A device of a later release keeps the number it reported.
    QTest::newRow("firmware 8") << d << "" << int(Ready) << 8 << 0 << QStringList() << fullRun;
    d.fx3Store = 1;
    QTest::newRow("firmware 1") << d << "" << int(Ready) << 0 << 0 << QStringList() << fullRun;
    d = Device();
    d.present = false;
    QTest::newRow("no device") << d << "" << int(NoDevice) << 0 << 0 << QStringList() << QStringList({"GetDeviceList"});
    d = Device();
    d.mode = Mode::BootLoader;
    QTest::newRow("boot loader only") << d << "" << int(NoDevice) << 0 << 0 << QStringList() << QStringList({"GetDeviceList"});
    QTest::newRow("open fails: no close") << Device() << "OpenDevice" << int(NoDevice) << 0 << 0 << QStringList()
                                          << QStringList({"GetDeviceList", "OpenDevice"});
    // A failing read leaves the preset 0: versions 0.0.0, and a status of 0.
    QTest::newRow("firmware read fails") << Device() << "GetFirmwareVersion" << int(Ready) << 0 << 0 << QStringList() << fullRun;
    d = Device();
    d.fpgaStatus = 2;
    QTest::newRow("status read fails") << d << "GetFPGAStatus" << int(Ready) << 5 << 7 << QStringList() << fullRun;
    QTest::newRow("close fails, ignored") << Device() << "CloseDevice" << int(Ready) << 5 << 7 << QStringList() << fullRun;
}

void TestCheckVersionThread::run()
{
    QFETCH(Device, device);
    QFETCH(QString, fault);
    QFETCH(int, state);
    Simulator::reset(device);
    injectFault(fault);

    CheckVersionThread worker;
    QSignalSpy spy(&worker, &CheckVersionThread::updateText);
    runToEnd(worker);

    QCOMPARE(int(worker.deviceInfo.state), state);
    QTEST(spiedLines(spy), "emitted");
    QTEST(Simulator::callNames(), "calls");
    if (state != NoDevice) {
        QTEST(int(worker.deviceInfo.fx3Version), "fx3");
        QTEST(int(worker.deviceInfo.fpgaVersion), "fpga");
        QCOMPARE(worker.deviceInfo.targetFx3Version, Release::versions.fx3);
        QCOMPARE(worker.deviceInfo.targetFpgaVersion, Release::versions.fpga);
        QCOMPARE(worker.deviceInfo.serialNumber, device.serialNumber);
        const QVector<Call> calls = Simulator::calls();
        QCOMPARE(calls[0].count, 8);
        QCOMPARE(calls[1].serialNumber, device.serialNumber);
        for (int i = 2; i < 5; ++i)
            QCOMPARE(calls[i].handle, calls[1].handle);
    } else {
        // The fields other than state are not written on this path.
        QCOMPARE(worker.deviceInfo.serialNumber, 0);
        QCOMPARE(worker.deviceInfo.targetFx3Version, 0);
    }
    QCOMPARE(Simulator::openHandles().isEmpty(), fault != "CloseDevice");
}

void TestCheckVersionThread::opensTheFirstOfSeveralDevices()
{
    Device d;
    d.otherSerialNumbers = {1111, 2222};
    Simulator::reset(d);
    CheckVersionThread worker;
    runToEnd(worker);
    QCOMPARE(int(worker.deviceInfo.state), int(Ready));
    QCOMPARE(worker.deviceInfo.serialNumber, d.serialNumber);
    QCOMPARE(Simulator::calls()[1].serialNumber, d.serialNumber);
}

QTEST_GUILESS_MAIN(TestCheckVersionThread)
#include "tst_checkversionthread.moc"
