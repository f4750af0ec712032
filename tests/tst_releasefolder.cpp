#include "firmwarerelease.h"
#include "releaseimages.h"

#include <orv_api.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

static_assert(sizeof(ORVStatus) == 4, "ORVStatus is a 32-bit enumeration");

class TestReleaseFolder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void findFolder_data();
    void findFolder();
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
    QTest::addColumn<bool>("inWorkingDirectory");
    QTest::addColumn<bool>("inProgramFolder");
    QTest::addColumn<bool>("moved");
    QTest::newRow("started in its own folder") << true << true << false;
    QTest::newRow("started elsewhere") << false << true << true;
    QTest::newRow("working directory has one, program folder not") << true << false << false;
    QTest::newRow("neither has one") << false << false << false;
}

void TestReleaseFolder::findFolder()
{
    QFETCH(bool, inWorkingDirectory);
    QFETCH(bool, inProgramFolder);
    QFETCH(bool, moved);
    QTemporaryDir working;
    QTemporaryDir program;
    if (inWorkingDirectory)
        QVERIFY(QDir(working.path()).mkdir(Release::folderName()));
    if (inProgramFolder)
        QVERIFY(QDir(program.path()).mkdir(Release::folderName()));
    // A file of that name is not the release folder.
    if (!inWorkingDirectory)
        QFile(QDir(working.path()).filePath(Release::folderName())).open(QIODevice::WriteOnly);
    QVERIFY(QDir::setCurrent(working.path()));

    QCOMPARE(Release::findFolder(program.path()), moved);
    const QString expected = moved ? program.path() : working.path();
    QCOMPARE(QDir::current().canonicalPath(), QDir(expected).canonicalPath());
}

void TestReleaseFolder::imageProblems()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(QDir().mkpath("firmware/ORV-Cypress-v7.img")); // a folder, not a file
    const std::string fx3 = fx3ImagePath(Release::versions);
    const std::string fpga = fpgaImagePath(Release::versions);
    QCOMPARE(Release::imageProblem({fx3}), QString("Firmware image cannot be read: ./firmware/ORV-Cypress-v7.img"));
    QCOMPARE(Release::imageProblem({fpga}), QString("Firmware image not found: ./firmware/ORV-FPGA-v9.rbf"));
    QFile file(QString::fromStdString(fpga));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    QCOMPARE(Release::imageProblem({fpga}), QString());
    // The first unusable image of the run is the one named.
    QCOMPARE(Release::imageProblem({fpga, fx3}), QString("Firmware image cannot be read: ./firmware/ORV-Cypress-v7.img"));
    QCOMPARE(Release::imageProblem({}), QString());
}

QTEST_GUILESS_MAIN(TestReleaseFolder)
#include "tst_releasefolder.moc"
