#include "flowsupport.h"
#include "workersupport.h"

#include <QProcess>
#include <QtTest>

using namespace orvsim;
using namespace testsupport;

Q_DECLARE_METATYPE(testsupport::Answer)

namespace {

const QStringList checkCalls = {"GetDeviceList", "OpenDevice", "GetFirmwareVersion", "GetFPGAStatus", "CloseDevice"};
const QStringList bootstrapCalls = {"GetDeviceList", "Bootstrap", "CloseDevice"};
const QStringList restoreLines = {"Attempting to bootstrap firmware.", bootstrappedSerial,
                                  "Firmware can now be restored.", "Press Restore to continue."};

} // namespace

class TestCheckFlow : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void newerDeviceIsAskedAbout_data();
    void newerDeviceIsAskedAbout();
    void workerMessageStaysAboveTheResult();
    void damagedReleaseEnablesNothing_data();
    void damagedReleaseEnablesNothing();
    void quittingAsksNothingAndCallsNothing_data();
    void quittingAsksNothingAndCallsNothing();
    void cancelEndsTheProcessAtOnce();
};

void TestCheckFlow::check_data()
{
    QTest::addColumn<Device>("device");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<Answer>("selector");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("update");
    QTest::addColumn<bool>("restore");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("serial");

    const int serial = Device().serialNumber;
    Device d;
    QTest::newRow("firmware 5")
        << d << "" << Answer::Accept
        << QStringList({"Found ORV1600", "Serial 25203117, with firmware 5.5.7", "Firmware requires update.", "Press Update to continue."})
        << checkCalls << true << false << int(Ready) << serial;
    d.fx3Store = 7;
    QTest::newRow("firmware 7")
        << d << "" << Answer::Accept
        << upToDate
        << checkCalls << false << false << int(Ready) << serial;
    for (int unlisted : {0, 1, -3}) {
        d.fx3Store = unlisted;
        QTest::addRow("unlisted firmware %d", unlisted)
            << d << "" << Answer::Accept
            << QStringList({"Found ORV1600", "Serial 25203117, with firmware 0.0.0", "Firmware requires update.", "Press Update to continue."})
            << checkCalls << true << false << int(Ready) << serial;
    }
    // A device of a later release is asked about before it is written back.
    d.fx3Store = 8;
    QTest::newRow("later release, Yes")
        << d << "" << Answer::Accept
        << QStringList({"Found ORV1600", "Serial 25203117, with firmware 8", "Firmware can now be updated.", "Press Update to continue."})
        << checkCalls << true << false << int(Ready) << serial;
    d.fx3Store = 12;
    QTest::newRow("later release, No")
        << d << "" << Answer::Cancel
        << QStringList({"Found ORV1600", "Serial 25203117, with firmware 12", "Cancelling operation."})
        << checkCalls << false << false << int(Ready) << serial;
    d = Device();
    d.fx3Store = 7;
    d.fpgaStatus = 2;
    QTest::newRow("FPGA failed to load")
        << d << "" << Answer::Accept
        << QStringList({"FPGA failed to load.", "Attempting to bootstrap firmware.", "Found serial 25203117",
                        "Firmware can now be restored.", "Press Restore to continue."})
        << checkCalls << false << true << int(NeedsRestore) << serial;

    d = Device();
    d.mode = Mode::BootLoader;
    d.fx3Store = erased;
    const int booted = Release::bootstrapSerialNumber;
    QTest::newRow("boot loader, model button") << d << "" << Answer::Accept << bootstrapLines + restoreLines
                                               << bootstrapCalls << false << true << int(NeedsRestore) << booted;
    QTest::newRow("boot loader, Escape") << d << "" << Answer::Escape << bootstrapLines + restoreLines
                                         << bootstrapCalls << false << true << int(NeedsRestore) << booted;
    QTest::newRow("boot loader, window control") << d << "" << Answer::WindowControl << bootstrapLines + restoreLines
                                                 << bootstrapCalls << false << true << int(NeedsRestore) << booted;
    QTest::newRow("boot loader, bootstrap fails") << d << "Bootstrap" << Answer::Accept << bootstrapLines + noDeviceLines
                                                  << bootstrapCalls << false << false << int(NoDevice) << 0;
    d = Device();
    d.present = false;
    QTest::newRow("absent") << d << "" << Answer::Accept << bootstrapLines + noDeviceLines
                            << bootstrapCalls << false << false << int(NoDevice) << 0;
    QTest::newRow("open fails") << Device() << "OpenDevice" << Answer::Accept << bootstrapLines + noDeviceLines
                                << QStringList({"GetDeviceList", "OpenDevice", "Bootstrap", "CloseDevice"})
                                << false << false << int(NoDevice) << 0;
}

void TestCheckFlow::check()
{
    QFETCH(Device, device);
    QFETCH(QString, fault);
    QFETCH(Answer, selector);
    QFETCH(QStringList, lines);
    Simulator::reset(device);
    injectFault(fault);

    Window w;
    Operator op(w.panel());
    op.selectorAnswer = selector;
    op.questionAnswer = selector;
    QTest::mouseClick(w.check(), Qt::LeftButton);

    QCOMPARE(w.lines(), checkHeader + lines);
    QTEST(Simulator::callNames(), "calls");
    QVERIFY(!w.check()->isEnabled());
    QTEST(w.update()->isEnabled(), "update");
    QTEST(w.restore()->isEnabled(), "restore");
    QCOMPARE(op.busyDialogsSeen, 1);
    QCOMPARE(op.busyLabel, checkBusyLabel);
    // Owned by the window and centred on it, with no control to close or
    // minimize it.
    QCOMPARE(op.busyOwner, w.window.windowHandle());
    QVERIFY(op.busyOffCentre >= 0 && op.busyOffCentre <= 2);
    QVERIFY(!(op.busyFlags & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowSystemMenuHint)));
    QVERIFY(op.busyFlags & Qt::CustomizeWindowHint);
    QVERIFY(!op.checkEnabledWhileBusy);
    QCOMPARE(op.questionsSeen, lines.contains("Cancelling operation.") || lines.contains("Firmware can now be updated."));
    // The command the check enabled takes the keyboard.
    QWidget *next = w.update()->isEnabled() ? w.update() : w.restore()->isEnabled() ? w.restore() : nullptr;
    if (next)
        QCOMPARE(w.window.focusWidget(), next);

    const DeviceInfo &info = w.panel().deviceInfo;
    QTEST(int(info.state), "state");
    if (info.state != NoDevice)
        QTEST(int(info.serialNumber), "serial");
    const bool bootstrapped = Simulator::callNames().contains("Bootstrap");
    QCOMPARE(op.selectorsSeen, bootstrapped ? 1 : 0);
    if (bootstrapped) {
        QVERIFY(!op.busyVisibleWithSelector);
        QCOMPARE(op.selectorOwner, w.window.windowHandle());
        QCOMPARE(info.targetFx3Version, Release::versions.fx3);
        QCOMPARE(info.targetFpgaVersion, Release::versions.fpga);
        const QVector<Call> calls = Simulator::calls();
        const Call &boot = calls[calls.size() - 2];
        QVERIFY2(isPrivateCopy(boot.path, "./firmware/ORV-Cypress-v7.img"), qPrintable(boot.path));
        // The handle the bootstrap gave, or -1 when it gave none, is closed.
        QCOMPARE(calls.last().handle, boot.status == ORV_SUCCESS ? boot.handle : -1);
    } else {
        QCOMPARE(info.fx3Version, reportedVersions(device.fx3Store).fx3);
        QCOMPARE(info.fpgaVersion, reportedVersions(device.fx3Store).fpga);
    }
    // Nothing was written by a check.
    QCOMPARE(Simulator::device().fx3Store, device.fx3Store);
    QCOMPARE(Simulator::device().fpgaStore, device.fpgaStore);
    QVERIFY(Simulator::openHandles().isEmpty());
}

void TestCheckFlow::newerDeviceIsAskedAbout_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("update");
    const QStringList yes = {"Firmware can now be updated.", "Press Update to continue."};
    const QStringList no = {"Cancelling operation."};
    QTest::newRow("a later release, Yes") << 8 << Answer::Accept << yes << true;
    QTest::newRow("a later release, No") << 12 << Answer::Cancel << no << false;
    QTest::newRow("Escape answers No") << 8 << Answer::Escape << no << false;
    QTest::newRow("window control answers No") << 8 << Answer::WindowControl << no << false;
}

void TestCheckFlow::newerDeviceIsAskedAbout()
{
    QFETCH(int, firmware);
    QFETCH(Answer, answer);
    QFETCH(QStringList, lines);
    Device d;
    d.fx3Store = firmware;
    Simulator::reset(d);
    Window w;
    Operator op(w.panel());
    op.questionAnswer = answer;
    QTest::mouseClick(w.check(), Qt::LeftButton);

    QCOMPARE(op.questionsSeen, 1);
    QCOMPARE(op.questionTitle, QString("Warning"));
    const QString question = "Your device appears to have a newer firmware version.\n"
                             "Installing this will overwrite your firmware with an older version.\n"
                             "Are you sure you wish to continue?";
    QCOMPARE(op.questionText, question);
    QCOMPARE(op.questionButtons, QMessageBox::Yes | QMessageBox::No);
    const QStringList found = {"Found ORV1600", QString("Serial 25203117, with firmware %1").arg(firmware)};
    QCOMPARE(w.lines(), checkHeader + found + lines);
    QTEST(w.update()->isEnabled(), "update");
    QVERIFY(!w.restore()->isEnabled());
    // The question and the answer are in the run's record, where they came.
    const QStringList record = recordLines();
    const int asked = record.indexOf("== Asked \"Warning\": " + QString(question).replace('\n', ' '));
    QVERIFY(asked > record.indexOf(found[1]));
    QCOMPARE(record.value(asked + 1), QString(w.update()->isEnabled() ? "== Answered: Yes" : "== Answered: No"));
    QCOMPARE(record.value(asked + 2), lines[0]);
}

void TestCheckFlow::workerMessageStaysAboveTheResult()
{
    // The worker's one message is sent just before its thread ends; it must
    // still come before the flow's own lines, every time.
    Device d;
    d.fpgaStatus = 2;
    for (int run = 0; run < 30; ++run) {
        Simulator::reset(d);
        Window w;
        QTest::mouseClick(w.check(), Qt::LeftButton);
        QCOMPARE(w.lines().value(3), QString("FPGA failed to load."));
        QCOMPARE(w.lines().size(), 8);
    }
}

void TestCheckFlow::damagedReleaseEnablesNothing_data()
{
    QTest::addColumn<Device>("device");
    QTest::addColumn<QString>("images");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QStringList>("lines");
    Device d;
    d.mode = Mode::BootLoader;
    d.fx3Store = erased;
    // The device is started only from an intact release.
    QTest::newRow("boot loader, FX3 image missing") << d << "fpga" << imageNotFound + "%fx3" << bootstrapLines;
    QTest::newRow("boot loader, FX3 image corrupt")
        << d << "fx3=corrupt fpga" << imageNotTheRelease + "%fx3" << bootstrapLines;
    QTest::newRow("boot loader, FX3 image of another version")
        << d << "fx3=v6 fpga" << imageNotTheRelease + "%fx3" << bootstrapLines;
    QTest::newRow("boot loader, FPGA image corrupt")
        << d << "fx3 fpga=corrupt" << imageNotTheRelease + "%fpga" << bootstrapLines;
    // A device is still read and reported.
    QTest::newRow("running device, FPGA image corrupt")
        << Device() << "fx3 fpga=corrupt" << imageNotTheRelease + "%fpga"
        << QStringList({"Found ORV1600", "Serial 25203117, with firmware 5.5.7"});
    d = Device();
    d.fx3Store = 12;
    QTest::newRow("later release, FX3 image missing: nothing asked")
        << d << "fpga" << imageNotFound + "%fx3"
        << QStringList({"Found ORV1600", "Serial 25203117, with firmware 12"});
    d = Device();
    d.fpgaStatus = 2;
    QTest::newRow("FPGA failed to load, FPGA image missing")
        << d << "fx3" << imageNotFound + "%fpga"
        << QStringList({"FPGA failed to load.", "Attempting to bootstrap firmware.", "Found serial 25203117"});
}

void TestCheckFlow::damagedReleaseEnablesNothing()
{
    QFETCH(Device, device);
    QFETCH(QString, images);
    QFETCH(QString, problem);
    QFETCH(QStringList, lines);
    Simulator::reset(device);
    const ReleaseFolder folder(images);
    Window w;
    Operator op(w.panel());
    // Told at start as the updater's own fault, and referred to where a
    // command would need the images.
    const QStringList told = ReleaseFolder::withPaths({problem}) + damagedAdvice;
    QTRY_COMPARE(w.lines(), told);
    QTest::mouseClick(w.check(), Qt::LeftButton);

    QCOMPARE(w.lines(), told + checkHeader + lines + QStringList(damagedReleaseAtCheck));
    QCOMPARE(lineColour(w.panel(), bannerLength + w.lines().size() - 1), failureColour);
    for (const QString &call : Simulator::callNames())
        QVERIFY2(!call.startsWith("Clear") && !call.startsWith("Write"), qPrintable(call));
    QVERIFY(!w.update()->isEnabled());
    QVERIFY(!w.restore()->isEnabled());
    QCOMPARE(op.questionsSeen, 0);
    QCOMPARE(op.selectorsSeen, device.mode == Mode::BootLoader ? 1 : 0);
}

void TestCheckFlow::quittingAsksNothingAndCallsNothing_data()
{
    QTest::addColumn<Device>("device");
    QTest::addColumn<bool>("duringTheWait");
    QTest::addColumn<QStringList>("lines");
    Device bootLoader;
    bootLoader.mode = Mode::BootLoader;
    bootLoader.fx3Store = erased;
    QTest::newRow("exit while the worker runs") << bootLoader << true << QStringList();
    QTest::newRow("quit while the selection dialog is open") << bootLoader << false << bootstrapLines;
}

// The application is told to quit during the check: by exit() while the
// worker runs, or by a quit request (a signal, the session) while the
// selection dialog waits. The operator is gone; nothing more may happen.
void TestCheckFlow::quittingAsksNothingAndCallsNothing()
{
    QFETCH(Device, device);
    QFETCH(bool, duringTheWait);
    Simulator::reset(device);
    Window w;
    Operator op(w.panel());
    LogWatcher watcher(w.panel());
    if (duringTheWait)
        watcher.on(checkHeader[1], [] { QCoreApplication::exit(0); });
    else
        watcher.on(bootstrapLines[1], [] {
            QTimer::singleShot(0, qApp, [] {
                QEvent quit(QEvent::Quit);
                QCoreApplication::sendEvent(qApp, &quit);
            });
        });
    op.selectorAnswer = Answer::None;
    QTimer::singleShot(0, w.check(), [&] { QTest::mouseClick(w.check(), Qt::LeftButton); });
    QCOMPARE(QCoreApplication::exec(), 0);

    QFETCH(QStringList, lines);
    QCOMPARE(w.lines(), checkHeader + lines);
    QCOMPARE(Simulator::callNames(), QStringList("GetDeviceList"));
    QCOMPARE(op.selectorsSeen, duringTheWait ? 0 : 1);
    QCOMPARE(op.questionsSeen, 0);
}

void TestCheckFlow::cancelEndsTheProcessAtOnce()
{
    if (qEnvironmentVariableIsSet("ORV_CANCEL_CHILD")) {
        Device d;
        d.present = false;
        Simulator::reset(d);
        Window w;
        Operator op(w.panel());
        op.selectorAnswer = Answer::Cancel;
        QTest::mouseClick(w.check(), Qt::LeftButton);
        // Reached only if Cancel did not end the process.
        std::printf("flow returned\n");
        std::fflush(stdout);
        std::_Exit(3);
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORV_CANCEL_CHILD", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"cancelEndsTheProcessAtOnce"});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY(!child.readAllStandardOutput().contains("flow returned"));
}

QTEST_MAIN(TestCheckFlow)
#include "tst_checkflow.moc"
