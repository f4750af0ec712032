#include "flowsupport.h"
#include "workersupport.h"

#include "keepawake.h"
#include "quitsignals.h"
#include "runrecord.h"
#include "writenote.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>

using namespace orvsim;
using namespace testsupport;

namespace {

const QString refusal = "Please wait: the software can be closed once the device has finished.";

// The lines after the last header line of a write flow.
QStringList afterHeader(Window &w, const QStringList &header)
{
    const QStringList lines = w.lines();
    const int at = lines.lastIndexOf(header[1]);
    return at < 0 ? QStringList() : lines.mid(at + 2);
}

bool panelDisabled(Window &w)
{
    return !w.panel().isEnabled() && !w.check()->isEnabled() && !w.update()->isEnabled() && !w.restore()->isEnabled()
           && !logOf(w.panel())->isEnabled();
}

QWidgetList busyDialogs()
{
    QWidgetList found = QApplication::topLevelWidgets();
    found.erase(std::remove_if(found.begin(), found.end(), [](QWidget *w) { return !qobject_cast<TSProgressDialog *>(w); }),
                found.end());
    return found;
}

} // namespace

class TestWriteFlows : public QObject
{
    Q_OBJECT

private slots:
    void writeThroughThePanel_data();
    void writeThroughThePanel();
    void updateSkipsCurrentComponentsWithPauses();
    void nextRunFindsTheRelease_data();
    void nextRunFindsTheRelease();
    void missingImageErasesNothing();
    void cutOffWriteIsRemembered_data();
    void cutOffWriteIsRemembered();
    void restoreMessageStaysAboveTheResult();
    void closingDuringAWriteIsRefused();
    void applicationExitDuringAWriteWaitsForTheWorker();
    void quitSignalsWaitForTheWrite();
};

void TestWriteFlows::writeThroughThePanel_data()
{
    QTest::addColumn<bool>("restore");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("workerLines");
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<int>("fx3Store");
    QTest::addColumn<int>("fpgaStore");
    addWriteFaultRows(Write::Update, updateRun, "update, ", false);
    addWriteFaultRows(Write::Restore, restoreRun, "restore, ", true);
}

void TestWriteFlows::writeThroughThePanel()
{
    QFETCH(bool, restore);
    QFETCH(QString, fault);
    QFETCH(QStringList, workerLines);
    QFETCH(bool, succeeded);
    Device d;
    d.fpgaStatus = restore ? 2 : 0;
    Simulator::reset(d);
    Window w;
    Operator op(w.panel());
    QTest::mouseClick(w.check(), Qt::LeftButton);
    QPushButton *command = restore ? w.restore() : w.update();
    QVERIFY(command->isEnabled());
    QVERIFY(!KeepAwake::isHeld());
    injectFault(fault);
    Simulator::clearCalls();

    // The PC is kept awake from the worker's first line, and the busy dialog
    // kept up, until the result.
    int heldAtWorkerLines = 0;
    bool heldAtResult = true;
    bool busyAtResult = false;
    const QString result = succeeded ? success[0] : failure[0];
    LogWatcher watcher(w.panel());
    for (const QString &line : workerLines)
        watcher.on(line, [&] { heldAtWorkerLines += KeepAwake::isHeld(); });
    watcher.on(result, [&] {
        heldAtResult = KeepAwake::isHeld();
        busyAtResult = busyDialogs().size() == 1 && busyDialogs()[0]->isVisible();
    });
    QTest::mouseClick(command, Qt::LeftButton);

    const QStringList &header = restore ? restoreHeader : updateHeader;
    QCOMPARE(afterHeader(w, header), workerLines + (succeeded ? success : failure));
    const QStringList lines = w.lines();
    QCOMPARE(lines.mid(0, 3), checkHeader);
    // Of the flow's lines, the result's first alone has a colour of its own.
    for (int n = lines.lastIndexOf(header[1]); n < lines.size(); ++n) {
        if (lines[n] == result)
            QCOMPARE(lineColour(w.panel(), bannerLength + n), succeeded ? successColour : failureColour);
        else
            QVERIFY2(!hasOwnColour(w.panel(), bannerLength + n), qPrintable(lines[n]));
    }
    QCOMPARE(heldAtWorkerLines, workerLines.size());
    QVERIFY(!heldAtResult && !KeepAwake::isHeld());
    QVERIFY(busyAtResult);
    QVERIFY(busyDialogs().isEmpty());
    QCOMPARE(op.busyDialogsSeen, 2);
    QCOMPARE(op.busyLabel, restore ? restoreBusyLabel : updateBusyLabel);
    QVERIFY(panelDisabled(w));
    QTEST(Simulator::callNames(), "calls");
    QTEST(int(Simulator::device().fx3Store), "fx3Store");
    QTEST(int(Simulator::device().fpgaStore), "fpgaStore");
    QCOMPARE(Simulator::device().fpgaStatus, succeeded && !fault.endsWith("Preset") ? 0 : d.fpgaStatus);
    // What is opened is the device the check found.
    for (const Call &call : Simulator::calls()) {
        if (call.op == Op::OpenDevice && call.status == ORV_SUCCESS)
            QCOMPARE(call.serialNumber, d.serialNumber);
    }
}

void TestWriteFlows::updateSkipsCurrentComponentsWithPauses()
{
    Simulator::reset();
    Window w;
    w.panel().deviceInfo = recordFor(7, 9);
    LogWatcher watcher(w.panel());
    QVERIFY(QMetaObject::invokeMethod(&w.panel(), "updateDevice"));

    QCOMPARE(afterHeader(w, updateHeader), QStringList({skippingFx3, skippingFpga}) + success);
    // Both pauses lie between the header, written before the worker starts,
    // and the result, written after it ended.
    QVERIFY(watcher.arrivalOf(success[0]) - watcher.arrivalOf(updateHeader[1]) >= 2 * 32 - 1);
    QCOMPARE(Simulator::callNames(), QStringList({"OpenDevice", "Preset"}));
    QVERIFY(panelDisabled(w));
}

void TestWriteFlows::nextRunFindsTheRelease_data()
{
    QTest::addColumn<Device>("device");
    QTest::addColumn<int>("serial"); // written with the FX3 program
    QTest::addColumn<bool>("byEnter"); // the commands pressed with Enter on the focused one, not clicked
    Device booted;
    booted.mode = Mode::BootLoader;
    booted.fx3Store = booted.fpgaStore = erased;
    booted.fpgaStatus = 2;
    QTest::newRow("after an update") << Device() << Device().serialNumber << false;
    QTest::newRow("after a bootstrap and a restore") << booted << Release::bootstrapSerialNumber << false;
    QTest::newRow("after an update by Enter") << Device() << Device().serialNumber << true;
}

void TestWriteFlows::nextRunFindsTheRelease()
{
    QFETCH(Device, device);
    QFETCH(int, serial);
    QFETCH(bool, byEnter);
    const bool booted = device.mode == Mode::BootLoader;
    Simulator::reset(device);
    {
        Window w;
        Operator op(w.panel());
        const auto press = [&](QPushButton *command) {
            if (!byEnter)
                QTest::mouseClick(command, Qt::LeftButton);
            else if (w.window.focusWidget() == command)
                QTest::keyClick(command, Qt::Key_Return);
        };
        press(w.check());
        QCOMPARE(op.selectorsSeen, booted ? 1 : 0);
        QCOMPARE(w.lines().contains(bootstrappedSerial), booted);
        Simulator::clearCalls();
        press(booted ? w.restore() : w.update());
        QCOMPARE(w.lines().mid(w.lines().size() - 2), success);
        // Opened by the serial number it is listed by, written the one it is given.
        QVERIFY(Simulator::callNames().contains("WriteFx3"));
        for (const Call &call : Simulator::calls()) {
            if (call.op == Op::OpenDevice || call.op == Op::WriteFx3)
                QCOMPARE(call.serialNumber, call.op == Op::OpenDevice ? device.serialNumber : serial);
        }
    }
    QCOMPARE(Simulator::device().mode, Mode::Normal);
    Window next;
    QTest::mouseClick(next.check(), Qt::LeftButton);
    QCOMPARE(next.lines().mid(3), QStringList(upToDate).replaceInStrings("25203117", QString::number(serial)));
    QVERIFY(!next.update()->isEnabled());
}

void TestWriteFlows::missingImageErasesNothing()
{
    Simulator::reset();
    Window w;
    QTest::mouseClick(w.check(), Qt::LeftButton);
    QTemporaryDir elsewhere;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    Simulator::clearCalls();
    QTest::mouseClick(w.update(), Qt::LeftButton);
    const QStringList missing = ReleaseFolder::withPaths({imageNotFound + "%fx3"});
    QDir::setCurrent(previous);

    QCOMPARE(afterHeader(w, updateHeader), missing + failure.mid(0, 1) + damagedAdvice + failure.mid(3));
    QVERIFY(Simulator::calls().isEmpty());
    QCOMPARE(Simulator::device().fx3Store, 5);
    QCOMPARE(Simulator::device().fpgaStore, 7);
    QVERIFY(panelDisabled(w));
}

void TestWriteFlows::cutOffWriteIsRemembered_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("lastLine");
    QTest::addColumn<QString>("told");
    const QString unfinished = "The last update of this device, begun %time, did not finish: its firmware may be incomplete.";
    QTest::newRow("killed during the FX3 write") << "FX3" << "" << updatingFx3 << unfinished;
    QTest::newRow("killed during the FPGA write") << "FPGA" << "" << updatingFpga << unfinished;
    QTest::newRow("FPGA write failed")
        << "" << "WriteFPGA" << "== Result: not written"
        << "The last update of this device, begun %time, failed: its firmware may be incomplete.";
    // Trusted to offer Update, and never written over.
    QTest::newRow("another program's file where the note belongs")
        << "" << "foreign" << "== Result: written"
        << "An earlier update of this device may not have finished (%path cannot be read): its firmware may be incomplete.";
}

// A real updater process, with the device in the state file, is killed in
// the middle of a write, or sees it fail: the next run must know.
void TestWriteFlows::cutOffWriteIsRemembered()
{
    const QByteArray childState = qgetenv("ORV_WRITE_CHILD");
    if (!childState.isEmpty()) {
        Simulator::usePersistentState(QString::fromLocal8Bit(childState));
        Window w;
        QTest::mouseClick(w.check(), Qt::LeftButton);
        QTest::mouseClick(w.update(), Qt::LeftButton);
        std::_Exit(0);
    }
    QFETCH(QString, store);
    QFETCH(QString, fault);
    QTemporaryDir dir;
    const QString state = dir.filePath("device.json");
    Device d;
    d.fx3WriteMs = d.fpgaWriteMs = 2000;
    Simulator::reset(d);
    if (!fault.isEmpty() && fault != "foreign")
        injectFault(fault);
    QVERIFY(Simulator::saveState(state));
    QVERIFY(Simulator::usePersistentState(state));
    const QString notePath = WriteNote::pathFor(d.serialNumber);
    QFile::remove(notePath);
    const auto removeNote = qScopeGuard([&] { QFile::remove(notePath); });
    if (fault == "foreign") {
        QDir().mkpath(QFileInfo(notePath).path());
        QFile other(notePath);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("not ours\n");
    }
    const QDateTime begun = QDateTime::currentDateTime().addSecs(-1);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORV_WRITE_CHILD", state);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"cutOffWriteIsRemembered"});
    if (store.isEmpty()) {
        QVERIFY(child.waitForFinished(60000));
    } else {
        const QRegularExpression writing(store + " store: *erased, being written");
        QTRY_VERIFY_WITH_TIMEOUT(Simulator::describe().contains(writing), 30000);
        QTest::qWait(300);
        child.kill();
        QVERIFY(child.waitForFinished(10000));
    }

    const WriteNote::Entry note = WriteNote::read(d.serialNumber);
    const WriteNote::State left = fault == "foreign" ? WriteNote::State::Unreadable : WriteNote::State::None;
    QCOMPARE(note.state, left != WriteNote::State::None ? left : store.isEmpty() ? WriteNote::State::Failed : WriteNote::State::Writing);
    QVERIFY(left != WriteNote::State::None || (note.started >= begun && note.started <= QDateTime::currentDateTime()));
    // The child's record is whole up to the line it showed last.
    QDir records(RunRecord::folder());
    const QStringList names = records.entryList({"run-*.txt"}, QDir::Files, QDir::Name);
    QFile record(records.filePath(names.value(names.size() - 1)));
    QVERIFY(record.open(QIODevice::ReadOnly | QIODevice::Text));
    QFETCH(QString, lastLine);
    QVERIFY(QString::fromUtf8(record.readAll()).trimmed().endsWith("  " + lastLine));

    // Another device of the same model knows nothing of it.
    Simulator::edit([](Device &device, QVector<Fault> &faults) {
        device.serialNumber = 25209999;
        device.fx3WriteMs = device.fpgaWriteMs = 0;
        faults.clear();
    });
    {
        Window other;
        QTest::mouseClick(other.check(), Qt::LeftButton);
        QVERIFY(!other.lines().join('\n').contains("its firmware may be incomplete"));
    }
    Simulator::edit([&](Device &device, QVector<Fault> &) { device.serialNumber = d.serialNumber; });

    // That device, running, is told of it and offered Update, whatever its
    // versions read; the Update writes both stores and clears the note.
    Window w;
    QTest::mouseClick(w.check(), Qt::LeftButton);
    QFETCH(QString, told);
    const QString line = QString(told).replace("%time", note.started.toString("yyyy-MM-dd HH:mm"))
                             .replace("%path", QDir::toNativeSeparators(notePath));
    const int at = w.lines().indexOf(line);
    QCOMPARE(at, 5);
    QCOMPARE(lineColour(w.panel(), bannerLength + at), failureColour);
    QCOMPARE(w.lines().last(), QString("Press Update to continue."));
    QVERIFY(w.update()->isEnabled());
    Simulator::clearCalls();
    QTest::mouseClick(w.update(), Qt::LeftButton);
    QCOMPARE(w.lines().mid(w.lines().size() - 2), success);
    QVERIFY(Simulator::callNames().contains("WriteFx3") && Simulator::callNames().contains("WriteFPGA"));
    QCOMPARE(WriteNote::read(d.serialNumber).state, left);
}

void TestWriteFlows::restoreMessageStaysAboveTheResult()
{
    // "Failed writing FPGA." is the worker's last act before its thread ends.
    Device d;
    d.fpgaStatus = 2;
    for (int run = 0; run < 20; ++run) {
        Simulator::reset(d);
        Window w;
        QTest::mouseClick(w.check(), Qt::LeftButton);
        Simulator::failCall(Op::WriteFPGA, ORV_ERROR);
        QTest::mouseClick(w.restore(), Qt::LeftButton);
        QCOMPARE(afterHeader(w, restoreHeader).mid(2, 2), QStringList({failureLine(Write::Restore, Op::WriteFPGA, false), failure[0]}));
    }
}

void TestWriteFlows::closingDuringAWriteIsRefused()
{
    Device d;
    d.fx3WriteMs = 200;
    d.fpgaWriteMs = 600;
    Simulator::reset(d);
    Window w;
    QTest::mouseClick(w.check(), Qt::LeftButton);

    bool closeAccepted = true;
    bool quitAccepted = true;
    LogWatcher watcher(w.panel());
    watcher.on("Updating FPGA, estimated 10 minutes.", [&] {
        QTimer::singleShot(50, &w.window, [&] {
            // The close button of the window and of the busy dialog (Alt+F4,
            // taskkill), and the platform's request to end the program.
            closeAccepted = closeByWindowControl(w.window) || closeByWindowControl(*QApplication::activeModalWidget());
            QEvent quit(QEvent::Quit);
            QCoreApplication::sendEvent(qApp, &quit);
            quitAccepted = quit.isAccepted();
        });
    });
    QTest::mouseClick(w.update(), Qt::LeftButton);

    QVERIFY(!closeAccepted);
    QVERIFY(!quitAccepted);
    // Qt drops a close that a modal dialog blocks, and the busy dialog
    // ignores its own: the write goes on, without a word.
    QCOMPARE(afterHeader(w, updateHeader),
             QStringList({"Updating FX3, estimated 20 seconds.", "Updating FPGA, estimated 10 minutes."}) + success);
    QCOMPARE(Simulator::device().fpgaStore, 9);
    QVERIFY(w.window.isVisible());
    // Once the write is over, closing works as before.
    QVERIFY(closeByWindowControl(w.window));
}

void TestWriteFlows::applicationExitDuringAWriteWaitsForTheWorker()
{
    Device d;
    d.fpgaWriteMs = 300;
    Simulator::reset(d);
    Window w;
    QTest::mouseClick(w.check(), Qt::LeftButton);
    LogWatcher watcher(w.panel());
    watcher.on(updatingFpga, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(0, w.update(), [&] { QTest::mouseClick(w.update(), Qt::LeftButton); });
    QCOMPARE(QCoreApplication::exec(), 0);
    // The flow ran to its end before the application left its loop.
    QCOMPARE(afterHeader(w, updateHeader).mid(2), success);
    QCOMPARE(Simulator::device().fpgaStore, 9);
}

void TestWriteFlows::quitSignalsWaitForTheWrite()
{
#ifdef Q_OS_UNIX
    Device d;
    d.fpgaWriteMs = 300;
    Simulator::reset(d);
    const QuitSignals quitSignals;
    Window w;
    connect(&quitSignals, &QuitSignals::quitRequested, &w.window, &MainWindow::requestQuit);
    QTest::mouseClick(w.check(), Qt::LeftButton);
    LogWatcher watcher(w.panel());
    watcher.on("Updating FPGA, estimated 10 minutes.", [] {
        for (int number : {SIGTERM, SIGINT, SIGHUP})
            std::raise(number);
    });
    QTimer::singleShot(0, w.update(), [&] { QTest::mouseClick(w.update(), Qt::LeftButton); });
    // Once the write is over, the next one is honoured: the loop ends.
    watcher.on(success[1], [] { QTimer::singleShot(0, qApp, [] { std::raise(SIGTERM); }); });
    QCOMPARE(QCoreApplication::exec(), 0);

    QCOMPARE(afterHeader(w, updateHeader),
             QStringList({"Updating FX3, estimated 20 seconds.", "Updating FPGA, estimated 10 minutes.", refusal,
                          refusal, refusal})
                 + success);
    QCOMPARE(Simulator::device().fpgaStore, 9);
    QVERIFY(!w.window.isVisible());
#else
    QSKIP("no such signals here");
#endif
}

QTEST_MAIN(TestWriteFlows)
#include "tst_writeflows.moc"
