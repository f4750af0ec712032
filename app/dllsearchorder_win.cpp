#include "dllsearchorder.h"

#include <QDir>
#include <QFileInfo>

#include <string>

#include <windows.h>

namespace {

using FolderFunction = UINT(WINAPI *)(LPWSTR, UINT);

QString folderOf(FolderFunction function)
{
    wchar_t path[MAX_PATH];
    const UINT length = function(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? QDir::fromNativeSeparators(QString::fromWCharArray(path, int(length)))
                                           : QString();
}

// What the loader calls System32 is SysWOW64 for a 32-bit program on 64-bit
// Windows; named so, a technician finds the file in Explorer.
QString systemFolder()
{
    BOOL wow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) {
        const QString folder = folderOf(GetSystemWow64DirectoryW);
        if (!folder.isEmpty())
            return folder;
    }
    return folderOf(GetSystemDirectoryW);
}

QString environmentPath()
{
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (size == 0)
        return QString();
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"PATH", value.data(), size);
    return length < size ? QString::fromWCharArray(value.data(), int(length)) : QString();
}

} // namespace

DllSearchOrder::DllSearchOrder(const QString &programFolder)
{
    // An empty folder takes the current folder out of the search.
    SetDllDirectoryW(L"");
    // The Windows folder the loader uses is the system's, also where a
    // per-user one is shown to programs that are not terminal-server aware.
    const QString windows = folderOf(GetSystemWindowsDirectoryW);
    m_folders << QDir::cleanPath(programFolder) << systemFolder() << windows + QStringLiteral("/System") << windows;
    for (const QString &folder : environmentPath().split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!folder.trimmed().isEmpty())
            m_folders << QDir::cleanPath(QDir::fromNativeSeparators(folder));
    }
}

QStringList DllSearchOrder::files(const QString &name) const
{
    QStringList found;
    for (const QString &folder : m_folders) {
        const QFileInfo file(QDir(folder), name);
        if (file.isFile())
            found << QDir::cleanPath(file.absoluteFilePath());
    }
    return found;
}
