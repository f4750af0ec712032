#include "tsprogressdialog.h"

#include "windowowner.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QProgressBar>

TSProgressDialog::TSProgressDialog(const QString &labelText, QWidget *parent)
    : QProgressDialog(labelText, QString(), 0, 0, parent)
{
    setWindowTitle(tr("Please Wait"));
    setModal(true);
    // A title and nothing else: the dialog can be neither closed nor
    // minimized while the device is busy.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    // Windows' style keeps room right of the bar for a percentage, which a
    // busy indicator never shows: without it, the bar is centred.
    auto *bar = new QProgressBar(this);
    bar->setTextVisible(false);
    setBar(bar);
    setRange(0, 0);

    const QFontMetrics metrics(font());
    resize(metrics.horizontalAdvance(labelText) + 100, metrics.height());
}

void TSProgressDialog::showEvent(QShowEvent *event)
{
    QProgressDialog::showEvent(event);
    centreOnOwner(*this);
}

void TSProgressDialog::closeEvent(QCloseEvent *event)
{
    // The window control must not take the dialog away during a write.
    if (event->spontaneous())
        event->ignore();
    else
        QProgressDialog::closeEvent(event);
}

void TSProgressDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QProgressDialog::keyPressEvent(event);
}
