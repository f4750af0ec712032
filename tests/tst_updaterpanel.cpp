#include "flowsupport.h"
#include "testsupport.h"
#include "workersupport.h"

#include "firmwarerelease.h"
#include "releaseimages.h"
#include "runrecord.h"
#include "updater.h"

#include <orv_api.h>

#include <QBoxLayout>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include <list>

using namespace testsupport;

// The build's bin folder, where CTest starts each test: the program's, with
// the simulated device library.
static const QString binFolder = QDir::currentPath();

class TestUpdaterPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void bannerLines();
    void bannerColours();
    void buttonsAtStart();
    void layoutPutsLogLeftAndButtonsTopRight();
    void addLineAppendsOneParagraph();
    void statusLinesAreColouredAndDoNotLeak_data();
    void statusLinesAreColouredAndDoNotLeak();
    void logFollowsItsLastLine();
    void damagedReleaseIsToldAtStart_data();
    void damagedReleaseIsToldAtStart();
    void runIsRecorded_data();
    void runIsRecorded();
    void replaceLastLine_data();
    void replaceLastLine();
    void replaceLastLineOfAWrappedParagraph();
};

void TestUpdaterPanel::init()
{
    freshDevice();
}

void TestUpdaterPanel::bannerLines()
{
    Updater panel;
    const QStringList expected = {
        "ORV1600 firmware updater",
        QString("Using ORV API version ") + orvGetAPIVersion(),
        "",
        "Please read below before continuing.",
        "",
        "Updates ORV to firmware version 7.7.9",
        "",
        "Ensure only one Tessaly device is connected to the PC.",
        "Please connect the ORV1600 to the PC using the provided USB 2.0 cable.",
        "Do not disconnect the device at any time during the update.",
        "Disconnecting the device during an update can leave your device in an unoperable state.",
    };
    QCOMPARE(logLines(panel), expected);
    QVERIFY(logLines(panel)[1].contains("simulator"));
    QVERIFY(logOf(panel)->isReadOnly());
    // The banner asks the library only for its version text.
    QVERIFY(orvsim::Simulator::calls().isEmpty());
}

void TestUpdaterPanel::bannerColours()
{
    Updater panel;
    for (int line = 0; line < bannerLength; ++line) {
        QCOMPARE(lineColour(panel, line), line == bannerRedLine ? failureColour : QColor(Qt::black));
        QCOMPARE(hasOwnColour(panel, line), line == bannerRedLine);
    }
    QCOMPARE(logOf(panel)->textColor(), QColor(Qt::black));
}

void TestUpdaterPanel::buttonsAtStart()
{
    Updater panel;
    QPushButton *check = panel.findChild<QPushButton *>("checkButton");
    QPushButton *update = panel.findChild<QPushButton *>("updateButton");
    QPushButton *restore = panel.findChild<QPushButton *>("restoreButton");
    if (!check || !update || !restore)
        QFAIL("a button is missing");
    QCOMPARE(check->text(), QString("  Check Versions  "));
    QCOMPARE(update->text(), QString("  Update  "));
    QCOMPARE(restore->text(), QString("  Restore  "));
    QVERIFY(check->isEnabled());
    QVERIFY(!update->isEnabled());
    QVERIFY(!restore->isEnabled());
    QCOMPARE(panel.findChildren<QPushButton *>().size(), 3);
}

void TestUpdaterPanel::layoutPutsLogLeftAndButtonsTopRight()
{
    Updater panel;
    panel.resize(800, 400);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QPushButton *check = panel.findChild<QPushButton *>("checkButton");
    QPushButton *update = panel.findChild<QPushButton *>("updateButton");
    QPushButton *restore = panel.findChild<QPushButton *>("restoreButton");
    QTextEdit *log = logOf(panel);
    if (!check || !update || !restore || !log)
        QFAIL("a widget is missing");
    QVERIFY(log->geometry().right() < check->geometry().left());
    QVERIFY(check->geometry().bottom() < update->geometry().top());
    QVERIFY(update->geometry().bottom() < restore->geometry().top());
    QVERIFY(log->height() > panel.height() / 2);
    QVERIFY(restore->geometry().bottom() < panel.height() / 2);
    // Button texts are not clipped.
    QVERIFY(check->width() >= check->fontMetrics().horizontalAdvance(check->text()));
}

void TestUpdaterPanel::addLineAppendsOneParagraph()
{
    Updater panel;
    invoke(panel, "addLine", "Checking Firmware Versions...");
    invoke(panel, "addLine", "");
    const QStringList lines = logLines(panel);
    QCOMPARE(lines.size(), bannerLength + 2);
    QCOMPARE(lines.mid(bannerLength), QStringList({"Checking Firmware Versions...", ""}));
}

void TestUpdaterPanel::statusLinesAreColouredAndDoNotLeak_data()
{
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("operatorDid");
    QTest::newRow("success") << true << successColour << "";
    QTest::newRow("failure") << false << failureColour << "";
    QTest::newRow("after a click in the red banner line") << true << successColour << "click";
    QTest::newRow("with a selection across the red line") << true << successColour << "select";
}

void TestUpdaterPanel::statusLinesAreColouredAndDoNotLeak()
{
    QFETCH(bool, succeeded);
    QFETCH(QColor, colour);
    QFETCH(QString, operatorDid);
    Updater panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QTextEdit *log = logOf(panel);
    QTextCursor redLine(log->document()->findBlockByNumber(bannerRedLine));
    redLine.movePosition(QTextCursor::NextWord);
    if (operatorDid == "click") {
        QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, log->cursorRect(redLine).center());
        QCOMPARE(log->textCursor().blockNumber(), bannerRedLine);
    } else if (operatorDid == "select") {
        redLine.setPosition(log->document()->findBlockByNumber(bannerRedLine - 1).position(), QTextCursor::KeepAnchor);
        log->setTextCursor(redLine);
    }
    const QTextCursor before = log->textCursor();

    invoke(panel, "addLine", checkHeader[1]);
    QVERIFY(QMetaObject::invokeMethod(&panel, "addStatusLine", Qt::DirectConnection,
                                      Q_ARG(QString, success[0]), Q_ARG(bool, succeeded)));
    invoke(panel, "addLine", success[1]);
    QCOMPARE(logLines(panel).mid(bannerLength), QStringList(checkHeader[1]) + success);
    QCOMPARE(lineColour(panel, bannerLength + 1), colour);
    // The lines around it follow the palette, so a disabled log greys them.
    for (int plain : {bannerLength, bannerLength + 2}) {
        QCOMPARE(lineColour(panel, plain), QColor(Qt::black));
        QVERIFY(!hasOwnColour(panel, plain));
    }
    // Whatever the operator selected stays selected, and as it was.
    QCOMPARE(lineColour(panel, bannerRedLine), failureColour);
    QVERIFY(!hasOwnColour(panel, bannerRedLine - 1));
    QCOMPARE(log->textCursor().anchor(), before.anchor());
    QCOMPARE(log->textCursor().position(), before.position());
}

void TestUpdaterPanel::logFollowsItsLastLine()
{
    Updater panel;
    panel.resize(800, 400);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QScrollBar *bar = logOf(panel)->verticalScrollBar();
    for (int n = 0; n < 40; ++n)
        invoke(panel, "addLine", QString("line %1").arg(n));
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    // Scrolled up by the operator, the log stays where it was put.
    bar->setValue(0);
    invoke(panel, "addLine", "one more");
    QCOMPARE(bar->value(), 0);
}

void TestUpdaterPanel::damagedReleaseIsToldAtStart_data()
{
    QTest::addColumn<QString>("images");
    QTest::addColumn<bool>("programFolder"); // the intact release beside the program
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("FX3 image corrupt") << "fx3=corrupt fpga" << false << QStringList(imageNotTheRelease + "%fx3");
    QTest::newRow("both missing") << "" << false << QStringList({imageNotFound + "%fx3", imageNotFound + "%fpga"});
    // Used instead, and named.
    QTest::newRow("FX3 image corrupt, the release beside the program")
        << "fx3=corrupt fpga" << true << QStringList("Using the firmware images in %bin");
}

void TestUpdaterPanel::damagedReleaseIsToldAtStart()
{
    QFETCH(QString, images);
    QFETCH(bool, programFolder);
    QFETCH(QStringList, lines);
    const QDir bin(QCoreApplication::applicationDirPath());
    const QDir beside(bin.filePath(Release::folderName()));
    const auto removeBeside = qScopeGuard([&] { QDir(beside).removeRecursively(); });
    if (programFolder) {
        QVERIFY(bin.mkpath(Release::folderName()));
        for (const QString &image : {ReleaseFolder::fx3Path(), ReleaseFolder::fpgaPath()})
            QVERIFY(QFile::copy(image, bin.filePath(image)));
    }
    const ReleaseFolder folder(images);
    const QStringList told = programFolder
        ? lines.replaceInStrings("%bin", QDir::toNativeSeparators(beside.path()))
        : ReleaseFolder::withPaths(lines) + damagedAdvice;
    Window w;
    QTRY_COMPARE(logLines(w.panel()).mid(bannerLength), told);
    for (int n = bannerLength; n < bannerLength + lines.size(); ++n)
        QCOMPARE(lineColour(w.panel(), n) == failureColour, !programFolder);
    QVERIFY(!hasOwnColour(w.panel(), bannerLength + lines.size()));
    QCOMPARE(QDir::current() == bin, programFolder);

    // A check reads the device all the same, and refers to the advice
    // rather than repeating it.
    QTest::mouseClick(w.check(), Qt::LeftButton);
    const QStringList after = logLines(w.panel()).mid(bannerLength + told.size());
    QCOMPARE(after.mid(0, 5), checkHeader + QStringList({"Found ORV1600", "Serial 25203117, with firmware 5.5.7"}));
    if (!programFolder)
        QCOMPARE(after.mid(5), QStringList(damagedReleaseAtCheck));
    QCOMPARE(w.update()->isEnabled(), programFolder);
}

void TestUpdaterPanel::runIsRecorded_data()
{
    QTest::addColumn<int>("earlier"); // records of earlier runs; -1: a file where their folder belongs
    QTest::addColumn<int>("kept");
    QTest::addColumn<int>("alongside"); // records begun just before, in this process
    QTest::newRow("first run") << 0 << 1 << 0;
    QTest::newRow("the newest 1000 are kept") << 1004 << 1000 << 0;
    QTest::newRow("records folder cannot be made") << -1 << 0 << 0;
    QTest::newRow("records begun in the same millisecond") << 0 << 41 << 40;
}

void TestUpdaterPanel::runIsRecorded()
{
    QFETCH(int, earlier);
    QFETCH(int, kept);
    QFETCH(int, alongside);
    QDir folder(RunRecord::folder());
    folder.removeRecursively();
    QFile::remove(folder.path());
    QVERIFY(QDir().mkpath(earlier < 0 ? QFileInfo(folder.path()).path() : folder.path()));
    QFile(earlier < 0 ? folder.path() : folder.filePath("notes.txt")).open(QIODevice::WriteOnly);
    for (int n = 0; n < earlier; ++n)
        QFile(folder.filePath(QString("run-20200101-000000-000-%1.txt").arg(n))).open(QIODevice::WriteOnly);
    const QStringList ours = {"run-*-*-*-*.txt"};
    const QString notRecorded = QString("This run is not recorded: cannot make the folder %1.")
                                    .arg(QDir::toNativeSeparators(folder.path()));
    QStringList shown;
    {
        std::list<RunRecord> others(alongside);
        for (const RunRecord &other : others)
            QCOMPARE(other.problem(), QString());
        Updater panel;
        panel.show();
        invoke(panel, "addLine", "a line of this run");
        QTRY_COMPARE(folder.entryList(ours, QDir::Files).size(), kept);
        shown = logLines(panel);
    }
    if (earlier < 0) {
        QVERIFY(QFile::remove(folder.path()));
        // Said once, and the panel goes on.
        QCOMPARE(shown.mid(bannerLength), QStringList({notRecorded, "a line of this run"}));
        return;
    }
    QCOMPARE(shown.mid(bannerLength), QStringList("a line of this run"));
    // Other files in the folder are not the program's to remove.
    QVERIFY(folder.exists("notes.txt"));
    QFile record(folder.filePath(folder.entryList(ours, QDir::Files, QDir::Name).last()));
    QVERIFY(record.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(record.readAll()).split('\n', Qt::SkipEmptyParts);
    const QRegularExpression timed("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  ");
    QStringList texts;
    for (const QString &line : lines) {
        QVERIFY2(line.contains(timed), qPrintable(line));
        texts << line.mid(25);
    }
    QVERIFY(texts.contains(QString("== Device library: ") + orvGetAPIVersion()));
    // The file the run called, where a PC may hold several.
    const QFileInfo library(texts.filter(QRegularExpression("^== Device library file: ")).value(0).mid(24));
    QVERIFY2(library.isFile() && library.fileName().contains("orv_api") &&
                 library.dir() == QDir(binFolder),
             qPrintable(library.filePath()));
    QVERIFY(texts.contains("== Release: FX3 7, FPGA 9 (7.7.9)"));
    const Release::ImageDigests digests = Release::builtDigests();
    for (auto image = digests.begin(); image != digests.end(); ++image)
        QVERIFY(texts.contains("== SHA-256 " + image.value() + "  " + image.key()));
    // Every line the log showed, in its order, and how the run ended.
    QCOMPARE(texts.filter(QRegularExpression("^(?!== )")), shown);
    QCOMPARE(texts.last(), QString("== Closed"));
}

void TestUpdaterPanel::replaceLastLine_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("one-line last paragraph")
        << QStringList({"first", "second", "last"}) << QStringList({"first", "second", "new"});
    // Deleting before an empty paragraph merges it into the one before it.
    QTest::newRow("empty last paragraph")
        << QStringList({"first", "second", ""}) << QStringList({"first", "new"});
    QTest::newRow("single character") << QStringList({"first", "x"}) << QStringList({"first", "new"});
}

void TestUpdaterPanel::replaceLastLine()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    Updater panel;
    panel.resize(800, 400);
    panel.show();
    for (const QString &line : before)
        invoke(panel, "addLine", line);
    invoke(panel, "replaceLastLine", "new");
    const QStringList lines = logLines(panel);
    QCOMPARE(lines.mid(bannerLength), after);
    QCOMPARE(lines.mid(0, bannerLength).size(), bannerLength);
    QCOMPARE(lines[0], QString("ORV1600 firmware updater"));
}

void TestUpdaterPanel::replaceLastLineOfAWrappedParagraph()
{
    Updater panel;
    panel.resize(800, 400);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QStringList words;
    for (int i = 0; i < 120; ++i)
        words << QString("word%1").arg(i);
    const QString longLine = words.join(' ');
    invoke(panel, "addLine", "before");
    invoke(panel, "addLine", longLine);

    QTextBlock last = logOf(panel)->document()->lastBlock();
    QVERIFY(last.layout()->lineCount() > 2);
    const QTextLine lastVisual = last.layout()->lineAt(last.layout()->lineCount() - 1);
    const QString kept = longLine.left(lastVisual.textStart() - 1);

    invoke(panel, "replaceLastLine", "new");
    const QStringList lines = logLines(panel);
    // Only the last visual line goes, with the character before it.
    QCOMPARE(lines.mid(bannerLength), QStringList({"before", kept, "new"}));
}

QTEST_MAIN(TestUpdaterPanel)
#include "tst_updaterpanel.moc"
