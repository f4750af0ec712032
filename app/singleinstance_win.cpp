#include "singleinstance.h"

#include <QString>

#include <windows.h>

namespace {
// One name for every user's session: the device is one per PC.
const char markName[] = "ORV1600-Firmware-Updater";
}

SingleInstance::SingleInstance()
{
    const QString name = QStringLiteral("Global\\") + QLatin1String(markName);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<LPCWSTR>(name.utf16()));
    // Another copy made it first; one of another user's may not even be
    // opened (access denied): either way the mark is taken.
    const DWORD error = GetLastError();
    onlyOne = !(error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED));
    if (mutex)
        mark = reinterpret_cast<qintptr>(mutex);
}

SingleInstance::~SingleInstance()
{
    if (mark != -1)
        CloseHandle(reinterpret_cast<HANDLE>(mark));
}
