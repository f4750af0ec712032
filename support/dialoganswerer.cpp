#include "dialoganswerer.h"

#include "deviceselectordialog.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

DialogAnswerer::DialogAnswerer(QObject *parent)
    : QObject(parent)
{
    qApp->installEventFilter(this);
}

DialogAnswerer::~DialogAnswerer()
{
    qApp->removeEventFilter(this);
}

QPushButton *DialogAnswerer::button(QWidget *window, const QString &text)
{
    for (QPushButton *candidate : window->findChildren<QPushButton *>()) {
        if (candidate->text().remove(QLatin1Char('&')).trimmed() == text)
            return candidate;
    }
    return nullptr;
}

bool DialogAnswerer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show || !watched->isWidgetType())
        return false;
    auto *window = static_cast<QWidget *>(watched);
    if (!window->isWindow() || seen.contains(window))
        return false;
    seen << window;
    emit shown(window);
    // A modal dialog's own loop begins once its show is over. The timer
    // goes with this answerer, its call with the window.
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, window, [this, window] {
        emit waiting(window);
        answer(window);
    });
    connect(timer, &QTimer::timeout, timer, &QObject::deleteLater);
    timer->start(delay);
    return false;
}

void DialogAnswerer::answer(QWidget *window)
{
    Answer how = Answer::None;
    QString accept;
    QString cancel;
    if (qobject_cast<DeviceSelectorDialog *>(window)) {
        how = selectorAnswer;
        accept = QStringLiteral("ORV1600");
        cancel = QStringLiteral("Cancel");
    } else if (qobject_cast<QMessageBox *>(window)) {
        how = questionAnswer;
        accept = QStringLiteral("Yes");
        cancel = QStringLiteral("No");
    }
    switch (how) {
    case Answer::Accept:
    case Answer::Cancel: {
        QPushButton *pressed = button(window, how == Answer::Accept ? accept : cancel);
        emit answering(window, pressed);
        QTest::mouseClick(pressed, Qt::LeftButton);
        break;
    }
    case Answer::Escape:
        emit answering(window, nullptr);
        QTest::keyClick(window, Qt::Key_Escape);
        break;
    case Answer::WindowControl:
        // The window system's way, as the window manager's close button goes.
        emit answering(window, nullptr);
        window->windowHandle()->close();
        break;
    case Answer::None:
        break;
    }
}
