#include "mainwindow.h"

#include "updater.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSessionManager>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent, Qt::WindowFlags())
    , updater(new Updater(this))
{
    setCentralWidget(updater);
    setWindowTitle(tr("ORV1600 Firmware Updater"));
    resize(800, 400);

    // Closing in the middle of a write would end the process while the
    // worker still writes: every way out waits for the worker.
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &manager) {
        if (!updater->mayClose() && manager.allowsInteraction()) {
            manager.cancel();
            manager.release();
        }
    });
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!updater->mayClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::Quit && !updater->mayClose())
        return true;
    return QMainWindow::eventFilter(watched, event);
}
