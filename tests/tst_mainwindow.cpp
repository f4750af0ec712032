#include "testsupport.h"

#include "mainwindow.h"
#include "updater.h"

#include <QTimer>
#include <QtTest>

using namespace testsupport;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void opensAt800By400WithThePanel();
    void closingWhileIdleExitsWithZero();
};

void TestMainWindow::init()
{
    freshDevice();
}

void TestMainWindow::opensAt800By400WithThePanel()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QString("ORV1600 Firmware Updater"));
    QCOMPARE(window.size(), QSize(800, 400));
    auto *panel = qobject_cast<Updater *>(window.centralWidget());
    QVERIFY(panel);
    QCOMPARE(panel->parent(), &window);
    QCOMPARE(panel->geometry(), window.rect());
    // Enter or Space presses the first command.
    QCOMPARE(QApplication::focusWidget(), panel->findChild<QPushButton *>("checkButton"));
}

void TestMainWindow::closingWhileIdleExitsWithZero()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTimer::singleShot(0, &window, [&] { QVERIFY(closeByWindowControl(window)); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
