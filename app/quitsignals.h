#ifndef QUITSIGNALS_H
#define QUITSIGNALS_H

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a request to quit, as closing the
// window would be: refused while the device is being written, honoured
// otherwise. Left alone, they would end the process in the middle of a
// write. Does nothing where there are no such signals.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

private:
    void requestQuit();

    QSocketNotifier *notifier = nullptr;
};

#endif // QUITSIGNALS_H
