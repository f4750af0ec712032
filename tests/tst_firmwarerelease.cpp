#include "deviceinfo.h"
#include "firmwarerelease.h"

#include <QtTest>

#include <climits>

Q_DECLARE_METATYPE(VersionVerdict)

class TestFirmwareRelease : public QObject
{
    Q_OBJECT

private slots:
    void fpgaVersionForTable_data();
    void fpgaVersionForTable();
    void versionTextWritesFx3Twice_data();
    void versionTextWritesFx3Twice();
    void imagePathsAreRelativeToTheWorkingDirectory();
    void imagePathsStayBoundedForAnyVersion();
    void deviceInfoStartsAtZero();
    void verdict_data();
    void verdict();
};

void TestFirmwareRelease::fpgaVersionForTable_data()
{
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("fx3");
    QTest::addColumn<int>("fpga");
    QTest::newRow("2") << 2 << 2 << 3;
    QTest::newRow("3") << 3 << 3 << 5;
    QTest::newRow("4") << 4 << 4 << 6;
    QTest::newRow("5") << 5 << 5 << 7;
    QTest::newRow("6") << 6 << 6 << 8;
    QTest::newRow("7 is the release") << 7 << 7 << 9;
    QTest::newRow("0") << 0 << 0 << 0;
    QTest::newRow("1") << 1 << 0 << 0;
    QTest::newRow("8") << 8 << 0 << 0;
    QTest::newRow("9") << 9 << 0 << 0;
    QTest::newRow("negative") << -5 << 0 << 0;
    QTest::newRow("largest") << INT_MAX << 0 << 0;
    QTest::newRow("smallest") << INT_MIN << 0 << 0;
}

void TestFirmwareRelease::fpgaVersionForTable()
{
    QFETCH(int, reported);
    const VersionPair pair = fpgaVersionFor(reported);
    QTEST(int(pair.fx3), "fx3");
    QTEST(int(pair.fpga), "fpga");
}

void TestFirmwareRelease::versionTextWritesFx3Twice_data()
{
    QTest::addColumn<int>("fx3");
    QTest::addColumn<int>("fpga");
    QTest::addColumn<QString>("text");
    QTest::newRow("release") << int(Release::versions.fx3) << int(Release::versions.fpga) << "7.7.9";
    QTest::newRow("typical device") << 5 << 7 << "5.5.7";
    QTest::newRow("unknown") << 0 << 0 << "0.0.0";
    QTest::newRow("two digits") << 12 << 34 << "12.12.34";
    QTest::newRow("negative") << -1 << 3 << "-1.-1.3";
}

void TestFirmwareRelease::versionTextWritesFx3Twice()
{
    QFETCH(int, fx3);
    QFETCH(int, fpga);
    QTEST(versionText(fx3, fpga), "text");
}

void TestFirmwareRelease::imagePathsAreRelativeToTheWorkingDirectory()
{
    QCOMPARE(QString::fromStdString(fx3ImagePath(Release::versions)), QString("./firmware/ORV-Cypress-v7.img"));
    QCOMPARE(QString::fromStdString(fpgaImagePath(Release::versions)), QString("./firmware/ORV-FPGA-v9.rbf"));
    // Each builder takes only its own component's number.
    QCOMPARE(QString::fromStdString(fx3ImagePath({3, 100})), QString("./firmware/ORV-Cypress-v3.img"));
    QCOMPARE(QString::fromStdString(fpgaImagePath({100, 4})), QString("./firmware/ORV-FPGA-v4.rbf"));
    QVERIFY(fx3ImagePath(Release::versions).rfind("./" + Release::folderName().toStdString() + "/", 0) == 0);
}

void TestFirmwareRelease::imagePathsStayBoundedForAnyVersion()
{
    QCOMPARE(QString::fromStdString(fx3ImagePath({INT_MIN, 0})), QString("./firmware/ORV-Cypress-v-2147483648.img"));
    QCOMPARE(QString::fromStdString(fpgaImagePath({0, INT_MAX})), QString("./firmware/ORV-FPGA-v2147483647.rbf"));
}

void TestFirmwareRelease::deviceInfoStartsAtZero()
{
    const DeviceInfo info;
    QCOMPARE(int(info.state), int(NoDevice));
    QCOMPARE(info.serialNumber, 0);
    QCOMPARE(info.fx3Version, 0);
    QCOMPARE(info.fpgaVersion, 0);
    QCOMPARE(info.targetFx3Version, 0);
    QCOMPARE(info.targetFpgaVersion, 0);
    QCOMPARE(sizeof(DeviceInfo), 6 * sizeof(int32_t));
}

void TestFirmwareRelease::verdict_data()
{
    QTest::addColumn<int>("fx3");
    QTest::addColumn<int>("fpga");
    QTest::addColumn<VersionVerdict>("expected");
    QTest::newRow("typical 5/7") << 5 << 7 << VersionVerdict::UpdateNeeded;
    QTest::newRow("unknown 0/0") << 0 << 0 << VersionVerdict::UpdateNeeded;
    QTest::newRow("current 7/9") << 7 << 9 << VersionVerdict::Current;
    QTest::newRow("newer FX3") << 8 << 9 << VersionVerdict::DeviceNewer;
    QTest::newRow("newer FPGA") << 7 << 10 << VersionVerdict::DeviceNewer;
    QTest::newRow("newer FX3, older FPGA") << 8 << 2 << VersionVerdict::DeviceNewer;
    QTest::newRow("older FX3, newer FPGA") << 6 << 10 << VersionVerdict::DeviceNewer;
    QTest::newRow("only FPGA older") << 7 << 8 << VersionVerdict::UpdateNeeded;
    QTest::newRow("negative versions") << -1 << -1 << VersionVerdict::UpdateNeeded;
}

void TestFirmwareRelease::verdict()
{
    DeviceInfo info;
    QFETCH(int, fx3);
    QFETCH(int, fpga);
    info.fx3Version = fx3;
    info.fpgaVersion = fpga;
    info.targetFx3Version = Release::versions.fx3;
    info.targetFpgaVersion = Release::versions.fpga;
    QTEST(compareVersions(info), "expected");
}

QTEST_APPLESS_MAIN(TestFirmwareRelease)
#include "tst_firmwarerelease.moc"
