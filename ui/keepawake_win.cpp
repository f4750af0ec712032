#include "keepawake.h"

#include <QCoreApplication>
#include <QWidget>

#include <windows.h>

void KeepAwake::holdSystem()
{
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    const QString reason = QCoreApplication::translate(
        "KeepAwake", "ORV1600 firmware is being written. Shutting down now can leave the device unusable.");
    ShutdownBlockReasonCreate(reinterpret_cast<HWND>(window->winId()), reinterpret_cast<LPCWSTR>(reason.utf16()));
}

void KeepAwake::releaseSystem()
{
    ShutdownBlockReasonDestroy(reinterpret_cast<HWND>(window->winId()));
    SetThreadExecutionState(ES_CONTINUOUS);
}
