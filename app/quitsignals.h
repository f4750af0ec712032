#ifndef QUITSIGNALS_H
#define QUITSIGNALS_H

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a request to quit, which the window
// answers as it answers its close button. Left alone, they would end the
// process in the middle of a write. Does nothing where there are no such
// signals.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void quitRequested();

private:

    QSocketNotifier *notifier = nullptr;
};

#endif // QUITSIGNALS_H
