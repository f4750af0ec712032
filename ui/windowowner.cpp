#include "windowowner.h"

#include <QWidget>
#include <QWindow>

void setWindowOwner(QWidget &dialog, QWidget *owner)
{
    if (!owner || !owner->window()->windowHandle())
        return;
    dialog.winId(); // makes the dialog's native window, so that it can be owned
    dialog.windowHandle()->setTransientParent(owner->window()->windowHandle());
}

void centreOnOwner(QWidget &dialog)
{
    const QWindow *window = dialog.windowHandle();
    const QWindow *owner = window ? window->transientParent() : nullptr;
    if (!owner)
        return;
    QRect frame = dialog.frameGeometry();
    frame.moveCenter(owner->frameGeometry().center());
    dialog.move(frame.topLeft());
}
