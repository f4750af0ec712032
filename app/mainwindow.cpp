#include "mainwindow.h"

#include "updater.h"

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent, Qt::WindowFlags())
    , updater(new Updater(this))
{
    setCentralWidget(updater);
    setWindowTitle(tr("ORV1600 Firmware Updater"));
    resize(800, 400);
}
