#include "firmwarerelease.h"
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
    void findFolder_data();
    void findFolder();
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

void TestReleaseFolder::findFolder_data()
{
    // What each folder's firmware/ holds: the release, a damaged release
    // (an empty folder), or nothing by that name.
    QTest::addColumn<QString>("inWorkingDirectory");
    QTest::addColumn<QString>("inProgramFolder");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<bool>("programChosen");
    QTest::newRow("started in its own folder") << "release" << "release" << false << false;
    QTest::newRow("started elsewhere") << "none" << "release" << true << false;
    QTest::newRow("working directory has one, program folder not") << "release" << "none" << false << false;
    QTest::newRow("neither has one") << "none" << "none" << false << false;
    // A damaged release where it was started gives way to the intact one
    // beside the program, and only to an intact one.
    QTest::newRow("damaged here, intact beside the program") << "damaged" << "release" << false << true;
    QTest::newRow("damaged in both") << "damaged" << "damaged" << false << false;
}

void TestReleaseFolder::findFolder()
{
    QFETCH(QString, inWorkingDirectory);
    QFETCH(QString, inProgramFolder);
    QFETCH(bool, moved);
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
    QVERIFY(QDir::setCurrent(working.path()));

    QCOMPARE(Release::findFolder(program.path()), moved);
    const QString expected = moved ? program.path() : working.path();
    QCOMPARE(QDir::current().canonicalPath(), QDir(expected).canonicalPath());
    QCOMPARE(Release::programFolder(), program.path());
    QCOMPARE(QDir(Release::startFolder()).canonicalPath(), QDir(working.path()).canonicalPath());

    QFETCH(bool, programChosen);
    const Release::FolderChoice choice = Release::chooseFolder(QDir::currentPath(), program.path());
    QCOMPARE(QDir(choice.folder).canonicalPath(), QDir(programChosen ? program.path() : expected).canonicalPath());
    QCOMPARE(choice.problems.isEmpty(), inWorkingDirectory == "release" || programChosen || moved);
}

void TestReleaseFolder::imageProblems_data()
{
    QTest::addColumn<QString>("images");
    QTest::addColumn<bool>("handIn");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("intact") << "fx3 fpga" << false << QStringList();
    QTest::newRow("both missing") << "" << false << QStringList({imageNotFound + "%fx3", imageNotFound + "%fpga"});
    QTest::newRow("another version") << "fx3 fpga=v6" << false << QStringList(imageNotTheRelease + "%fpga");
    // Images of another release are checked against the digests handed in.
    QTest::newRow("another version, its digests handed in") << "fx3 fpga=v6" << true << QStringList();
    QTest::newRow("the release's image, other digests handed in") << "fx3 fpga" << true
                                                                 << QStringList(imageNotTheRelease + "%fpga");
}

void TestReleaseFolder::imageProblems()
{
    QFETCH(QString, images);
    QFETCH(bool, handIn);
    const ReleaseFolder folder(images);
    const std::string fx3 = fx3ImagePath(Release::versions);
    const std::string fpga = fpgaImagePath(Release::versions);
    if (handIn) {
        Release::ImageDigests digests = Release::builtDigests();
        const QByteArray other = orvsim::makeImage(orvsim::Component::Fpga, Release::versions.fpga - 1);
        digests[QFileInfo(ReleaseFolder::fpgaPath()).fileName()] =
            QCryptographicHash::hash(other, QCryptographicHash::Sha256).toHex();
        Release::setImageDigests(digests);
    }
    const QStringList problems = Release::releaseProblems(QDir::currentPath());
    // A run names the first of its images that is not the release's.
    const QString first = Release::imageProblem({fpga, fx3});
    Release::setImageDigests(Release::builtDigests());

    QFETCH(QStringList, expected);
    QCOMPARE(problems, ReleaseFolder::withPaths(expected));
    QCOMPARE(first, ReleaseFolder::withPaths(expected).value(expected.size() - 1));
}

QTEST_GUILESS_MAIN(TestReleaseFolder)
#include "tst_releasefolder.moc"
