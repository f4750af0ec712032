#include "workerwait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

bool waitForWorker(QThread &worker)
{
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&worker, &QThread::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    worker.start(QThread::InheritPriority);
    // finished is queued behind every message the worker sent before it.
    loop.exec();
    // The loop ends early, or does not run at all, once the application has
    // been told to exit; the worker object must still outlive its thread.
    const bool quitting = !finished;
    while (!worker.isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.wait();
    return quitting;
}
