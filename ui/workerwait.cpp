#include "workerwait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

void waitForWorker(QThread &worker)
{
    QEventLoop loop;
    QObject::connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker.start(QThread::InheritPriority);
    // finished is queued behind every message the worker sent before it.
    loop.exec();
    // A loop returns at once when the application has been told to exit;
    // the worker object must still outlive its thread.
    while (!worker.isFinished())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.wait();
}
