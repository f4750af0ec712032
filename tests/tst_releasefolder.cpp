#include "firmwarerelease.h"
#include "privateimages.h"
#include "releaseimages.h"
#include "workersupport.h"

#include <orv_api.h>

#include <QCryptographicHash>
#include <QtTest>

using namespace testsupport;

static_assert(sizeof(ORVStatus) == 4, "ORVStatus is a 32-bit enumeration");

class TestReleaseFolder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void chooseFolder_data();
    void chooseFolder();
    void imageProblems_data();
    void imageProblems();

private:
    QString previous;
};

void TestReleaseFolder::init()
{
    previous = QDir::currentPath();
}

void TestReleaseFolder::cleanup()
{
    QDir::setCurrent(previous);
}

void TestReleaseFolder::chooseFolder_data()
{
    // What each folder's firmware/ holds: the release, a damaged release
    // (an empty folder), or nothing by that name.
    QTest::addColumn<QString>("inWorkingDirectory");
    QTest::addColumn<QString>("inProgramFolder");
    QTest::addColumn<bool>("programChosen");
    QTest::newRow("started in its own folder") << "release" << "release" << false;
    QTest::newRow("started elsewhere") << "none" << "release" << true;
    QTest::newRow("working directory has one, program folder not") << "release" << "none" << false;
    QTest::newRow("neither has one") << "none" << "none" << false;
    // A damaged release where it was started gives way to the intact one
    // beside the program, and only to an intact one.
    QTest::newRow("damaged here, intact beside the program") << "damaged" << "release" << true;
    QTest::newRow("damaged in both") << "damaged" << "damaged" << false;
    // What is wrong is told of the folder that is meant to hold it.
    QTest::newRow("none here, damaged beside the program") << "none" << "damaged" << true;
}

void TestReleaseFolder::chooseFolder()
{
    QFETCH(QString, inWorkingDirectory);
    QFETCH(QString, inProgramFolder);
    QTemporaryDir working;
    QTemporaryDir program;
    for (const auto &[dir, held] : {std::make_pair(&working, inWorkingDirectory), std::make_pair(&program, inProgramFolder)}) {
        const QString firmware = QDir(dir->path()).filePath(Release::folderName());
        if (held != "none")
            QVERIFY(QDir().mkdir(firmware));
        if (held == "release") {
            const QDir release(Release::folderName());
            for (const QString &image : release.entryList(QDir::Files))
                QVERIFY(QFile::copy(release.filePath(image), QDir(firmware).filePath(image)));
        } else if (held == "none") // A file of that name is not the release folder.
            QFile(firmware).open(QIODevice::WriteOnly);
    }

    QFETCH(bool, programChosen);
    const Release::FolderChoice choice = Release::chooseFolder(working.path(), program.path());
    const QString expected = programChosen ? program.path() : working.path();
    QCOMPARE(QDir(choice.folder).canonicalPath(), QDir(expected).canonicalPath());
    QCOMPARE(choice.problems.isEmpty(), (programChosen ? inProgramFolder : inWorkingDirectory) == "release");
    // Nothing about it is left behind.
    QCOMPARE(QDir::currentPath(), previous);
}

void TestReleaseFolder::imageProblems_data()
{
    QTest::addColumn<QString>("images");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("intact") << "fx3 fpga" << QStringList();
    QTest::newRow("both missing") << "" << QStringList({imageNotFound + "%fx3", imageNotFound + "%fpga"});
    QTest::newRow("another version") << "fx3 fpga=v6" << QStringList(imageNotTheRelease + "%fpga");
    QTest::newRow("a folder in the image's place") << "fx3=folder fpga" << QStringList(imageUnreadable + "%fx3");
}

void TestReleaseFolder::imageProblems()
{
    QFETCH(QString, images);
    const ReleaseFolder folder(images);
    const std::string fx3 = fx3ImagePath(Release::versions);
    const std::string fpga = fpgaImagePath(Release::versions);
    const QStringList problems = Release::chooseFolder(QDir::currentPath(), QString()).problems;
    // A write names the first of its images that is not the release's.
    const PrivateImages copies({fpga, fx3});

    QFETCH(QStringList, expected);
    QCOMPARE(problems, ReleaseFolder::withPaths(expected));
    QCOMPARE(copies.problem(), ReleaseFolder::withPaths(expected).value(expected.size() - 1));
    QCOMPARE(copies.releaseDamaged(), !expected.isEmpty());
    if (!expected.isEmpty())
        return;
    // The device library is handed copies of the checked bytes, which stay
    // when the release's files are replaced.
    for (const std::string &path : {fx3, fpga}) {
        QFile copy(QFile::decodeName(copies.path(path)));
        QVERIFY(copy.fileName() != QFileInfo(QString::fromStdString(path)).absoluteFilePath());
        QVERIFY(QFile::remove(QString::fromStdString(path)));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(QCryptographicHash::hash(copy.readAll(), QCryptographicHash::Sha256).toHex(),
                 Release::builtDigests().value(QFileInfo(copy).fileName()));
    }
}

QTEST_GUILESS_MAIN(TestReleaseFolder)
#include "tst_releasefolder.moc"
