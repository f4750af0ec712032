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

    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &manager) {
        if (!allowClose() && manager.allowsInteraction()) {
            manager.cancel();
            manager.release();
        }
    });
}

void MainWindow::requestQuit()
{
    if (!allowClose())
        return;
    // Qt closes every window, then leaves its loops. Sent, not posted: a new
    // event loop drops posted quit requests.
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!allowClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// Ending the program in the middle of a write would end the process while
// the worker still writes: every way out asks here.
bool MainWindow::allowClose()
{
    if (updater->mayClose())
        return true;
    updater->refuseClose();
    return false;
}
