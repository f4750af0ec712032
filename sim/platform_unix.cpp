#include "platform.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvsim {

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

LockedFile::Opened LockedFile::open(const QString &path, bool write)
{
    close();
    // Non-blocking, so that a FIFO at the path cannot hang the open.
    const int file =
        ::open(QFile::encodeName(path).constData(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
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
    handle = file;
    return Opened::Yes;
}

bool LockedFile::read(std::string *bytes, size_t limit)
{
    bytes->clear();
    char buffer[4096];
    while (bytes->size() <= limit) {
        const ssize_t got = pread(int(handle), buffer, sizeof buffer, off_t(bytes->size()));
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
    if (!writeAll(int(handle), bytes) || ftruncate(int(handle), off_t(bytes.size())) != 0) {
        lastError = errno;
        return false;
    }
    return true;
}

void LockedFile::close()
{
    if (handle < 0)
        return;
    flock(int(handle), LOCK_UN);
    ::close(int(handle));
    handle = -1;
}

Created createFile(const QString &path, const std::string &bytes, int *error)
{
    const QByteArray name = QFile::encodeName(path);
    const QByteArray temporary = name + ".new-" + QByteArray::number(getpid());
    const int file = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (file < 0) {
        *error = errno;
        return Created::Failed;
    }
    const bool written = writeAll(file, bytes);
    *error = errno;
    ::close(file);
    // link() never replaces: it fails when another process made the file
    // first.
    if (written && link(temporary.constData(), name.constData()) == 0) {
        unlink(temporary.constData());
        return Created::Yes;
    }
    if (written)
        *error = errno;
    unlink(temporary.constData());
    return *error == EEXIST ? Created::AlreadyThere : Created::Failed;
}

} // namespace orvsim
