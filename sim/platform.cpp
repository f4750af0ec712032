#include "platform.h"

#ifdef _WIN32
#include <windows.h>
#ifndef PROCESS_QUERY_LIMITED_INFORMATION
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#endif
#else
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>

namespace orvsim {

#ifdef _WIN32

namespace {

// Windows locks are mandatory: the lock is on one byte far past any
// content, so that it never stands in the way of reading or writing.
constexpr DWORD lockOffsetHigh = 1;

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

LockedFile::Opened LockedFile::open(const NativePath &path, bool write)
{
    close();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | (write ? GENERIC_WRITE : 0),
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        lastError = int(GetLastError());
        if (lastError == ERROR_FILE_NOT_FOUND || lastError == ERROR_PATH_NOT_FOUND)
            return Opened::Missing;
        const DWORD attributes = GetFileAttributesW(path.c_str());
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
    handle = file;
    return Opened::Yes;
}

bool LockedFile::read(std::string *bytes, size_t limit)
{
    bytes->clear();
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(handle, start, nullptr, FILE_BEGIN)) {
        lastError = int(GetLastError());
        return false;
    }
    char buffer[4096];
    while (bytes->size() <= limit) {
        DWORD got = 0;
        if (!ReadFile(handle, buffer, sizeof buffer, &got, nullptr)) {
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
    if (!SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) || !writeAll(handle, bytes) || !SetEndOfFile(handle)) {
        lastError = int(GetLastError());
        return false;
    }
    return true;
}

void LockedFile::close()
{
    if (!handle)
        return;
    OVERLAPPED at{};
    at.OffsetHigh = lockOffsetHigh;
    UnlockFileEx(handle, 0, 1, 0, &at);
    CloseHandle(handle);
    handle = nullptr;
}

Created createFile(const NativePath &path, const std::string &bytes, int *error)
{
    const NativePath temporary = path + L".new-" + std::to_wstring(GetCurrentProcessId());
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
    if (written && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH))
        return Created::Yes;
    if (written)
        *error = int(GetLastError());
    DeleteFileW(temporary.c_str());
    if (*error == ERROR_ALREADY_EXISTS || *error == ERROR_FILE_EXISTS)
        return Created::AlreadyThere;
    return Created::Failed;
}

#else

namespace {

// A process's state letter and start time (in clock ticks after boot),
// from /proc.
bool readStat(int64_t pid, char *state, uint64_t *started)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(file, text))
        return false;
    // The command name, in parentheses, may hold spaces and parentheses.
    const size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos)
        return false;
    std::istringstream fields(text.substr(nameEnd + 1));
    fields >> *state; // field 3
    std::string skipped;
    for (int field = 4; field < 22; ++field)
        fields >> skipped;
    return bool(fields >> *started); // field 22
}

bool haveProc()
{
    static const bool have = access("/proc/self/stat", R_OK) == 0;
    return have;
}

bool writeAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (wrote < 0 && errno != EINTR)
            return false;
        if (wrote > 0)
            done += size_t(wrote);
    }
    return true;
}

} // namespace

ProcessId thisProcess()
{
    ProcessId me;
    me.pid = getpid();
    char state = 0;
    if (!readStat(me.pid, &state, &me.started))
        me.started = 0;
    return me;
}

bool isRunning(const ProcessId &process)
{
    if (process.pid <= 0 || process.pid > INT32_MAX)
        return false;
    char state = 0;
    uint64_t started = 0;
    if (readStat(process.pid, &state, &started)) {
        // A zombie has ended; only its parent has not looked yet.
        return state != 'Z' && state != 'X' && started == process.started;
    }
    if (haveProc())
        return false;
    // Without /proc: whether the id is taken at all.
    return kill(pid_t(process.pid), 0) == 0 || errno == EPERM;
}

std::string errorText(int code)
{
    return std::strerror(code);
}

LockedFile::Opened LockedFile::open(const NativePath &path, bool write)
{
    close();
    // Non-blocking, so that a FIFO at the path cannot hang the open.
    const int file = ::open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (file < 0) {
        lastError = errno;
        if (lastError == ENOENT)
            return Opened::Missing;
        return lastError == EISDIR ? Opened::NotAFile : Opened::Failed;
    }
    struct stat info{};
    if (fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(file);
        return Opened::NotAFile;
    }
    // flock() belongs to this open file: closing any other descriptor of
    // the same file leaves it alone, and close-on-exec keeps it from a child.
    while (flock(file, write ? LOCK_EX : LOCK_SH) != 0) {
        if (errno != EINTR) {
            lastError = errno;
            ::close(file);
            return Opened::Failed;
        }
    }
    fd = file;
    return Opened::Yes;
}

bool LockedFile::read(std::string *bytes, size_t limit)
{
    bytes->clear();
    char buffer[4096];
    while (bytes->size() <= limit) {
        const ssize_t got = pread(fd, buffer, sizeof buffer, off_t(bytes->size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            lastError = errno;
            return false;
        }
        if (got == 0)
            break;
        bytes->append(buffer, size_t(got));
    }
    return true;
}

bool LockedFile::replace(const std::string &bytes)
{
    if (!writeAll(fd, bytes) || ftruncate(fd, off_t(bytes.size())) != 0) {
        lastError = errno;
        return false;
    }
    return true;
}

void LockedFile::close()
{
    if (fd < 0)
        return;
    flock(fd, LOCK_UN);
    ::close(fd);
    fd = -1;
}

Created createFile(const NativePath &path, const std::string &bytes, int *error)
{
    const NativePath temporary = path + ".new-" + std::to_string(getpid());
    const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (file < 0) {
        *error = errno;
        return Created::Failed;
    }
    const bool written = writeAll(file, bytes);
    *error = errno;
    ::close(file);
    // link() never replaces: it fails when another process made the file
    // first.
    if (written && link(temporary.c_str(), path.c_str()) == 0) {
        unlink(temporary.c_str());
        return Created::Yes;
    }
    if (written)
        *error = errno;
    unlink(temporary.c_str());
    return *error == EEXIST ? Created::AlreadyThere : Created::Failed;
}

#endif

} // namespace orvsim
