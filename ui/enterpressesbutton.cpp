#include "enterpressesbutton.h"

#include <QAbstractButton>
#include <QKeyEvent>

EnterPressesButton::EnterPressesButton(const QList<QAbstractButton *> &buttons, QObject *parent)
    : QObject(parent)
{
    for (QAbstractButton *button : buttons)
        button->installEventFilter(this);
}

bool EnterPressesButton::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    auto *button = qobject_cast<QAbstractButton *>(watched);
    if (!button || (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
        (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    // A held key presses once.
    if (button->isEnabled() && !key->isAutoRepeat())
        button->click();
    return true;
}
