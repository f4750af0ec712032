#include "keepawake.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
int holders = 0; // GUI thread only
}

KeepAwake::KeepAwake()
{
    if (holders++ == 0) {
#ifdef Q_OS_WIN
        SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
#endif
    }
}

KeepAwake::~KeepAwake()
{
    if (--holders == 0) {
#ifdef Q_OS_WIN
        SetThreadExecutionState(ES_CONTINUOUS);
#endif
    }
}

bool KeepAwake::isHeld()
{
    return holders > 0;
}
