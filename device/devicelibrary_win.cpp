#include "devicelibrary.h"

#include <QDir>

#include <windows.h>

QString loadedDeviceLibrary()
{
    // Looked up by name: with delay imports, the address of a function is
    // the program's own stub, not the library's.
    const HMODULE module = GetModuleHandleW(L"orv_api.dll");
    if (!module)
        return QString();
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? QDir::toNativeSeparators(QString::fromWCharArray(path, int(length)))
                                           : QString();
}
