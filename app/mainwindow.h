#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>

class Updater;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Updater *updater;
};

#endif // MAINWINDOW_H
