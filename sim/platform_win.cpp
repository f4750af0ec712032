#include "platform.h"

#include <QDir>

#include <windows.h>
#ifndef PROCESS_QUERY_LIMITED_INFORMATION
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#endif

#include <algorithm>

namespace orvsim {

namespace {

// Windows locks are mandatory: the lock is on one byte far past any
// content, so that it never stands in the way of reading or writing.
constexpr DWORD lockOffsetHigh = 1;

HANDLE native(intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

std::wstring nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

uint64_t startTime(HANDLE process)
{
    FILETIME creation{};
    FILETIME exit{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user))
        return 0;
    return (uint64_t(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
}

bool writeAll(HANDLE file, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        const DWORD chunk = DWORD(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr))
            return false;
        done += wrote;
    }
    return true;
}

} // namespace

ProcessId thisProcess()
{
    ProcessId me;
    me.pid = int64_t(GetCurrentProcessId());
    me.started = startTime(GetCurrentProcess());
    return me;
}

bool isRunning(const ProcessId &process)
{
    if (process.pid <= 0 || process.pid > int64_t(MAXDWORD))
        return false;
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, DWORD(process.pid));
    if (!handle) {
        // Another user's process, which this one may not look at: it runs.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    const bool running = WaitForSingleObject(handle, 0) == WAIT_TIMEOUT && startTime(handle) == process.started;
    CloseHandle(handle);
    return running;
}

std::string errorText(int code)
{
    char buffer[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        DWORD(code), 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : text;
}

LockedFile::Opened LockedFile::open(const QString &path, bool write)
{
    close();
    const std::wstring name = nativePath(path);
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | (write ? GENERIC_WRITE : 0),
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        lastError = int(GetLastError());
        if (lastError == ERROR_FILE_NOT_FOUND || lastError == ERROR_PATH_NOT_FOUND)
            return Opened::Missing;
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Opened::NotAFile;
        return Opened::Failed;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return Opened::NotAFile;
    }
    // A synchronous handle: this waits until the lock is had.
    OVERLAPPED at{};
    at.OffsetHigh = lockOffsetHigh;
    if (!LockFileEx(file, write ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, 1, 0, &at)) {
        lastError = int(GetLastError());
        CloseHandle(file);
        return Opened::Failed;
    }
    handle = reinterpret_cast<intptr_t>(file);
    return Opened::Yes;
}

bool LockedFile::read(std::string *bytes, size_t limit)
{
    bytes->clear();
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(native(handle), start, nullptr, FILE_BEGIN)) {
        lastError = int(GetLastError());
        return false;
    }
    char buffer[4096];
    while (bytes->size() <= limit) {
        DWORD got = 0;
        if (!ReadFile(native(handle), buffer, sizeof buffer, &got, nullptr)) {
            lastError = int(GetLastError());
            return false;
        }
        if (got == 0)
            break;
        bytes->append(buffer, got);
    }
    return true;
}

bool LockedFile::replace(const std::string &bytes)
{
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(native(handle), start, nullptr, FILE_BEGIN) || !writeAll(native(handle), bytes)
        || !SetEndOfFile(native(handle))) {
        lastError = int(GetLastError());
        return false;
    }
    return true;
}

void LockedFile::close()
{
    if (handle == -1)
        return;
    OVERLAPPED at{};
    at.OffsetHigh = lockOffsetHigh;
    UnlockFileEx(native(handle), 0, 1, 0, &at);
    CloseHandle(native(handle));
    handle = -1;
}

Created createFile(const QString &path, const std::string &bytes, int *error)
{
    const std::wstring name = nativePath(path);
    const std::wstring temporary = name + L".new-" + std::to_wstring(GetCurrentProcessId());
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = int(GetLastError());
        return Created::Failed;
    }
    const bool written = writeAll(file, bytes);
    *error = int(GetLastError());
    CloseHandle(file);
    // Without MOVEFILE_REPLACE_EXISTING the move fails when another process
    // made the file first.
    if (written && MoveFileExW(temporary.c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH))
        return Created::Yes;
    if (written)
        *error = int(GetLastError());
    DeleteFileW(temporary.c_str());
    if (*error == ERROR_ALREADY_EXISTS || *error == ERROR_FILE_EXISTS)
        return Created::AlreadyThere;
    return Created::Failed;
}

} // namespace orvsim
