#ifndef RESTOREDEVICETHREAD_H
#define RESTOREDEVICETHREAD_H

#include "deviceinfo.h"

#include <QThread>

// Writes both release images to the one listed device, whatever it carries,
// then presets it.
class RestoreDeviceThread : public QThread
{
    Q_OBJECT

public:
    RestoreDeviceThread() = default;
    ~RestoreDeviceThread() override;

    bool succeeded = false;
    DeviceInfo deviceInfo;

signals:
    void addLine(const QString &s);

protected:
    void run() override;
};

#endif // RESTOREDEVICETHREAD_H
