#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>

class Updater;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);

public slots:
    // Ends the program, as closing its window does, unless the device is
    // busy.
    void requestQuit();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool allowClose();

    Updater *updater;
};

#endif // MAINWINDOW_H
