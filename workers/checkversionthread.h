#ifndef CHECKVERSIONTHREAD_H
#define CHECKVERSIONTHREAD_H

#include "deviceinfo.h"

#include <QThread>

// Finds the attached device, reads its firmware number and FPGA status, and
// leaves what it learnt in deviceInfo.
class CheckVersionThread : public QThread
{
    Q_OBJECT

public:
    CheckVersionThread() = default;
    ~CheckVersionThread() override;

    DeviceInfo deviceInfo;

signals:
    void updateText(const QString &s);

protected:
    void run() override;
};

#endif // CHECKVERSIONTHREAD_H
