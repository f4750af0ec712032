#include "mainwindow.h"
#include "quitsignals.h"
#include "releaseimages.h"
#include "singleinstance.h"

#include <QApplication>
#include <QMessageBox>

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

    Release::findFolder(QCoreApplication::applicationDirPath());
    MainWindow window;
    window.show();
    return app.exec();
}
