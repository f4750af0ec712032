#ifndef UPDATEDEVICETHREAD_H
#define UPDATEDEVICETHREAD_H

#include "deviceinfo.h"

#include <QThread>

// Brings each component whose version differs from the release to the
// release, FX3 first, then presets the device.
class UpdateDeviceThread : public QThread
{
    Q_OBJECT

public:
    UpdateDeviceThread() = default;
    ~UpdateDeviceThread() override;

    bool succeeded = false;
    DeviceInfo deviceInfo;

signals:
    void addLine(const QString &s);
    void replaceLastLine(const QString &s);

protected:
    void run() override;
};

#endif // UPDATEDEVICETHREAD_H
