#include "firmwareimage.h"
#include "firmwarerelease.h"
#include "simulator.h"

#include <orv_api.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>
#include <QtTest>

#include <thread>

using namespace orvsim;

namespace {

const QString fx3Release = QString::fromStdString(fx3ImagePath(Release::versions));
const QString fpgaRelease = QString::fromStdString(fpgaImagePath(Release::versions));

int32_t openTypical()
{
    int32_t handle = -1;
    if (orvConfigNetOpenDevice(&handle, Simulator::device().serialNumber) != ORV_SUCCESS)
        return -1;
    return handle;
}

} // namespace

class TestSimulatedDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void releaseFilesAreTheToolsImages();
    void refusedImages_data();
    void refusedImages();

    void apiVersionSaysSimulator();
    void listing_data();
    void listing();
    void listingHonoursCapacity();
    void openNeedsAListedDevice();
    void unknownAndClosedHandlesFail();
    void firmwareNumberIsTheFx3StoreVersion();

    void writeNeedsAClearedStore();
    void writeRefusesBadFilesAndKeepsStoreErased_data();
    void writeRefusesBadFilesAndKeepsStoreErased();
    void writeStoresImageVersionAndSerial();
    void presetReloads_data();
    void presetReloads();
    void bootstrap_data();
    void bootstrap();

    void injectedFailureOnNthCall();
    void unplugDuringWriteLeavesStoreErased_data();
    void unplugDuringWriteLeavesStoreErased();
    void unplugWhileAWriteTakesTime();
    void callLogRecordsArguments();
    void safeFromSeveralThreads();

    void stateFileCarriesTheDeviceToTheNextRun();
    void deviceWithoutProgramStartsInBootLoader();

private:
    QTemporaryDir dir;
};

void TestSimulatedDevice::init()
{
    Simulator::reset();
}

void TestSimulatedDevice::releaseFilesAreTheToolsImages()
{
    const ImageInfo fx3 = readImageFile(fx3Release);
    QVERIFY2(fx3.valid, qPrintable(fx3.error));
    QCOMPARE(fx3.component, Component::Fx3);
    QCOMPARE(fx3.version, Release::versions.fx3);
    const ImageInfo fpga = readImageFile(fpgaRelease);
    QVERIFY2(fpga.valid, qPrintable(fpga.error));
    QCOMPARE(fpga.component, Component::Fpga);
    QCOMPARE(fpga.version, Release::versions.fpga);

    QFile file(fx3Release);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), makeImage(Component::Fx3, Release::versions.fx3));
}

void TestSimulatedDevice::refusedImages_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = makeImage(Component::Fpga, 9);
    QByteArray flipped = good;
    flipped[100] = char(flipped[100] ^ 1);
    QByteArray otherVersion = good;
    otherVersion[8] = 10; // version field, with the old checksum
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated") << good.left(good.size() - 1);
    QTest::newRow("header only") << good.left(16);
    QTest::newRow("one payload byte flipped") << flipped;
    QTest::newRow("version edited") << otherVersion;
    QTest::newRow("extra bytes") << good + QByteArray(1, 0);
    QTest::newRow("not an image") << QByteArray(4096, 'x');
}

void TestSimulatedDevice::refusedImages()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!parseImage(bytes).valid);
}

void TestSimulatedDevice::apiVersionSaysSimulator()
{
    QVERIFY(QString(orvGetAPIVersion()).contains("simulator"));
}

void TestSimulatedDevice::listing_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("bootLoader");
    QTest::addColumn<int>("expectedCount");
    QTest::newRow("normal") << true << false << 1;
    QTest::newRow("boot loader only") << true << true << 0;
    QTest::newRow("absent") << false << false << 0;
}

void TestSimulatedDevice::listing()
{
    QFETCH(bool, present);
    QFETCH(bool, bootLoader);
    Device d;
    d.present = present;
    d.mode = bootLoader ? Mode::BootLoader : Mode::Normal;
    Simulator::reset(d);

    int32_t serials[8] = {};
    int32_t count = 8;
    QCOMPARE(orvConfigNetGetDeviceList(serials, &count), ORV_SUCCESS);
    QTEST(int(count), "expectedCount");
    if (count == 1)
        QCOMPARE(serials[0], d.serialNumber);
    int32_t handle = -1;
    QCOMPARE(orvConfigNetOpenDevice(&handle, d.serialNumber) == ORV_SUCCESS, count == 1);
}

void TestSimulatedDevice::listingHonoursCapacity()
{
    Device d;
    d.otherSerialNumbers = {111, 222};
    Simulator::reset(d);
    int32_t serials[2] = {-7, -7};
    int32_t count = 1;
    QCOMPARE(orvConfigNetGetDeviceList(serials, &count), ORV_SUCCESS);
    QCOMPARE(count, 3);
    QCOMPARE(serials[0], d.serialNumber);
    QCOMPARE(serials[1], -7);
    QVERIFY(orvConfigNetGetDeviceList(nullptr, nullptr) != ORV_SUCCESS);
}

void TestSimulatedDevice::openNeedsAListedDevice()
{
    int32_t handle = -1;
    QVERIFY(orvConfigNetOpenDevice(&handle, Simulator::device().serialNumber + 1) != ORV_SUCCESS);
    QCOMPARE(handle, -1);
    QVERIFY(Simulator::openHandles().isEmpty());
    QVERIFY(orvConfigNetOpenDevice(nullptr, Simulator::device().serialNumber) != ORV_SUCCESS);
}

void TestSimulatedDevice::unknownAndClosedHandlesFail()
{
    const int32_t handle = openTypical();
    QVERIFY(handle >= 0);
    QCOMPARE(orvConfigNetCloseDevice(handle), ORV_SUCCESS);
    int32_t value = 0;
    for (int32_t h : {handle, int32_t(-1), int32_t(4711)}) {
        QVERIFY(orvConfigNetCloseDevice(h) != ORV_SUCCESS);
        QVERIFY(orvConfigNetGetFirmwareVersion(h, &value) != ORV_SUCCESS);
        QVERIFY(orvConfigNetGetFPGAStatus(h, &value) != ORV_SUCCESS);
        QVERIFY(orvConfigNetClearFx3(h) != ORV_SUCCESS);
        QVERIFY(orvConfigNetClearFPGA(h) != ORV_SUCCESS);
        QVERIFY(orvConfigNetPreset(h) != ORV_SUCCESS);
    }
    QCOMPARE(Simulator::device().fx3Store, 5);
    QCOMPARE(Simulator::device().fpgaStore, 7);
}

void TestSimulatedDevice::firmwareNumberIsTheFx3StoreVersion()
{
    Device d;
    d.fx3Store = 42;
    d.fpgaStatus = 2;
    Simulator::reset(d);
    const int32_t handle = openTypical();
    int32_t firmware = 0;
    int32_t status = 0;
    QCOMPARE(orvConfigNetGetFirmwareVersion(handle, &firmware), ORV_SUCCESS);
    QCOMPARE(orvConfigNetGetFPGAStatus(handle, &status), ORV_SUCCESS);
    QCOMPARE(firmware, 42);
    QCOMPARE(status, 2);
}

void TestSimulatedDevice::writeNeedsAClearedStore()
{
    const int32_t handle = openTypical();
    const QByteArray fx3 = fx3Release.toLocal8Bit();
    const QByteArray fpga = fpgaRelease.toLocal8Bit();
    QCOMPARE(orvConfigNetWriteFx3(handle, fx3.constData(), 1), ORV_NOT_ERASED);
    QCOMPARE(orvConfigNetWriteFGPA(handle, fpga.constData()), ORV_NOT_ERASED);
    QCOMPARE(Simulator::device().fx3Store, 5);
    QCOMPARE(Simulator::device().fpgaStore, 7);
}

void TestSimulatedDevice::writeRefusesBadFilesAndKeepsStoreErased_data()
{
    QTest::addColumn<bool>("fx3Store");
    QTest::addColumn<QByteArray>("contents"); // empty with "missing": no file
    QTest::addColumn<bool>("missing");
    QTest::newRow("FX3: missing") << true << QByteArray() << true;
    QTest::newRow("FX3: empty") << true << QByteArray() << false;
    QTest::newRow("FX3: truncated") << true << makeImage(Component::Fx3, 7).left(1000) << false;
    QTest::newRow("FX3: FPGA image") << true << makeImage(Component::Fpga, 9) << false;
    QTest::newRow("FPGA: missing") << false << QByteArray() << true;
    QTest::newRow("FPGA: FX3 image") << false << makeImage(Component::Fx3, 7) << false;
    QByteArray corrupt = makeImage(Component::Fpga, 9);
    corrupt[5000] = char(corrupt[5000] + 1);
    QTest::newRow("FPGA: corrupt") << false << corrupt << false;
}

void TestSimulatedDevice::writeRefusesBadFilesAndKeepsStoreErased()
{
    QFETCH(bool, fx3Store);
    QFETCH(QByteArray, contents);
    QFETCH(bool, missing);
    const QString path = dir.filePath(QString("image-%1").arg(QTest::currentDataTag()));
    if (!missing) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    const QByteArray localPath = path.toLocal8Bit();
    const int32_t handle = openTypical();
    if (fx3Store) {
        QCOMPARE(orvConfigNetClearFx3(handle), ORV_SUCCESS);
        QCOMPARE(orvConfigNetWriteFx3(handle, localPath.constData(), 1), ORV_BAD_IMAGE);
        QCOMPARE(Simulator::device().fx3Store, erased);
    } else {
        QCOMPARE(orvConfigNetClearFPGA(handle), ORV_SUCCESS);
        QCOMPARE(orvConfigNetWriteFGPA(handle, localPath.constData()), ORV_BAD_IMAGE);
        QCOMPARE(Simulator::device().fpgaStore, erased);
    }
}

void TestSimulatedDevice::writeStoresImageVersionAndSerial()
{
    const QString other = dir.filePath("ORV-Cypress-v3.img");
    QFile file(other);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(makeImage(Component::Fx3, 3));
    file.close();

    const int32_t handle = openTypical();
    const QByteArray path = other.toLocal8Bit();
    QCOMPARE(orvConfigNetClearFx3(handle), ORV_SUCCESS);
    QCOMPARE(Simulator::device().fx3Store, erased);
    QCOMPARE(orvConfigNetWriteFx3(handle, path.constData(), 25203003), ORV_SUCCESS);
    QCOMPARE(Simulator::device().fx3Store, 3);
    QCOMPARE(Simulator::device().serialNumber, 25203003);
}

void TestSimulatedDevice::presetReloads_data()
{
    QTest::addColumn<int>("fx3Store");
    QTest::addColumn<int>("fpgaStore");
    QTest::addColumn<int>("fpgaStatus");
    QTest::addColumn<bool>("listed");
    QTest::newRow("both valid") << 7 << 9 << 0 << true;
    QTest::newRow("FPGA erased") << 7 << int(erased) << 2 << true;
    QTest::newRow("FX3 erased") << int(erased) << 9 << 0 << false;
}

void TestSimulatedDevice::presetReloads()
{
    QFETCH(int, fx3Store);
    QFETCH(int, fpgaStore);
    Device d;
    d.fpgaStatus = 2;
    Simulator::reset(d);
    const int32_t handle = openTypical();
    Device changed = Simulator::device();
    changed.fx3Store = fx3Store;
    changed.fpgaStore = fpgaStore;
    Simulator::setDevice(changed);

    QCOMPARE(orvConfigNetPreset(handle), ORV_SUCCESS);
    QTEST(int(Simulator::device().fpgaStatus), "fpgaStatus");
    int32_t serials[8] = {};
    int32_t count = 8;
    orvConfigNetGetDeviceList(serials, &count);
    QTEST(count == 1, "listed");
}

void TestSimulatedDevice::bootstrap_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("bootLoader");
    QTest::addColumn<QString>("image");
    QTest::addColumn<int>("status");
    QTest::newRow("boot loader, release image") << true << true << fx3Release << int(ORV_SUCCESS);
    QTest::newRow("boot loader, FPGA image") << true << true << fpgaRelease << int(ORV_BAD_IMAGE);
    QTest::newRow("boot loader, no file") << true << true << "./firmware/none.img" << int(ORV_BAD_IMAGE);
    QTest::newRow("absent") << false << true << fx3Release << int(ORV_NO_DEVICE);
    QTest::newRow("running normally") << true << false << fx3Release << int(ORV_NO_DEVICE);
}

void TestSimulatedDevice::bootstrap()
{
    QFETCH(bool, present);
    QFETCH(bool, bootLoader);
    QFETCH(QString, image);
    QFETCH(int, status);
    Device d;
    d.present = present;
    d.mode = bootLoader ? Mode::BootLoader : Mode::Normal;
    d.fx3Store = bootLoader ? erased : 5;
    Simulator::reset(d);

    int32_t handle = -1;
    const QByteArray path = image.toLocal8Bit();
    QCOMPARE(int(orvConfigNetBootstrapDevice(&handle, path.constData())), status);
    int32_t serials[8] = {};
    int32_t count = 8;
    orvConfigNetGetDeviceList(serials, &count);
    QCOMPARE(count, status == ORV_SUCCESS || (present && !bootLoader) ? 1 : 0);
    QCOMPARE(handle >= 0, status == ORV_SUCCESS);
    if (status == ORV_SUCCESS) {
        QCOMPARE(orvConfigNetCloseDevice(handle), ORV_SUCCESS);
        // Running from RAM: the store still holds nothing.
        QCOMPARE(Simulator::device().fx3Store, d.fx3Store);
    }
}

void TestSimulatedDevice::injectedFailureOnNthCall()
{
    Simulator::failCall(Op::ClearFPGA, ORVStatus(77), 2);
    const int32_t handle = openTypical();
    QCOMPARE(orvConfigNetClearFPGA(handle), ORV_SUCCESS);
    QCOMPARE(Simulator::pendingFaults().size(), 1);
    QCOMPARE(int(orvConfigNetClearFPGA(handle)), 77);
    QCOMPARE(orvConfigNetClearFPGA(handle), ORV_SUCCESS);
    QVERIFY(Simulator::pendingFaults().isEmpty());

    // A failing call changes nothing, out-values included.
    Simulator::reset();
    Simulator::failCall(Op::OpenDevice, ORV_ERROR);
    int32_t h = -1;
    QCOMPARE(orvConfigNetOpenDevice(&h, Simulator::device().serialNumber), ORV_ERROR);
    QCOMPARE(h, -1);
    Simulator::failCall(Op::ClearFx3, ORV_ERROR);
    QCOMPARE(orvConfigNetClearFx3(openTypical()), ORV_ERROR);
    QCOMPARE(Simulator::device().fx3Store, 5);
}

void TestSimulatedDevice::unplugDuringWriteLeavesStoreErased_data()
{
    QTest::addColumn<bool>("fx3Store");
    QTest::addColumn<int>("writeMs");
    QTest::newRow("FX3, instant write") << true << 0;
    QTest::newRow("FPGA, instant write") << false << 0;
    QTest::newRow("FPGA, write taking time") << false << 60;
}

void TestSimulatedDevice::unplugDuringWriteLeavesStoreErased()
{
    QFETCH(bool, fx3Store);
    QFETCH(int, writeMs);
    Device d;
    d.fx3WriteMs = d.fpgaWriteMs = writeMs;
    Simulator::reset(d);
    Simulator::unplugAt(fx3Store ? Op::WriteFx3 : Op::WriteFPGA);
    const int32_t handle = openTypical();
    const QByteArray fx3 = fx3Release.toLocal8Bit();
    const QByteArray fpga = fpgaRelease.toLocal8Bit();
    QElapsedTimer timer;
    timer.start();
    if (fx3Store) {
        QCOMPARE(orvConfigNetClearFx3(handle), ORV_SUCCESS);
        QCOMPARE(orvConfigNetWriteFx3(handle, fx3.constData(), 1), ORV_NO_DEVICE);
        QCOMPARE(Simulator::device().fx3Store, erased);
        QCOMPARE(Simulator::device().fpgaStore, 7);
    } else {
        QCOMPARE(orvConfigNetClearFPGA(handle), ORV_SUCCESS);
        QCOMPARE(orvConfigNetWriteFGPA(handle, fpga.constData()), ORV_NO_DEVICE);
        QCOMPARE(Simulator::device().fpgaStore, erased);
        QCOMPARE(Simulator::device().fx3Store, 5);
    }
    QVERIFY(timer.elapsed() >= writeMs / 2);
    QVERIFY(!Simulator::device().present);
    QVERIFY(Simulator::openHandles().isEmpty());
    QVERIFY(orvConfigNetPreset(handle) != ORV_SUCCESS);
}

void TestSimulatedDevice::unplugWhileAWriteTakesTime()
{
    Device d;
    d.fpgaWriteMs = 5000;
    Simulator::reset(d);
    const int32_t handle = openTypical();
    QCOMPARE(orvConfigNetClearFPGA(handle), ORV_SUCCESS);
    const QByteArray fpga = fpgaRelease.toLocal8Bit();
    QFuture<ORVStatus> write = QtConcurrent::run([&] { return orvConfigNetWriteFGPA(handle, fpga.constData()); });
    // Unplugged once the write has begun, however late its thread starts.
    QTRY_VERIFY(Simulator::describe().contains("FPGA store:  erased, being written"));
    QVERIFY(write.isRunning());
    // The device can be looked at while it writes.
    QVERIFY(Simulator::device().present);
    Simulator::unplugNow();
    QTRY_VERIFY_WITH_TIMEOUT(write.isFinished(), 1000);
    QCOMPARE(write.result(), ORV_NO_DEVICE);
    QCOMPARE(Simulator::device().fpgaStore, erased);
}

void TestSimulatedDevice::callLogRecordsArguments()
{
    int32_t serials[8] = {};
    int32_t count = 8;
    orvConfigNetGetDeviceList(serials, &count);
    const int32_t handle = openTypical();
    orvConfigNetClearFx3(handle);
    const QByteArray fx3 = fx3Release.toLocal8Bit();
    orvConfigNetWriteFx3(handle, fx3.constData(), 25203003);
    orvConfigNetCloseDevice(handle);

    const QVector<Call> calls = Simulator::calls();
    QCOMPARE(Simulator::callNames(), QStringList({"GetDeviceList", "OpenDevice", "ClearFx3", "WriteFx3", "CloseDevice"}));
    QCOMPARE(calls[0].count, 8);
    QCOMPARE(calls[1].serialNumber, serials[0]);
    QCOMPARE(calls[1].handle, handle);
    QCOMPARE(calls[3].path, fx3Release);
    QCOMPARE(calls[3].serialNumber, 25203003);
    QCOMPARE(calls[3].handle, handle);
    QCOMPARE(calls[3].status, ORV_SUCCESS);
    QCOMPARE(calls[4].handle, handle);
    QVERIFY(calls[3].toString().contains(fx3Release));
}

void TestSimulatedDevice::safeFromSeveralThreads()
{
    const int32_t handle = openTypical();
    auto reader = [handle] {
        int bad = 0;
        for (int i = 0; i < 2000; ++i) {
            int32_t firmware = 0;
            if (orvConfigNetGetFirmwareVersion(handle, &firmware) != ORV_SUCCESS || firmware != 5)
                ++bad;
        }
        return bad;
    };
    QFuture<int> a = QtConcurrent::run(reader);
    QFuture<int> b = QtConcurrent::run(reader);
    QCOMPARE(a.result() + b.result(), 0);
    QCOMPARE(Simulator::calls().size(), 4001);
}

void TestSimulatedDevice::stateFileCarriesTheDeviceToTheNextRun()
{
    const QString path = dir.filePath("state.json");
    QVERIFY(Simulator::usePersistentState(path));
    QVERIFY(QFile::exists(path));
    QCOMPARE(Simulator::device().fx3Store, 5);
    QVERIFY(Simulator::device().fx3WriteMs > 0);

    Device quick = Simulator::device();
    quick.fx3WriteMs = quick.fpgaWriteMs = 0;
    Simulator::setDevice(quick);
    const int32_t handle = openTypical();
    orvConfigNetClearFx3(handle);
    const QByteArray fx3 = fx3Release.toLocal8Bit();
    QCOMPARE(orvConfigNetWriteFx3(handle, fx3.constData(), 25203003), ORV_SUCCESS);
    Simulator::failCall(Op::ClearFPGA, ORVStatus(9));
    QVERIFY(Simulator::saveState(path));

    // The next run: handles are gone, the store and the fault stay.
    Simulator::reset();
    QVERIFY(Simulator::usePersistentState(path));
    QCOMPARE(Simulator::device().fx3Store, 7);
    QCOMPARE(Simulator::device().serialNumber, 25203003);
    QVERIFY(Simulator::openHandles().isEmpty());
    QCOMPARE(Simulator::pendingFaults().size(), 1);
    QCOMPARE(int(Simulator::pendingFaults()[0].status), 9);

    // A damaged file is left as it is for its owner to mend.
    QFile garbage(path);
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("{ not json");
    garbage.close();
    QVERIFY(!Simulator::usePersistentState(path));
    QVERIFY(garbage.open(QIODevice::ReadOnly));
    QCOMPARE(garbage.readAll(), QByteArray("{ not json"));
}

void TestSimulatedDevice::deviceWithoutProgramStartsInBootLoader()
{
    const QString path = dir.filePath("interrupted.json");
    QVERIFY(Simulator::usePersistentState(path));
    Device d = Simulator::device();
    d.fx3WriteMs = 0;
    Simulator::setDevice(d);
    Simulator::unplugAt(Op::WriteFx3);
    const int32_t handle = openTypical();
    orvConfigNetClearFx3(handle);
    const QByteArray fx3 = fx3Release.toLocal8Bit();
    QCOMPARE(orvConfigNetWriteFx3(handle, fx3.constData(), 1), ORV_NO_DEVICE);

    // Plugged in again for the next run: only the boot loader runs.
    QVERIFY(Simulator::usePersistentState(path));
    d = Simulator::device();
    d.present = true;
    Simulator::setDevice(d);
    QVERIFY(Simulator::saveState(path));
    QVERIFY(Simulator::usePersistentState(path));
    QCOMPARE(Simulator::device().mode, Mode::BootLoader);
    int32_t serials[8] = {};
    int32_t count = 8;
    orvConfigNetGetDeviceList(serials, &count);
    QCOMPARE(count, 0);
}

QTEST_GUILESS_MAIN(TestSimulatedDevice)
#include "tst_simulateddevice.moc"
