#include "mainwindow.h"
#include "releaseimages.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Release::findFolder(QCoreApplication::applicationDirPath());
    MainWindow window;
    window.show();
    return app.exec();
}
