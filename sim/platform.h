#ifndef ORVSIM_PLATFORM_H
#define ORVSIM_PLATFORM_H

// What the simulated device needs from the operating system, on Linux and
// on Windows: a file locked against every other process (a lock the system
// drops when its process ends, however it ends), and whether a process
// still runs. Each system's own: platform_win.cpp, platform_unix.cpp.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvsim {

// A process, told apart from a later one that is given the same id.
struct ProcessId
{
    int64_t pid = 0;
    uint64_t started = 0; // its start time, in the system's own units

    bool operator==(const ProcessId &other) const { return pid == other.pid && started == other.started; }
    bool operator!=(const ProcessId &other) const { return !(*this == other); }
};

ProcessId thisProcess();
bool isRunning(const ProcessId &process);

// The system's words for an error code (errno, or GetLastError() on Windows).
std::string errorText(int code);

// A regular file, open and locked until close(): shared while only
// reading, exclusive while writing. Other processes wait for the lock; a
// process's other threads must wait on a lock of their own first.
class LockedFile
{
public:
    enum class Opened { Yes, Missing, NotAFile, Failed };

    LockedFile() = default;
    ~LockedFile() { close(); }
    LockedFile(const LockedFile &) = delete;
    LockedFile &operator=(const LockedFile &) = delete;

    Opened open(const QString &path, bool write);
    // Reads at most limit + 1 bytes, so that a caller can tell a file that
    // is too long.
    bool read(std::string *bytes, size_t limit);
    // Writes the bytes over the file's contents, in place, so that the lock
    // stays on the file every process opens.
    bool replace(const std::string &bytes);
    void close();
    int error() const { return lastError; }

private:
    // The open file's descriptor, or its HANDLE on Windows; -1 when closed.
    intptr_t handle = -1;
    int lastError = 0;
};

// Puts a file holding bytes at path when there is none, in one step, so
// that no process ever finds it empty or half-written.
enum class Created { Yes, AlreadyThere, Failed };
Created createFile(const QString &path, const std::string &bytes, int *error);

} // namespace orvsim

#endif
