#ifndef WORKERWAIT_H
#define WORKERWAIT_H

class QThread;

// Starts the worker and returns once its thread has finished, keeping the GUI
// thread's events going meanwhile without using the processor. Every message
// the worker sent before it finished has been delivered by then. Returns
// whether the application was told to quit before the worker finished.
bool waitForWorker(QThread &worker);

#endif // WORKERWAIT_H
