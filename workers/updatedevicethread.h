#ifndef UPDATEDEVICETHREAD_H
#define UPDATEDEVICETHREAD_H

#include "deviceinfo.h"
#include "writeresult.h"

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
    // What the run did to each store, read with succeeded.
    WriteResult result;

signals:
    void addLine(const QString &s);
    void replaceLastLine(const QString &s);
    // A line the operator must not miss: a fault of the release or of this
    // PC, in red.
    void addStatusLine(const QString &s, bool success);

protected:
    void run() override;
};

#endif // UPDATEDEVICETHREAD_H
