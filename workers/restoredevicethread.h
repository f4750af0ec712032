#ifndef RESTOREDEVICETHREAD_H
#define RESTOREDEVICETHREAD_H

#include "deviceinfo.h"
#include "writeresult.h"

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
    // What the run did to each store, read with succeeded.
    WriteResult result;

signals:
    void addLine(const QString &s);
    // A line the operator must not miss: a fault of the release or of this
    // PC, in red.
    void addStatusLine(const QString &s, bool success);

protected:
    void run() override;
};

#endif // RESTOREDEVICETHREAD_H
