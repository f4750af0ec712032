#ifndef WINDOWOWNER_H
#define WINDOWOWNER_H

class QWidget;

// The dialogs have no parent widget, so the window system would not know
// they belong to the main window: they could fall behind it and get a
// taskbar button of their own. This makes owner's window the dialog's owner,
// so that the dialog stays above it.
void setWindowOwner(QWidget &dialog, QWidget *owner);

// Centres the dialog on its owner, if it has one. For its showEvent, once
// the dialog has its final size.
void centreOnOwner(QWidget &dialog);

#endif // WINDOWOWNER_H
