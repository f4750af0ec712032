#ifndef UPDATER_H
#define UPDATER_H

#include "deviceinfo.h"

#include <QWidget>

class QPushButton;
class QTextEdit;

// The window's panel: the operator log on the left, the three commands on
// the right.
class Updater : public QWidget
{
    Q_OBJECT

public:
    explicit Updater(QWidget *parent = nullptr);

    DeviceInfo deviceInfo;

private slots:
    void addLine(const QString &s);
    void addStatusLine(const QString &s, bool success);
    void replaceLastLine(const QString &s);
    void checkVersions();
    void updateDevice();
    void restoreDevice();

private:
    void addColouredLine(const QString &s, const QColor &colour);

    QTextEdit *log;
    QPushButton *checkButton;
    QPushButton *updateButton;
    QPushButton *restoreButton;
};

#endif // UPDATER_H
