#ifndef FLOWSUPPORT_H
#define FLOWSUPPORT_H

#include "testsupport.h"

#include "deviceselectordialog.h"
#include "dialoganswerer.h"
#include "mainwindow.h"
#include "tsprogressdialog.h"

#include <QApplication>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QtTest>

#include <functional>

namespace testsupport {

using Answer = DialogAnswerer::Answer;

// Answers the modal dialogs that a flow opens, as the operator would, and
// notes what the operator saw meanwhile.
class Operator : public DialogAnswerer
{
public:
    explicit Operator(Updater &panel)
        : panel(panel)
    {
        connect(this, &DialogAnswerer::shown, this, [this](QWidget *window) {
            if (auto *busy = qobject_cast<TSProgressDialog *>(window))
                sawBusy(*busy);
        });
        connect(this, &DialogAnswerer::waiting, this, [this](QWidget *window) { look(window); });
    }

    int selectorsSeen = 0;
    int questionsSeen = 0;
    int busyDialogsSeen = 0;
    bool busyVisibleWithSelector = false;
    bool checkEnabledWhileBusy = false;
    QString busyLabel;
    // Where the busy dialog and the selector stood once shown: their
    // window-system owner, their flags, and how far their centre lay from
    // the owner's.
    QWindow *busyOwner = nullptr;
    Qt::WindowFlags busyFlags;
    int busyOffCentre = -1;
    QWindow *selectorOwner = nullptr;
    QString questionTitle;
    QString questionText;
    QMessageBox::StandardButtons questionButtons;

private:
    static bool anyBusyVisible()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (qobject_cast<TSProgressDialog *>(w) && w->isVisible())
                return true;
        }
        return false;
    }

    void sawBusy(TSProgressDialog &busy)
    {
        ++busyDialogsSeen;
        busyLabel = busy.labelText();
        checkEnabledWhileBusy = panel.findChild<QPushButton *>("checkButton")->isEnabled();
    }

    static int offCentre(QWidget *dialog)
    {
        const QWindow *owner = dialog->windowHandle()->transientParent();
        return owner ? (dialog->frameGeometry().center() - owner->frameGeometry().center()).manhattanLength() : -1;
    }

    // Before the answer, if the window is one that is answered.
    void look(QWidget *modal)
    {
        if (auto *busy = qobject_cast<TSProgressDialog *>(modal)) {
            busyOwner = busy->windowHandle()->transientParent();
            busyFlags = busy->windowFlags();
            busyOffCentre = offCentre(busy);
        } else if (auto *selector = qobject_cast<DeviceSelectorDialog *>(modal)) {
            ++selectorsSeen;
            busyVisibleWithSelector = anyBusyVisible();
            selectorOwner = selector->windowHandle()->transientParent();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            ++questionsSeen;
            questionTitle = box->windowTitle();
            questionText = box->text();
            questionButtons = box->standardButtons();
        }
    }

    Updater &panel;
};

// The real window with its panel, shown.
struct Window
{
    Window()
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // As the operator sees it: the release checked and reported.
        auto *releaseCheck = panel().findChild<QFutureWatcherBase *>("releaseCheck");
        QVERIFY(releaseCheck);
        QTRY_VERIFY(releaseCheck->isFinished());
    }

    Updater &panel() { return *qobject_cast<Updater *>(window.centralWidget()); }
    QPushButton *check() { return panel().findChild<QPushButton *>("checkButton"); }
    QPushButton *update() { return panel().findChild<QPushButton *>("updateButton"); }
    QPushButton *restore() { return panel().findChild<QPushButton *>("restoreButton"); }
    // The log below the banner.
    QStringList lines() { return logLines(panel()).mid(bannerLength); }

    MainWindow window;
};

} // namespace testsupport

#endif

#ifndef FLOWSUPPORT_LOGWATCHER
#define FLOWSUPPORT_LOGWATCHER

#include <QElapsedTimer>

namespace testsupport {

// Notes each line as it reaches the log, with when it arrived, and lets a
// test act at the moment a given line appears.
class LogWatcher : public QObject
{
public:
    explicit LogWatcher(Updater &panel)
        : log(logOf(panel))
    {
        clock.start();
        seenBlocks = log->document()->blockCount();
        connect(log, &QTextEdit::textChanged, this, [this] { scan(); });
    }

    void on(const QString &line, const std::function<void()> &action) { actions.append({line, action}); }

    qint64 arrivalOf(const QString &line) const
    {
        for (const auto &seen : lines) {
            if (seen.first == line)
                return seen.second;
        }
        return -1;
    }

    QVector<QPair<QString, qint64>> lines;

private:
    void scan()
    {
        QTextDocument *doc = log->document();
        for (; seenBlocks < doc->blockCount(); ++seenBlocks) {
            const QString text = doc->findBlockByNumber(seenBlocks).text();
            lines.append({text, clock.elapsed()});
            for (const auto &action : actions) {
                if (action.first == text)
                    action.second();
            }
        }
    }

    QTextEdit *log;
    QElapsedTimer clock;
    int seenBlocks = 0;
    QVector<QPair<QString, std::function<void()>>> actions;
};

} // namespace testsupport

#endif
