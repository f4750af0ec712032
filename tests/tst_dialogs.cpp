#include "testsupport.h"

#include "deviceselectordialog.h"
#include "dialoganswerer.h"
#include "tsprogressdialog.h"

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <memory>

using namespace testsupport;

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void selectorLooksAsAsked();
    void selectorAnswers_data();
    void selectorAnswers();
    void busyDialogHasNoButtonAndNoProgress();
    void busyDialogWidthFollowsItsLabel_data();
    void busyDialogWidthFollowsItsLabel();
    void busyDialogCannotBeDismissedByTheOperator_data();
    void busyDialogCannotBeDismissedByTheOperator();
};

void TestDialogs::selectorLooksAsAsked()
{
    DeviceSelectorDialog dialog;
    QCOMPARE(dialog.windowTitle(), QString("Device Select"));
    QVERIFY(!dialog.cancelled);
    const QList<QPushButton *> buttons = dialog.findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 2);
    auto *label = dialog.findChild<QLabel *>();
    QVERIFY(label);
    QVERIFY(label->wordWrap());
    QCOMPARE(label->text(), QString("Unable to open device. If the device is not connected to the PC, please "
                                    "connect the device and restart this application. If you want to bootstrap "
                                    "your device, please select your device type below."));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QPushButton *model = buttons[0]->text() == "ORV1600" ? buttons[0] : buttons[1];
    QPushButton *cancel = model == buttons[0] ? buttons[1] : buttons[0];
    QCOMPARE(model->text(), QString("ORV1600"));
    QCOMPARE(cancel->text(), QString("Cancel"));
    QVERIFY(model->geometry().right() < cancel->geometry().left());
    QVERIFY(label->geometry().bottom() < model->geometry().top());
}

Q_DECLARE_METATYPE(DialogAnswerer::Answer)

void TestDialogs::selectorAnswers_data()
{
    QTest::addColumn<DialogAnswerer::Answer>("answer");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("model button") << DialogAnswerer::Answer::Accept << int(QDialog::Accepted) << false;
    QTest::newRow("Cancel") << DialogAnswerer::Answer::Cancel << int(QDialog::Accepted) << true;
    QTest::newRow("Escape") << DialogAnswerer::Answer::Escape << int(QDialog::Rejected) << false;
    QTest::newRow("window control") << DialogAnswerer::Answer::WindowControl << int(QDialog::Rejected) << false;
}

void TestDialogs::selectorAnswers()
{
    DialogAnswerer answerer;
    QFETCH(DialogAnswerer::Answer, answer);
    answerer.selectorAnswer = answer;
    DeviceSelectorDialog dialog;
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); });
    const int result = dialog.exec();
    QTEST(result, "result");
    QTEST(dialog.cancelled, "cancelled");
}

void TestDialogs::busyDialogHasNoButtonAndNoProgress()
{
    TSProgressDialog dialog(checkBusyLabel);
    QCOMPARE(dialog.windowTitle(), QString("Please Wait"));
    QVERIFY(dialog.isModal());
    QCOMPARE(dialog.minimum(), 0);
    QCOMPARE(dialog.maximum(), 0);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.findChildren<QAbstractButton *>().isEmpty());
    QCOMPARE(dialog.windowModality(), Qt::ApplicationModal);
    auto *bar = dialog.findChild<QProgressBar *>();
    QVERIFY(bar);
    QCOMPARE(bar->maximum(), 0);
    QCOMPARE(dialog.labelText(), checkBusyLabel);
    // In Windows' style, the groove fills the bar: the indicator is centred.
    QStyleOptionProgressBar option;
    option.initFrom(bar);
    option.textVisible = bar->isTextVisible();
    option.textAlignment = bar->alignment();
    const std::unique_ptr<QStyle> windows(QStyleFactory::create("Windows"));
    QCOMPARE(windows->subElementRect(QStyle::SE_ProgressBarGroove, &option, bar), bar->rect());
}

void TestDialogs::busyDialogWidthFollowsItsLabel_data()
{
    QTest::addColumn<QString>("label");
    QTest::newRow("check") << checkBusyLabel;
    QTest::newRow("update") << updateBusyLabel;
    QTest::newRow("restore") << restoreBusyLabel;
    QTest::newRow("short") << "Wait";
}

void TestDialogs::busyDialogWidthFollowsItsLabel()
{
    QFETCH(QString, label);
    TSProgressDialog dialog(label);
    const QFontMetrics metrics(dialog.font());
    QCOMPARE(dialog.width(), metrics.horizontalAdvance(label) + 100);
    QCOMPARE(dialog.height(), metrics.height());
    // Shown, the toolkit makes room for the label and the indicator.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *text = dialog.findChild<QLabel *>();
    QVERIFY(dialog.width() >= metrics.horizontalAdvance(label) + 100);
    QVERIFY(text->height() >= text->sizeHint().height());
}

void TestDialogs::busyDialogCannotBeDismissedByTheOperator_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Escape") << true;
    QTest::newRow("window control") << false;
}

void TestDialogs::busyDialogCannotBeDismissedByTheOperator()
{
    QFETCH(bool, escape);
    TSProgressDialog dialog("Updating Device");
    QSignalSpy cancelled(&dialog, &QProgressDialog::canceled);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    if (escape)
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        closeByWindowControl(dialog);
    QTest::qWait(20);
    QVERIFY(dialog.isVisible());
    QCOMPARE(cancelled.count(), 0);
    // The flow that showed it can still take it away.
    dialog.hide();
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
