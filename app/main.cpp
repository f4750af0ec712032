#include "librarycheck.h"
#include "mainwindow.h"
#include "quitsignals.h"
#include "singleinstance.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The window and its dialogs follow the system's display scaling,
    // 125% and 150% included, instead of growing only their text.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);

    // Before anything touches the device library.
    const SingleInstance instance;
    if (!instance.isOnlyOne()) {
        QMessageBox::warning(nullptr, QCoreApplication::translate("MainWindow", "ORV1600 Firmware Updater"),
                             QCoreApplication::translate("main", "The ORV1600 Firmware Updater is already running.\n"
                                                                 "Use the window that is open."));
        return 1;
    }
    const QuitSignals quitSignals;
    // On Windows orv_api.dll is loaded at the first call into it: first make
    // sure it can be, and say so in words when it cannot. Also on stderr, for
    // a technician who starts the program with its output redirected.
    const LibraryCheck library(QCoreApplication::applicationDirPath());
    if (!library.fits()) {
        std::fprintf(stderr, "%s\n", qPrintable(library.problem()));
        QMessageBox::critical(nullptr, QCoreApplication::translate("MainWindow", "ORV1600 Firmware Updater"),
                              library.problem());
        return 2;
    }

    MainWindow window;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &window, &MainWindow::requestQuit);
    window.show();
    return app.exec();
}
