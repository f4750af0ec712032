#include "keepawake.h"

#include <QCoreApplication>
#include <QWidget>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
int holders = 0; // GUI thread only
}

KeepAwake::KeepAwake(QWidget *window)
    : window(window)
{
    if (holders++ > 0)
        return;
#ifdef Q_OS_WIN
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    const QString reason = QCoreApplication::translate(
        "KeepAwake", "ORV1600 firmware is being written. Shutting down now can leave the device unusable.");
    ShutdownBlockReasonCreate(reinterpret_cast<HWND>(window->winId()), reinterpret_cast<LPCWSTR>(reason.utf16()));
#endif
}

KeepAwake::~KeepAwake()
{
    if (--holders > 0)
        return;
#ifdef Q_OS_WIN
    ShutdownBlockReasonDestroy(reinterpret_cast<HWND>(window->winId()));
    SetThreadExecutionState(ES_CONTINUOUS);
#endif
}

bool KeepAwake::isHeld()
{
    return holders > 0;
}
