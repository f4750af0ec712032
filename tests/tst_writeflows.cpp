#include "flowsupport.h"
#include "workersupport.h"

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
    void nextRunFindsTheRelease_data();
    void nextRunFindsTheRelease();
    void safetyNetHolds_data();
    void safetyNetHolds();
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
    // What the operator sees of each outcome; which call failed, and what
    // the stores hold then, is the workers' table's.
    const QStringList both = {updatingFx3, updatingFpga};
    const QStringList restored = {restoringFx3, updatingFpga};
    QTest::newRow("update, written") << false << "" << both << true;
    QTest::newRow("update, device gone before anything is erased")
        << false << "OpenDevice" << QStringList("Cannot Find Device") << false;
    QTest::newRow("update, unplugged in the FPGA write")
        << false << "unplug:WriteFPGA" << both + QStringList("Failed Writing") << false;
    QTest::newRow("restore, written") << true << "" << restored << true;
    QTest::newRow("restore, device gone before anything is erased")
        << true << "unplug:GetDeviceList" << QStringList(unableToFindDevice) << false;
    QTest::newRow("restore, the FX3 write fails") << true << "WriteFx3" << QStringList({restoringFx3, "Failed writing FX3."})
                                                   << false;
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
    injectFault(fault);
    Simulator::clearCalls();

    // The busy dialog is kept up until the result.
    bool busyAtResult = false;
    const QString result = succeeded ? success[0] : failure[0];
    LogWatcher watcher(w.panel());
    watcher.on(result, [&] {
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
    QVERIFY(busyAtResult);
    QVERIFY(busyDialogs().isEmpty());
    QCOMPARE(op.busyDialogsSeen, 2);
    QCOMPARE(op.busyLabel, restore ? restoreBusyLabel : updateBusyLabel);
    QVERIFY(panelDisabled(w));
    QCOMPARE(Simulator::device().fpgaStatus, succeeded ? 0 : d.fpgaStatus);
    // What is opened is the device the check found.
    for (const Call &call : Simulator::calls()) {
        if (call.op == Op::OpenDevice && call.status == ORV_SUCCESS)
            QCOMPARE(call.serialNumber, d.serialNumber);
    }
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

void TestWriteFlows::safetyNetHolds_data()
{
    QTest::addColumn<QString>("note"); // what is at the note's place before
    QTest::addColumn<QString>("during"); // what happens to the release
    QTest::addColumn<QString>("toldAtCheck");
    QTest::addColumn<QStringList>("workerLines");
    QTest::addColumn<QString>("result"); // the record's
    const QStringList written = {updatingFx3, updatingFpga};
    const QString both = "== Result: written; FX3 written, FPGA written";
    const QString untouched = "== Result: not written; FX3 untouched, FPGA untouched";
    const QStringList cannotNote = {
        "The update cannot start: this PC cannot keep the note that protects the device if the update is cut off.",
        "Why: %why.", "Free disk space, or run the firmware updater as a user who can write to %folder."};
    const QString notOurs = "%note is not a note of this program, and is left as it is";
    // What the device library writes is what was checked, whatever becomes
    // of the release's files meanwhile.
    QTest::newRow("release gone before the write") << "" << "gone-before" << ""
                                                   << QStringList(imageNotFound + "%fx3") << untouched;
    QTest::newRow("image replaced during the FX3 write") << "" << "replace" << "" << written << both;
    QTest::newRow("image corrupted during the FX3 write") << "" << "corrupt" << "" << written << both;
    QTest::newRow("release gone during the FX3 write") << "" << "remove" << "" << written << both;
    // No write without its note.
    QTest::newRow("a file where the notes folder goes")
        << "folder-taken" << "" << ""
        << QStringList(cannotNote).replaceInStrings("%why", "cannot make the folder %folder: %folder is a file") << untouched;
    const QString unreadable = "An earlier update of this device may not have finished (%note cannot be read): "
                               "its firmware may be incomplete.";
    QTest::newRow("another program's file where the note belongs")
        << "foreign" << "" << unreadable << QStringList(cannotNote).replaceInStrings("%why", notOurs) << untouched;
    QTest::newRow("a link where the note belongs")
        << "link" << "" << unreadable << QStringList(cannotNote).replaceInStrings("%why", notOurs) << untouched;
    // A note of ours that the disk did not keep whole does not stick.
    const QString cutShort = "The last update of this device did not finish: its firmware may be incomplete.";
    QTest::newRow("empty note") << "empty" << "" << cutShort << written << both;
    QTest::newRow("note cut short") << "ORV1600 Firmware Updater: unfin" << "" << cutShort << written << both;
    QTest::newRow("note cut short in its fields")
        << "ORV1600 Firmware Updater: unfinished write\nstate: writing\nstarted: 2026-1" << "" << cutShort
        << written << both;
}

void TestWriteFlows::safetyNetHolds()
{
    QFETCH(QString, note);
    QFETCH(QString, during);
    Device d;
    d.fx3WriteMs = 300;
    Simulator::reset(d);
    const ReleaseFolder folder("fx3 fpga");
    QTemporaryDir outside;
    const QString outsideFile = QDir(outside.path()).filePath("kept.txt");
    QFile(outsideFile).open(QIODevice::WriteOnly);
    const QString notePath = WriteNote::pathFor(d.serialNumber);
    const auto clean = [] {
        QDir(WriteNote::folder()).removeRecursively();
        QFile::remove(WriteNote::folder());
    };
    clean();
    const auto cleanAfter = qScopeGuard(clean);
    QVERIFY(QDir().mkpath(note == "folder-taken" ? QFileInfo(WriteNote::folder()).path() : WriteNote::folder()));
    if (note == "folder-taken") {
        QVERIFY(QFile(WriteNote::folder()).open(QIODevice::WriteOnly));
    } else if (note == "link") {
        // Windows makes a shell shortcut of it, a file like any other.
        if (!QFile::link(outsideFile, notePath) || !QFileInfo(notePath).isSymLink())
            QSKIP("this system makes no symbolic link here");
    } else if (!note.isEmpty()) {
        QFile file(notePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(note == "foreign" ? "not ours\n" : note == "empty" ? "" : note.toUtf8());
    }
    const QByteArray foreignBefore = note == "foreign" ? QByteArray("not ours\n") : QByteArray();

    Window w;
    QTest::mouseClick(w.check(), Qt::LeftButton);
    QFETCH(QString, toldAtCheck);
    toldAtCheck.replace("%note", QDir::toNativeSeparators(notePath));
    if (toldAtCheck.isEmpty())
        QVERIFY(!w.lines().join('\n').contains("may be incomplete"));
    else
        QCOMPARE(lineColour(w.panel(), bannerLength + w.lines().indexOf(toldAtCheck)), failureColour);
    QVERIFY(w.update()->isEnabled());

    const QString fpgaImage = ReleaseFolder::fpgaPath();
    if (during == "gone-before")
        QVERIFY(QDir(Release::folderName()).removeRecursively());
    LogWatcher watcher(w.panel());
    watcher.on(updatingFx3, [&] {
        QFile image(fpgaImage);
        if (during == "replace")
            QVERIFY(image.open(QIODevice::WriteOnly) && image.write(orvsim::makeImage(orvsim::Component::Fpga, 3)) > 0);
        else if (during == "corrupt")
            QVERIFY(image.open(QIODevice::WriteOnly) && image.write("not an image") > 0);
        else if (during == "remove")
            QVERIFY(QDir(Release::folderName()).removeRecursively());
    });
    Simulator::clearCalls();
    QTest::mouseClick(w.update(), Qt::LeftButton);

    QFETCH(QStringList, workerLines);
    QFETCH(QString, result);
    const bool succeeded = result.startsWith("== Result: written");
    workerLines = ReleaseFolder::withPaths(workerLines)
                      .replaceInStrings("%note", QDir::toNativeSeparators(notePath))
                      .replaceInStrings("%folder", QDir::toNativeSeparators(WriteNote::folder()));
    const QStringList ending = succeeded ? success
                                         : QStringList({failure[0]}) + (during == "gone-before" ? damagedAdvice : QStringList())
                                               + QStringList(failure.last());
    QCOMPARE(afterHeader(w, updateHeader), workerLines + ending);
    // The program's own faults are red, the device's lines plain.
    for (const QString &line : workerLines) {
        const int at = w.lines().lastIndexOf(line);
        QCOMPARE(hasOwnColour(w.panel(), bannerLength + at), !succeeded);
    }
    QCOMPARE(recordLines().mid(recordLines().size() - 1), QStringList(result));
    QCOMPARE(Simulator::device().fx3Store, succeeded ? 7 : 5);
    QCOMPARE(Simulator::device().fpgaStore, succeeded ? 9 : 7);
    QVERIFY(succeeded || !Simulator::callNames().contains("ClearFx3"));
    // What is not the program's stays as it was.
    const WriteNote::Entry left = WriteNote::read(d.serialNumber);
    QCOMPARE(left.state, succeeded ? WriteNote::State::None
                         : note == "foreign" || note == "link" ? WriteNote::State::Unreadable
                                                               : WriteNote::State::None);
    QCOMPARE(QFileInfo(notePath).isSymLink(), note == "link");
    QCOMPARE(QFileInfo(outsideFile).size(), 0);
    if (note == "foreign") {
        QFile file(notePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), foreignBefore);
    }
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
        << "" << "WriteFPGA" << "== Result: not written; FX3 written, FPGA erased"
        << "The last update of this device, begun %time, failed: its firmware may be incomplete.";
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
    if (!fault.isEmpty())
        injectFault(fault);
    QVERIFY(Simulator::saveState(state));
    QVERIFY(Simulator::usePersistentState(state));
    const QString notePath = WriteNote::pathFor(d.serialNumber);
    QFile::remove(notePath);
    const auto removeNote = qScopeGuard([&] { QFile::remove(notePath); });
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
    QCOMPARE(note.state, store.isEmpty() ? WriteNote::State::Failed : WriteNote::State::Writing);
    QVERIFY(note.started >= begun && note.started <= QDateTime::currentDateTime());
    // It names the images it writes by their full paths.
    QVERIFY2(note.writes.startsWith("FX3 7 from " + QDir::toNativeSeparators(QDir(Release::folderName()).absolutePath())),
             qPrintable(note.writes));
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
    const QString line = QString(told).replace("%time", note.started.toString("yyyy-MM-dd HH:mm"));
    const int at = w.lines().indexOf(line);
    QCOMPARE(at, 5);
    QCOMPARE(lineColour(w.panel(), bannerLength + at), failureColour);
    QCOMPARE(w.lines().last(), QString("Press Update to continue."));
    QVERIFY(w.update()->isEnabled());
    Simulator::clearCalls();
    QTest::mouseClick(w.update(), Qt::LeftButton);
    QCOMPARE(w.lines().mid(w.lines().size() - 2), success);
    QVERIFY(Simulator::callNames().contains("WriteFx3") && Simulator::callNames().contains("WriteFPGA"));
    QCOMPARE(WriteNote::read(d.serialNumber).state, WriteNote::State::None);
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
        QCOMPARE(afterHeader(w, restoreHeader).mid(2, 2), QStringList({"Failed writing FPGA.", failure[0]}));
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
